"""The command line: status, the four functions unattended, --help,
--version and the usage errors. Without arguments the installer is the
interactive one the other cases check."""
import shutil
import zipfile

from cases_music import traced_commands
from e2e import Screens, expect_equal, gbk, snapshot

ASSET = "Data/sharedassets0.assets"
ARCHIVE = "TechnicalManual/package.nw"
SEE_HELP = "（用法见 --help）"
TEXT_ENGLISH = "游戏文本：英文原版"
TEXT_CHINESE = "游戏文本：已安装汉化"
MANUAL_ENGLISH = "远征手册：英文原版"
MANUAL_TRANSLATED = "远征手册：已安装汉化，英文备份完好"
DONE = gbk("\n完成！\n")


def first_line(data):
    return data.split(b"\n", 1)[0].decode("gbk")


def status_lines(run):
    result = run.run(args=["status"])
    expect_equal(0, result.status, "exit status of status")
    return result.output.decode("gbk").splitlines()


def case_command_line_table(run):
    # (arguments, exit status, first line, where: out or err)
    rows = [
        (["bogus"], 2, "未知的命令：bogus" + SEE_HELP, "err"),
        (["--bogus"], 2, "未知的选项：--bogus" + SEE_HELP, "err"),
        (["status", "--game"], 2, "--game 后面需要游戏文件夹" + SEE_HELP, "err"),
        (["install-manual", "--yes", "--no"], 2, "--yes 与 --no 不能同时使用" + SEE_HELP, "err"),
        (["--help"], 0, "用法：" + run.exe.name + " [命令] [选项]", "out"),
        (["--version"], 0, "《Varnholt》ZELT简体中文汉化包-V1.2.1Beta3", "out"),
        (["status", "--game", str(run.scratch / "no such folder")], 1, Screens.MESSAGES[2], "out"),
    ]
    before = snapshot(run.game)
    for args, status, line, where in rows:
        result = run.run(args=args, timeout=30)
        expect_equal(status, result.status, f"exit status of {args}")
        stream = result.errors if where == "err" else result.output
        expect_equal(line, first_line(stream), f"first line of {args}")
        if where == "err":
            expect_equal(b"", result.output, f"standard output of {args}")
    expect_equal(before, snapshot(run.game), "game folder")


def case_status_follows_each_function(run):
    original = snapshot(run.game)
    steps = [
        ([], [TEXT_ENGLISH, MANUAL_ENGLISH]),
        (["install-text"], [TEXT_CHINESE, MANUAL_ENGLISH]),
        (["install-manual"], [TEXT_CHINESE, MANUAL_TRANSLATED]),
        (["restore-text"], [TEXT_ENGLISH, MANUAL_TRANSLATED]),
        (["restore-manual"], [TEXT_ENGLISH, MANUAL_ENGLISH]),
    ]
    for args, expected in steps:
        if args:
            result = run.run(args=args)
            expect_equal(0, result.status, f"exit status of {args}")
            if not result.output.endswith(DONE):
                raise AssertionError(f"{args} did not end with the closing line: {result.output[-200:]!r}")
        expect_equal(expected, status_lines(run), f"status after {args or 'nothing'}")
    expect_equal(original, snapshot(run.game), "game folder after the four functions")


def case_status_of_other_game_folders(run):
    asset = run.game / ASSET
    data = bytearray(asset.read_bytes())
    start = data.find(b"English") + 12
    data[start:start + 5] = b"Hallo"  # another translation's table
    asset.write_bytes(bytes(data))
    archive = run.game / ARCHIVE
    archive.write_bytes(archive.read_bytes() + b"\0")
    expect_equal(["游戏文本：其他内容（可能是其他游戏版本或其他汉化）",
                  "远征手册：其他内容（可能是其他游戏版本，或英文备份缺失或已损坏）"], status_lines(run), "status")

    asset.write_bytes(b"no record here" * 100)
    archive.unlink()
    expect_equal(["游戏文本：未找到文本段（可能是游戏版本不同或游戏文件已损坏）",
                  "远征手册：未找到 TechnicalManual\\package.nw"], status_lines(run), "status")

    shutil.rmtree(run.game / "Data")
    expect_equal(["游戏文本：未找到游戏文件 Data\\sharedassets0.assets",
                  "远征手册：未找到 TechnicalManual\\package.nw"], status_lines(run), "status")


QUESTION = gbk("远征手册文件MD5校验失败，这可能是由于游戏版本不同，或是已经安装了汉化包引起的。"
               "强行安装可能破环游戏文件，是否继续安装？（Y/N）:")


def case_install_manual_answers_from_the_command_line(run):
    archive = run.game / ARCHIVE
    with zipfile.ZipFile(archive, "a") as other_version:  # another version of the manual
        other_version.writestr("book/errata.html", "<p>Errata</p>")
    before = snapshot(run.game)

    for args, stdin in ((["install-manual", "--no"], b"y\n"), (["install-manual"], b"")):
        result = run.run(stdin, args=args, timeout=60)
        expect_equal(3, result.status, f"exit status of {args} with input {stdin!r}")
        expect_equal(gbk("正在校验游戏文件完整性，请稍候...\n") + QUESTION + (b"N\n" if "--no" in args else b"\n"),
                     result.output, f"output of {args}")
        expect_equal(before, snapshot(run.game), "game folder after declining")

    result = run.run(args=["install-manual", "--yes"], timeout=120)
    expect_equal(0, result.status, "exit status of install-manual --yes")
    if not result.output.startswith(gbk("正在校验游戏文件完整性，请稍候...\n") + QUESTION + b"Y\n"):
        raise AssertionError(f"the answer was not shown: {result.output[:400]!r}")
    if not result.output.endswith(DONE):
        raise AssertionError(f"no closing line: {result.output[-200:]!r}")
    with zipfile.ZipFile(archive) as installed:
        if "book/index.html" not in installed.namelist():
            raise AssertionError("the pages were not installed")


def case_game_folder_named_with_blanks_and_chinese(run):
    folder = run.scratch / "我的 游戏" / "Varnholt 汉化"
    shutil.copytree(run.game, folder)
    environment = {"LC_ALL": "C.UTF-8", "LANG": "C.UTF-8"}  # how the name reaches Wine's command line
    result = run.run(args=["install-text", "--game", run.native_path(folder)], cwd=run.scratch, env=environment)
    expect_equal(0, result.status, "exit status")
    if not result.output.endswith(DONE):
        raise AssertionError(f"no closing line: {result.output[-300:]!r}")
    expect_equal((run.game / ASSET).read_bytes() != (folder / ASSET).read_bytes(), True, "the text was installed")
    result = run.run(args=["status", "--game", run.native_path(folder)], cwd=run.scratch, env=environment)
    expect_equal([TEXT_CHINESE, MANUAL_ENGLISH], result.output.decode("gbk").splitlines(), "status")


def case_no_music_keeps_the_interactive_run(run):
    temp = run.scratch / "temp"
    temp.mkdir()
    # Wine keeps its own files in TMPDIR; its multimedia trace shows the music.
    result = run.run(b"", args=["--no-music"], env={"WINEDEBUG": "+mci"} if run.wine else {"TMPDIR": str(temp)})
    expect_equal(b"\n", result.after_screen())
    expect_equal(0, result.status, "exit status")
    if run.wine:
        expect_equal([], traced_commands(result.errors), "multimedia commands")
    else:
        expect_equal([], sorted(p.name for p in temp.iterdir()), "files in the temporary folder")
