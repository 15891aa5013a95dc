#include "app/failure_messages.h"

namespace app {

std::string failure_message(core::failure_code code) {
    using core::failure_code;
    switch (code) {
    case failure_code::payload_unavailable: return "调取汉化资源文件失败，请检查汉化包是否受损。";
    case failure_code::game_file_unavailable:
        return "访问游戏文件失败，请确认本程序已经放在Varnholt文件夹下，"
               "并且游戏文件没有被其他程序占用。";
    case failure_code::copy_failed: return "释放文件因未知原因失败。";
    case failure_code::log_unreadable: return "未能正确读取日志文件，无法确定汉化是否成功完成。";
    case failure_code::archiver_reported:
        return "汉化安装已完成，但安装过程中出现了一些错误，因此不能确定是否成功。\n"
               "在zelt.log文件中有关于错误的更详细的信息。";
    case failure_code::delete_failed: return "尝试删除文件因未知原因失败。";
    case failure_code::rename_failed: return "重命名文件失败，未能还原英文文件。";
    case failure_code::text_record_missing:
        return "未能在游戏文件中找到文本段的位置，可能是因为游戏版本不同或游戏文件已损坏导致的，"
               "汉化因而未能安装。";
    }
    return "汉化包安装程序发生了未知的错误，错误代码为：" + std::to_string(static_cast<std::int32_t>(code));
}

}  // namespace app
