#!/usr/bin/env python3
"""Write the game's string tables (resources/strings-en.csv, strings-zh.csv).

Rows are kept here with the source text and its Simplified-Chinese
translation side by side; both CSV files are produced byte for byte:
  strings-en.csv  UTF-8, CR LF after every row, then 8 zero bytes
  strings-zh.csv  UTF-8, CR LF between rows, no line end after the last

usage: genstrings.py [OUT_DIR]      (default: resources/ next to tools/)
"""
import os
import sys

HEADER = "NumberId,StringId,Text,CharacterId,FabricEventString,FabricFilePath"
FORBIDDEN = (b"English", b"French")  # the installer locates the table by these
EN_TAIL = b"\x00" * 8


def ui(sid, en, zh):
    return (sid, "", "", "", en, zh)


def dlg(char, sid, en, zh):
    return (sid, char, "", "", en, zh)


def vo(char, key, en, zh):
    """A voice line: StringId and audio tokens derive from key, e.g. rosk_001."""
    sid = "ID_CORE_VO_" + key.upper()
    return (sid, char, "VO/" + key, "vo/" + key + ".ogg", en, zh)


ROSK = "CAPTAIN_ROSK"
MAREN = "ENGINEER_MAREN"
VEY = "NAVIGATOR_VEY"
SELA = "DOCTOR_SELA"
BRAM = "QM_BRAM"
IVA = "SCOUT_IVA"
PIP = "SIGNALMAN_PIP"
HALE = "GOVERNOR_HALE"
ODRAN = "KEEPER_ODRAN"
CREW = "CREW"

MENU = [
    ui("ID_UI_MENU_START", "Start a New Expedition", "开始新的远征"),
    ui("ID_UI_MENU_CONTINUE", "Continue the Voyage", "继续航行"),
    ui("ID_UI_MENU_LOAD", "Open a Logbook", "打开航海日志"),
    ui("ID_UI_MENU_OPTIONS", "Options", "选项"),
    ui("ID_UI_MENU_MANUAL", "Technical Manual", "技术手册"),
    ui("ID_UI_MENU_CREDITS", "Credits", "制作人员"),
    ui("ID_UI_MENU_QUIT", "Quit to Desktop", "退出到桌面"),
    ui("ID_UI_MENU_SUBTITLE", "A Voyage Beyond the Shattered Shelf", "碎冰架彼岸之旅"),
    ui("ID_UI_OPT_AUDIO", "Audio", "音频"),
    ui("ID_UI_OPT_VIDEO", "Video", "画面"),
    ui("ID_UI_OPT_CONTROLS", "Controls", "操作"),
    ui("ID_UI_OPT_LANGUAGE", "Language", "语言"),
    ui("ID_UI_OPT_LANGUAGE_NOTE",
       "Changing the language takes effect after you return to the main menu.",
       "更改语言将在返回主菜单后生效。"),
    ui("ID_UI_OPT_SUBTITLES", "Subtitles", "字幕"),
    ui("ID_UI_OPT_SUBTITLE_SIZE", "Subtitle size", "字幕大小"),
    ui("ID_UI_OPT_MASTER", "Master volume", "主音量"),
    ui("ID_UI_OPT_MUSIC", "Music volume", "音乐音量"),
    ui("ID_UI_OPT_EFFECTS", "Effects volume", "音效音量"),
    ui("ID_UI_OPT_VOICE", "Voice volume", "语音音量"),
    ui("ID_UI_OPT_FULLSCREEN", "Fullscreen", "全屏"),
    ui("ID_UI_OPT_RESOLUTION", "Resolution", "分辨率"),
    ui("ID_UI_OPT_VSYNC", "Vertical sync", "垂直同步"),
    ui("ID_UI_OPT_BRIGHTNESS",
       "Brightness: adjust until the lantern on the left is barely visible.",
       "亮度：调至左侧提灯刚好可见。"),
    ui("ID_UI_OPT_INVERT_Y", "Invert vertical camera axis", "反转镜头垂直轴"),
    ui("ID_UI_OPT_MOUSE_SENS", "Mouse sensitivity", "鼠标灵敏度"),
    ui("ID_UI_OPT_APPLY", "Apply", "应用"),
    ui("ID_UI_OPT_BACK", "Back", "返回"),
    ui("ID_UI_OPT_DEFAULTS", "Restore defaults", "恢复默认"),
    ui("ID_UI_CONFIRM_QUIT",
       "Leave the expedition? Anything not written to the logbook will be lost.",
       "要离开远征吗？未写入日志的进度将会丢失。"),
    ui("ID_UI_YES", "Yes", "是"),
    ui("ID_UI_NO", "No", "否"),
    ui("ID_UI_SAVING", "Writing to the logbook...", "正在写入日志……"),
    ui("ID_UI_SAVED", "Logbook entry saved.", "日志已保存。"),
    ui("ID_UI_LOADING", "Stoking the boilers...", "正在给锅炉添煤……"),
    ui("ID_UI_PAUSE_TITLE", "Paused", "已暂停"),
    ui("ID_UI_PAUSE_RESUME", "Resume", "继续"),
    ui("ID_UI_PAUSE_RESTART", "Restart from the last anchorage", "从上一个锚地重新开始"),
]

HUD = [
    ui("ID_UI_HUD_COAL", "Coal: {0} / {1} sacks", "煤：{0} / {1} 袋"),
    ui("ID_UI_HUD_PRESSURE", "Boiler pressure: {0} bar", "锅炉压力：{0} 巴"),
    ui("ID_UI_HUD_SPEED", "{0} knots", "{0} 节"),
    ui("ID_UI_HUD_HEADING", "Heading {0}°", "航向 {0}°"),
    ui("ID_UI_HUD_DAY", "Day {0} of the expedition", "远征第 {0} 天"),
    ui("ID_UI_HUD_TEMP", "Outside air: {0} °C", "外部气温：{0} °C"),
    ui("ID_UI_HUD_HULL", "Hull integrity", "船体完整度"),
    ui("ID_UI_HUD_MORALE", "Crew morale", "船员士气"),
    ui("ID_UI_HUD_ICE_WARNING", "Pack ice ahead! Reduce speed or brace the bow.",
       "前方有浮冰！请减速或加固船艏。"),
    ui("ID_UI_HUD_LOW_COAL", "Coal is running low. Ration the furnace or find a depot.",
       "煤快用完了。请节约炉火或寻找煤站。"),
    ui("ID_UI_PROMPT_INTERACT", "[E] Interact", "[E] 互动"),
    ui("ID_UI_PROMPT_TALK", "[E] Talk to {0}", "[E] 与{0}交谈"),
    ui("ID_UI_PROMPT_EXAMINE", "[F] Examine", "[F] 查看"),
    ui("ID_UI_PROMPT_CLIMB", "[Space] Climb the ladder", "[空格] 爬梯子"),
    ui("ID_UI_JOURNAL", "Captain's journal", "船长日记"),
    ui("ID_UI_MAP", "Chart table", "海图桌"),
    ui("ID_UI_INVENTORY", "Ship's stores", "船舱库存"),
    ui("ID_UI_CREW", "Crew roster", "船员名册"),
]

PLACES = [
    ui("ID_LOC_VARNHOLT", "Varnholt, the Last Harbour", "瓦恩霍尔特，最后的港口"),
    ui("ID_LOC_HARBOUR", "Varnholt Harbour", "瓦恩霍尔特港"),
    ui("ID_LOC_FORT", "Fort Kettil", "凯蒂尔要塞"),
    ui("ID_LOC_SHELF", "The Shattered Shelf", "碎冰架"),
    ui("ID_LOC_NARROWS", "Gannet Narrows", "塘鹅海峡"),
    ui("ID_LOC_STATION_NINE", "Survey Station Nine", "第九勘测站"),
    ui("ID_LOC_PALE_BEACON", "The Pale Beacon", "苍白灯塔"),
    ui("ID_LOC_WHALEBONE", "Whalebone Strand", "鲸骨海滩"),
    ui("ID_LOC_COAL_DEPOT", "Coal Depot at Skarn Point", "斯卡恩角煤站"),
    ui("ID_LOC_GLACIER", "Mother Glacier", "母亲冰川"),
    ui("ID_LOC_CAIRN", "Hale's Cairn", "黑尔石堆"),
    ui("ID_LOC_UNKNOWN", "Uncharted waters", "未知海域"),
]

ITEMS = [
    ui("ID_ITEM_COAL", "Sack of coal", "一袋煤"),
    ui("ID_ITEM_COAL_DESC",
       "Good Varnholt anthracite. Burns hot and slow, and blackens everything it touches.",
       "上好的瓦恩霍尔特无烟煤。烧得又旺又久，碰到什么都会染黑。"),
    ui("ID_ITEM_LAMP_OIL", "Lamp oil", "灯油"),
    ui("ID_ITEM_LAMP_OIL_DESC", "Rendered seal oil. Smells terrible, burns bright.",
       "熬炼的海豹油。气味难闻，火光明亮。"),
    ui("ID_ITEM_RATIONS", "Tinned rations", "罐装口粮"),
    ui("ID_ITEM_RATIONS_DESC",
       'Salt pork, ship\'s biscuit and "mystery stew". The label peeled off long ago.',
       "咸猪肉、硬饼干和“神秘炖菜”。标签早就掉了。"),
    ui("ID_ITEM_ROPE", "Tarred rope", "焦油绳"),
    ui("ID_ITEM_AUGER_BIT", "Auger bit", "冰钻钻头"),
    ui("ID_ITEM_AUGER_BIT_DESC",
       "A hardened steel bit for the ice auger. Dull bits crack; keep a spare.",
       "冰钻用的淬火钢钻头。钝了会崩裂，记得备一个。"),
    ui("ID_ITEM_VALVE", "Spare safety valve", "备用安全阀"),
    ui("ID_ITEM_VALVE_DESC", "Maren insists there are never enough of these. She is right.",
       "玛伦坚称这东西永远不嫌多。她说得对。"),
    ui("ID_ITEM_MEDCHEST", "Field medicine chest", "野外药箱"),
    ui("ID_ITEM_FLARE", "Signal flare", "信号弹"),
    ui("ID_ITEM_FLARE_DESC",
       'Red for danger, green for safe passage, white for "come and look at this".',
       "红色表示危险，绿色表示可以通行，白色表示“快来看看”。"),
    ui("ID_ITEM_CHART", "Survey chart", "勘测海图"),
    ui("ID_ITEM_LODESTAR", "Lodestar compass", "引星罗盘"),
    ui("ID_ITEM_LODESTAR_DESC",
       "Its needle points to the Pale Beacon rather than north. Nobody aboard can explain why.",
       "它的指针指向苍白灯塔而非北方。船上没人能解释原因。"),
    ui("ID_ITEM_LETTER", "Sealed letter", "密封的信"),
    ui("ID_ITEM_LETTER_DESC",
       'Addressed to "whoever keeps Station Nine". The wax bears the Company seal.',
       "收信人写着“第九站的看守人”。蜡封上印着公司徽记。"),
    ui("ID_ITEM_WHISTLE", "Bosun's whistle", "水手长哨子"),
    ui("ID_ITEM_SNOWGLASS", "Snow goggles", "雪地护目镜"),
    ui("ID_ITEM_SNOWGLASS_DESC",
       "Slitted bone goggles that save your eyes from the glare of the ice.",
       "开缝的骨制护目镜，保护双眼免受冰面强光灼伤。"),
]

PEOPLE = [
    ui("ID_CREW_ROSK", "Captain Edda Rosk", "埃达·罗斯克船长"),
    ui("ID_CREW_MAREN", "Chief Engineer Maren Tull", "总工程师玛伦·塔尔"),
    ui("ID_CREW_VEY", "Navigator Tobin Vey", "领航员托宾·维伊"),
    ui("ID_CREW_SELA", "Doctor Sela Harrow", "塞拉·哈罗医生"),
    ui("ID_CREW_BRAM", "Quartermaster Bram Olt", "军需官布拉姆·奥尔特"),
    ui("ID_CREW_IVA", "Scout Iva Lenk", "侦察员伊娃·伦克"),
    ui("ID_CREW_PIP", "Signalman Pip Carrow", "信号员皮普·卡罗"),
    ui("ID_CREW_HALE", "Governor Audun Hale", "奥敦·黑尔总督"),
    ui("ID_SHIP_KESTREL", "The icebreaker Kestrel", "破冰船红隼号"),
    ui("ID_SHIP_MARL", "The steam launch Little Marl", "蒸汽小艇小马尔号"),
]

QUESTS = [
    ui("ID_QUEST_01_TITLE", "Cast Off", "起航"),
    ui("ID_QUEST_01_DESC",
       "Load the stores, fire the boilers and take the Kestrel out of Varnholt Harbour.",
       "装好补给，点燃锅炉，驾驶红隼号驶出瓦恩霍尔特港。"),
    ui("ID_QUEST_02_TITLE", "Through the Narrows", "穿越海峡"),
    ui("ID_QUEST_02_DESC",
       "Follow Tobin's soundings through Gannet Narrows without grounding the hull.",
       "按托宾的测深结果穿过塘鹅海峡，别让船搁浅。"),
    ui("ID_QUEST_03_TITLE", "A Cold Hearth", "冷却的炉心"),
    ui("ID_QUEST_03_DESC",
       "The Hearthcore engine has stalled. Help Maren find the cracked feed line.",
       "炉心引擎熄火了。帮玛伦找到破裂的给水管。"),
    ui("ID_QUEST_04_TITLE", "Coal for the Crossing", "渡海之煤"),
    ui("ID_QUEST_04_DESC",
       "Reach the depot at Skarn Point and bring at least {0} sacks aboard.",
       "抵达斯卡恩角煤站，至少运 {0} 袋煤上船。"),
    ui("ID_QUEST_05_TITLE", "The Humming Ice", "嗡鸣之冰"),
    ui("ID_QUEST_05_DESC",
       "Pip has picked up a steady tone beneath the Shattered Shelf. Drill down and find its source.",
       "皮普在碎冰架下收到一个稳定的音调。向下钻探，找出声源。"),
    ui("ID_QUEST_06_TITLE", "Station Nine", "第九站"),
    ui("ID_QUEST_06_DESC",
       "Search the abandoned survey station for its keeper, or for what became of him.",
       "搜寻废弃的勘测站，找到看守人，或查明他的下落。"),
    ui("ID_QUEST_07_TITLE", "Light the Beacon", "点亮灯塔"),
    ui("ID_QUEST_07_DESC",
       "Restore power to the Pale Beacon so the Kestrel can find her way home.",
       "为苍白灯塔恢复供电，让红隼号找到回家的路。"),
    ui("ID_QUEST_COMPLETE", "Objective complete", "目标完成"),
    ui("ID_QUEST_FAILED", "Objective failed", "目标失败"),
    ui("ID_QUEST_UPDATED", "Journal updated", "日记已更新"),
]

TUTORIAL = [
    ui("ID_TUT_MOVE", "Use [W] [A] [S] [D] to walk the deck.", "用 [W] [A] [S] [D] 在甲板上行走。"),
    ui("ID_TUT_THROTTLE",
       "Push the throttle lever forward to build speed; pull it back to slow down.",
       "向前推节流杆加速，向后拉减速。"),
    ui("ID_TUT_STOKE",
       "Shovel coal into the furnace to raise boiler pressure. Too much and the safety valve will blow.",
       "往炉膛里添煤可提高锅炉压力。添得太多，安全阀就会泄压。"),
    ui("ID_TUT_HELM",
       "Turn the wheel with [A] and [D]. The Kestrel answers the helm slowly, so plan your turns early.",
       "用 [A] 和 [D] 转动舵轮。红隼号转向迟缓，请提前转舵。"),
    ui("ID_TUT_SOUNDING",
       "Drop the sounding line at the bow to check the depth before entering shallow water.",
       "进入浅水前，先在船艏放下测深索查看水深。"),
    ui("ID_TUT_CHART",
       "Open the chart table with [M]. Marked depots and anchorages appear in red.",
       "按 [M] 打开海图桌。已标记的煤站和锚地显示为红色。"),
    ui("ID_TUT_COLD",
       "Crew members who stay on deck too long will get cold. Send them below to warm up.",
       "船员在甲板上待久了会受冻。让他们下舱取暖。"),
    ui("ID_TUT_AUGER",
       "Hold [F] to run the ice auger. Release it when the bit starts to glow.",
       "按住 [F] 启动冰钻。钻头发红时松开。"),
    ui("ID_TUT_MANUAL",
       "Every system aboard is described in the Technical Manual, available from the main menu.",
       "船上各系统均在技术手册中有说明，可从主菜单打开。"),
]

DIALOGUE = [
    dlg(ROSK, "ID_DLG_ROSK_001",
        "Varnholt has sent ships north before. None of them came back with answers. We will.",
        "瓦恩霍尔特以前也派船北上过，没有一艘带回答案。我们会带回来。"),
    dlg(ROSK, "ID_DLG_ROSK_002", "Mr Vey, a course for the Narrows, if you please.",
        "维伊先生，请设定前往海峡的航线。"),
    dlg(ROSK, "ID_DLG_ROSK_003", "I did not ask whether it was possible, Maren. I asked how long.",
        "玛伦，我没问能不能做到，我问的是要多久。"),
    dlg(ROSK, "ID_DLG_ROSK_004", "Keep the flares dry and the crew busy. Idle hands freeze first.",
        "信号弹保持干燥，船员别闲着。闲人最先冻僵。"),
    dlg(ROSK, "ID_DLG_ROSK_005",
        "If the Company wanted a safe voyage, they should have hired a safer captain.",
        "公司要是想稳稳当当，就该雇个更稳妥的船长。"),
    dlg(ROSK, "ID_DLG_ROSK_006", "That light was not on our charts yesterday.",
        "那盏灯昨天还不在海图上。"),
    dlg(ROSK, "ID_DLG_ROSK_007", "All hands, brace for ice!", "全体注意，准备撞冰！"),
    dlg(ROSK, "ID_DLG_ROSK_008", "We go home when the Beacon is lit, and not an hour before.",
        "灯塔不亮，我们一刻也不回家。"),
    dlg(MAREN, "ID_DLG_MAREN_001",
        "She is old, she leaks, and she is the finest engine north of the Narrows. Mind your boots.",
        "她又老又漏，却是海峡以北最好的引擎。小心脚下。"),
    dlg(MAREN, "ID_DLG_MAREN_002",
        "Pressure is climbing. Another shovel and we will all be learning to fly.",
        "压力在升。再添一铲，大家都得学会飞了。"),
    dlg(MAREN, "ID_DLG_MAREN_003",
        "The feed line froze and split. Bring me the spare valve and a lot of patience.",
        "给水管冻裂了。把备用阀拿来，再带上足够的耐心。"),
    dlg(MAREN, "ID_DLG_MAREN_004",
        "Whoever built Station Nine knew their steam. These fittings are better than ours.",
        "建第九站的人很懂蒸汽。这些管件比我们的还好。"),
    dlg(MAREN, "ID_DLG_MAREN_005", "Do not touch the governor. I mean it. Not even to wipe it.",
        "别碰调速器。我是认真的。擦都不许擦。"),
    dlg(MAREN, "ID_DLG_MAREN_006",
        "Hear that? That is the sound of a happy boiler. Enjoy it while it lasts.",
        "听见没？这是锅炉高兴的声音。趁还能听，好好享受。"),
    dlg(VEY, "ID_DLG_VEY_001",
        "The old charts put a headland here. There is nothing but open water.",
        "旧海图上这里有个岬角，可眼前只有一片开阔水面。"),
    dlg(VEY, "ID_DLG_VEY_002", "Four fathoms and shoaling. Slow ahead, Captain, slow ahead.",
        "水深四英寻，还在变浅。船长，慢速前进，慢速！"),
    dlg(VEY, "ID_DLG_VEY_003",
        "The lodestar needle has swung off north again. It keeps pointing at that light.",
        "引星罗盘的指针又偏离北方了，一直指着那盏灯。"),
    dlg(VEY, "ID_DLG_VEY_004",
        "Give me a clear night and I will give you our position to the mile.",
        "给我一个晴夜，我能把我们的位置精确到一海里。"),
    dlg(VEY, "ID_DLG_VEY_005",
        "Ice is closing behind us. Whatever we do, we do it from this side now.",
        "身后的冰在合拢。从现在起，我们只能留在这一侧了。"),
    dlg(SELA, "ID_DLG_SELA_001",
        "Frostbite on two fingers. He will keep them if he stays below for a day.",
        "两根手指冻伤了。让他在舱里待一天，手指就能保住。"),
    dlg(SELA, "ID_DLG_SELA_002",
        "Eat something warm, Captain. That is not advice, it is a prescription.",
        "船长，吃点热的。这不是建议，是医嘱。"),
    dlg(SELA, "ID_DLG_SELA_003",
        "The keeper's notes describe headaches, then dreams, then the humming. In that order.",
        "看守人的笔记写着：先是头痛，再是做梦，然后是嗡鸣。顺序就是这样。"),
    dlg(SELA, "ID_DLG_SELA_004",
        "Nobody sleeps on deck. Nobody. I do not care how warm the furnace makes it.",
        "谁都不许在甲板上睡觉。谁都不行。炉子再暖也不行。"),
    dlg(BRAM, "ID_DLG_BRAM_001",
        "Sixty sacks of coal, forty of flour, twelve barrels of oil and one very stubborn goat.",
        "六十袋煤、四十袋面粉、十二桶油，外加一只特别倔的山羊。"),
    dlg(BRAM, "ID_DLG_BRAM_002", "If it is not on my list, it is not on my ship.",
        "不在我清单上的，就别想上我的船。"),
    dlg(BRAM, "ID_DLG_BRAM_003",
        "We can make Skarn Point on what we have. Just. Do not ask me about the way back.",
        "现有的存货能撑到斯卡恩角，勉强够。回程别问我。"),
    dlg(BRAM, "ID_DLG_BRAM_004", "The goat is called Admiral. The goat stays.",
        "山羊名叫“将军”。山羊留下。"),
    dlg(IVA, "ID_DLG_IVA_001", "Tracks on the ice, heading inland. Boots, not paws.",
        "冰上有足迹，朝内陆去了。是靴印，不是爪印。"),
    dlg(IVA, "ID_DLG_IVA_002",
        "The shelf is rotten near the edge. Stay on the blue ice, never the grey.",
        "冰架边缘已经酥了。踩蓝冰，千万别踩灰冰。"),
    dlg(IVA, "ID_DLG_IVA_003",
        "I can reach the station before dark if I leave now. Alone is faster.",
        "我现在出发，天黑前就能到站。一个人更快。"),
    dlg(IVA, "ID_DLG_IVA_004", "Something moved under the ice. Something big, Captain.",
        "冰下有东西在动。船长，是个大家伙。"),
    dlg(PIP, "ID_DLG_PIP_001", 'Signal from the harbour: "Good luck, and bring back the goat."',
        "港口来电：“祝好运，记得把山羊带回来。”"),
    dlg(PIP, "ID_DLG_PIP_002", "It is not static. It repeats every eleven seconds, exactly.",
        "这不是杂音。它每隔十一秒重复一次，分毫不差。"),
    dlg(PIP, "ID_DLG_PIP_003", "I tried answering it. Captain, I think it answered back.",
        "我试着回应了它。船长，我觉得它回话了。"),
    dlg(PIP, "ID_DLG_PIP_004",
        'Lantern code from the Beacon: three long, one short. That means "keeper present".',
        "灯塔发来灯语：三长一短，意思是“看守人在岗”。"),
    dlg(HALE, "ID_DLG_HALE_001",
        "The colony has one winter of coal left, Captain. The Beacon is our last chance.",
        "船长，殖民地的煤只够再过一个冬天。灯塔是我们最后的希望。"),
    dlg(HALE, "ID_DLG_HALE_002", "Bring my people home. The rest is paperwork.",
        "把我的人带回来。其余的都只是文书。"),
    dlg(HALE, "ID_DLG_HALE_003",
        "Whatever you find up there, you report it to me before the Company.",
        "不管在那边发现什么，先报告我，再报告公司。"),
    dlg(ODRAN, "ID_DLG_ODRAN_001",
        "If you are reading this, the Beacon has gone dark and I have gone with it.",
        "如果你读到这封信，说明灯塔已经熄灭，我也随它去了。"),
    dlg(ODRAN, "ID_DLG_ODRAN_002", "Do not drill past the red line. It is not rock down there.",
        "别钻过红线。下面不是岩石。"),
    dlg(ODRAN, "ID_DLG_ODRAN_003", "The light keeps it sleeping. Keep the light.",
        "灯光让它沉睡。守住灯光。"),
    ui("ID_DLG_CHOICE_001", '"We press on."', "“我们继续前进。”"),
    ui("ID_DLG_CHOICE_002", '"We turn back to Varnholt."', "“我们返回瓦恩霍尔特。”"),
    ui("ID_DLG_CHOICE_003", '"Send Iva ahead, alone."', "“让伊娃独自先行。”"),
    ui("ID_DLG_CHOICE_004", '"Everyone stays together."', "“所有人待在一起。”"),
    ui("ID_DLG_CHOICE_005", '[Lie] "The Company sent us to help."', "[说谎]“公司派我们来帮忙。”"),
]

LOGBOOK = [
    ui("ID_LOG_001",
       "Day 1. Cleared Varnholt Harbour on the morning tide. Wind north-northwest, fresh.",
       "第1天。趁早潮驶出瓦恩霍尔特港。北西北风，风力清劲。"),
    ui("ID_LOG_002",
       "Day 4. Passed Gannet Narrows with a hand's width under the keel. Tobin did not speak for an hour.",
       "第4天。过塘鹅海峡时，龙骨下只剩一掌宽。托宾一个钟头没说话。"),
    ui("ID_LOG_003",
       "Day 9. Feed line split in the second watch. Maren mended it by lamplight; we lost half a day.",
       "第9天。二更时给水管破裂。玛伦借灯光修好，耽误了半天。"),
    ui("ID_LOG_004",
       "Day 12. Loaded coal at Skarn Point. The depot keeper left months ago, but left the door unlocked.",
       "第12天。在斯卡恩角装煤。煤站看守几个月前就走了，门却没锁。"),
    ui("ID_LOG_005", "Day 15. First sighting of the Pale Beacon. It should not be lit. It is.",
       "第15天。初次望见苍白灯塔。它本不该亮，可它亮着。"),
    ui("ID_LOG_006", "Day 17. Pip reports the humming is louder at night. The goat will not go below.",
       "第17天。皮普说嗡鸣声夜里更响。山羊不肯下舱。"),
    ui("ID_LOG_007",
       "Day 20. Reached Station Nine. No keeper. Supper still on the table, frozen solid.",
       "第20天。抵达第九站。不见看守人。晚饭还摆在桌上，冻得结结实实。"),
    ui("ID_LOG_008",
       "Day 23. Drilled to the red line and stopped, as the keeper asked. We heard it breathe.",
       "第23天。按看守人的嘱咐，钻到红线就停了。我们听见它在呼吸。"),
]

MANUAL = [
    ui("ID_MANUAL_TITLE", "Technical Manual of the Icebreaker Kestrel", "破冰船红隼号技术手册"),
    ui("ID_MANUAL_CH1", "Chapter 1: Hull and Ice Bow", "第一章：船体与破冰艏"),
    ui("ID_MANUAL_CH2", "Chapter 2: The Hearthcore Engine", "第二章：炉心引擎"),
    ui("ID_MANUAL_CH3", "Chapter 3: Navigation and the Lodestar", "第三章：导航与引星罗盘"),
    ui("ID_MANUAL_CH4", "Chapter 4: Signals and Lanterns", "第四章：信号与灯语"),
    ui("ID_MANUAL_APPX", "Appendix: Glossary of Ship Terms", "附录：船舶术语表"),
    ui("ID_MANUAL_HULL_01",
       "The Kestrel's hull is built of riveted steel plates over oak frames, doubled at the waterline.",
       "红隼号船体为橡木肋骨外覆铆接钢板，水线处双层加厚。"),
    ui("ID_MANUAL_HULL_02",
       "The ice bow is shaped to ride up onto the ice and break it with the ship's own weight.",
       "破冰艏的线型能让船冲上冰面，靠自重把冰压碎。"),
    ui("ID_MANUAL_HULL_03",
       "Never ram ice thicker than two metres. Back off and let the bow do the work.",
       "切勿冲撞厚度超过两米的冰。先倒船，再让船艏发力。"),
    ui("ID_MANUAL_ENG_01",
       "The Hearthcore is a triple-expansion steam engine rated at 1,800 indicated horsepower.",
       "炉心是一台三胀式蒸汽机，额定指示功率为1,800马力。"),
    ui("ID_MANUAL_ENG_02",
       "Working pressure is 14 bar. The safety valve lifts at 16 bar; do not adjust it.",
       "工作压力为14巴。安全阀在16巴时开启，请勿调整。"),
    ui("ID_MANUAL_ENG_03",
       "The governor keeps shaft speed steady when the propeller leaves the water in heavy seas.",
       "风浪大、螺旋桨露出水面时，调速器可稳住轴转速。"),
    ui("ID_MANUAL_ENG_04", "Blow down the boiler once each watch to clear scale and salt.",
       "每班对锅炉排污一次，清除水垢和盐分。"),
    ui("ID_MANUAL_NAV_01",
       "Take sun sights at noon and star sights at dusk. Record both in the log.",
       "正午观测太阳，黄昏观测星辰，两者都要记入日志。"),
    ui("ID_MANUAL_NAV_02", "The lodestar compass must be kept at least three metres from any iron.",
       "引星罗盘须与任何铁器保持至少三米距离。"),
    ui("ID_MANUAL_NAV_03", "In fog, sound the horn every two minutes and post a lookout at the bow.",
       "起雾时每两分钟鸣笛一次，并在船艏安排瞭望。"),
    ui("ID_MANUAL_SIG_01",
       "One long flash: all is well. Two short: need assistance. Three long, one short: keeper present.",
       "一长闪：一切正常。两短闪：请求援助。三长一短：看守人在岗。"),
    ui("ID_MANUAL_SIG_02",
       "The wireless set draws from the auxiliary dynamo. Switch it off while the auger is running.",
       "无线电由辅助发电机供电。冰钻运转时请关闭。"),
    ui("ID_MANUAL_WARN", "Warning: read the whole chapter before operating this equipment.",
       "警告：操作本设备前请通读整章。"),
    ui("ID_MANUAL_PAGE", "Page {0} of {1}", "第 {0} 页，共 {1} 页"),
    ui("ID_MANUAL_NEXT", "Next page", "下一页"),
    ui("ID_MANUAL_PREV", "Previous page", "上一页"),
    ui("ID_MANUAL_CONTENTS", "Contents", "目录"),
]

VOICE = [
    vo(ROSK, "rosk_001", "Steady as she goes.", "稳住航向。"),
    vo(ROSK, "rosk_002", "Full ahead. Let her break it.", "全速前进。让她把冰撞开。"),
    vo(ROSK, "rosk_003", "Hard to port!", "左满舵！"),
    vo(ROSK, "rosk_004", "All stop.", "停车。"),
    vo(MAREN, "maren_001", "Pressure's up, Captain.", "船长，压力上来了。"),
    vo(MAREN, "maren_002", "She won't take much more!", "她撑不了多久了！"),
    vo(MAREN, "maren_003", "Engine room, aye.", "轮机舱收到。"),
    vo(VEY, "vey_001", "Mark the depth!", "报水深！"),
    vo(VEY, "vey_002", "Ice off the starboard bow.", "右舷艏有冰。"),
    vo(VEY, "vey_003", "We're off the chart now.", "我们已驶出海图了。"),
    vo(SELA, "sela_001", "Get him below, quickly.", "快把他抬下舱去。"),
    vo(SELA, "sela_002", "Hold still. This will sting.", "别动。会有点疼。"),
    vo(BRAM, "bram_001", "That's the last of the coal.", "这是最后一点煤了。"),
    vo(BRAM, "bram_002", "Admiral! Get off the charts!", "将军！别踩海图！"),
    vo(IVA, "iva_001", "Tracks here. Fresh ones.", "这里有足迹，新的。"),
    vo(IVA, "iva_002", "Don't step on the grey.", "别踩灰冰。"),
    vo(PIP, "pip_001", "Signal coming in!", "有信号进来了！"),
    vo(PIP, "pip_002", "Eleven seconds. Again.", "十一秒。又来了。"),
    vo(ODRAN, "odran_001", "Keep the light.", "守住灯光。"),
    vo(CREW, "crew_cheer", "Hurrah for the Kestrel!", "红隼号万岁！"),
    vo(CREW, "crew_brace", "Brace! Brace!", "抓紧！抓紧！"),
]

CREDITS = [
    ui("ID_CREDITS_TITLE", "Credits", "制作人员名单"),
    ui("ID_CREDITS_DESIGN", "Game design", "游戏设计"),
    ui("ID_CREDITS_WRITING", "Writing", "剧本"),
    ui("ID_CREDITS_ART", "Art and animation", "美术与动画"),
    ui("ID_CREDITS_AUDIO", "Music and sound", "音乐与音效"),
    ui("ID_CREDITS_VOICE", "Voice cast", "配音演员"),
    ui("ID_CREDITS_LOC", "Localization", "本地化"),
    ui("ID_CREDITS_THANKS", "For everyone who ever stood a cold watch.", "献给每一位在寒夜里值过班的人。"),
    ui("ID_CREDITS_GOAT", "No goats were harmed. Admiral cannot be harmed.",
       "没有山羊在制作中受到伤害。将军刀枪不入。"),
]

ENDINGS = [
    ui("ID_END_BEACON_LIT",
       "The Beacon burns again. Far to the south, Varnholt sees it and rings every bell in the harbour.",
       "灯塔再次燃起。远在南方的瓦恩霍尔特望见了它，敲响了港口所有的钟。"),
    ui("ID_END_TURNED_BACK",
       "The Kestrel comes home with her crew alive and her questions unanswered.",
       "红隼号载着全体船员平安归来，谜团却仍未解开。"),
    ui("ID_END_LOST",
       "The ice closes. The logbook is found two summers later, its last page blank.",
       "冰层合拢了。两个夏天后，人们找到了航海日志，最后一页是空白。"),
    ui("ID_GAME_OVER", "The expedition is over.", "远征结束了。"),
    ui("ID_GAME_TRY_AGAIN", "Return to the last anchorage", "返回上一个锚地"),
]

ROWS = (MENU + HUD + PLACES + ITEMS + PEOPLE + QUESTS + TUTORIAL + DIALOGUE
        + LOGBOOK + MANUAL + VOICE + CREDITS + ENDINGS)


def csv_field(value):
    """Quote only when needed; double any quote inside."""
    if any(ch in value for ch in ',"\r\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def csv_lines(lang):
    """Header plus one line per row; lang 0 = source text, 1 = Chinese."""
    lines = [HEADER]
    for number, (sid, char, event, path, en, zh) in enumerate(ROWS, start=1):
        text = (en, zh)[lang]
        fields = [str(number), sid, text, char, event, path]
        lines.append(",".join(csv_field(f) for f in fields))
    return lines


def table_bytes():
    en_lines, zh_lines = csv_lines(0), csv_lines(1)
    en = "".join(line + "\r\n" for line in en_lines).encode("utf-8") + EN_TAIL
    zh = "\r\n".join(zh_lines).encode("utf-8")
    return en, zh


def validate(en, zh):
    ids = [row[0] for row in ROWS]
    assert len(set(ids)) == len(ids), "duplicate StringId"
    assert 150 <= len(ROWS) <= 250, "row count %d" % len(ROWS)
    for row in ROWS:
        assert "\r" not in row[4] + row[5] and "\n" not in row[4] + row[5], row[0]
        row[5].encode("gbk")  # raises on characters outside GBK
    for name, data in (("en", en), ("zh", zh)):
        for word in FORBIDDEN:
            assert word not in data, "%s table contains %r" % (name, word)
    assert len(zh) < len(en), "zh table (%d) not smaller than en (%d)" % (len(zh), len(en))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    en, zh = table_bytes()
    validate(en, zh)
    os.makedirs(out, exist_ok=True)
    for name, data in (("strings-en.csv", en), ("strings-zh.csv", zh)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    print("rows %d, strings-en.csv %d bytes, strings-zh.csv %d bytes"
          % (len(ROWS), len(en), len(zh)))


if __name__ == "__main__":
    main()
