"""Menu keys 3 and 4: the technical manual, behind the integrity gate."""
from e2e import Screens, expect_equal, gbk, snapshot

CHECKING = gbk("正在校验游戏文件完整性，请稍候...\n")
INSTALLING = gbk("开始安装汉化。这可能需要较长的时间，请坐和放宽^_^\n"
                 "正在释放汉化所需临时文件...\n"
                 "正在解压中文汉化数据...\n"
                 "正在备份英文文件...\n"
                 "正在安装汉化文件...\n"
                 "正在清理临时文件...\n")
QUESTION = gbk("远征手册文件MD5校验失败，这可能是由于游戏版本不同，或是已经安装了汉化包引起的。"
               "强行安装可能破环游戏文件，是否继续安装？（Y/N）:")


def case_key3_installs_and_key4_restores(run):
    before = snapshot(run.game)
    result = run.run(b"3\n\n")
    expect_equal(CHECKING + INSTALLING + Screens.DONE, result.after_screen())
    expect_equal(0, result.status, "exit status")
    after = snapshot(run.game)
    added = sorted(set(after) - set(before))
    expect_equal(["TechnicalManual/package.nw.bak", "zelt.log"], added, "new files")
    expect_equal(b"", (run.game / "zelt.log").read_bytes(), "zelt.log")
    if after["TechnicalManual/package.nw"] == before["TechnicalManual/package.nw"]:
        raise AssertionError("the manual archive was not changed")

    result = run.run(b"4\n\n")
    expect_equal(CHECKING + Screens.DONE, result.after_screen())
    expect_equal(before, snapshot(run.game), "game folder after the restore")


def case_key3_on_a_changed_archive_refused(run):
    archive = run.game / "TechnicalManual/package.nw"
    archive.write_bytes(archive.read_bytes() + b"\0")
    before = snapshot(run.game)
    result = run.run(b"3\nn\n")
    expect_equal(CHECKING + QUESTION, result.after_screen())
    expect_equal(0, result.status, "exit status")
    expect_equal(before, snapshot(run.game), "game folder")


def case_developer_key3_shows_the_archiver_listing(run):
    (run.game / "zelttest").mkdir()
    pages = run.exe.parent / "payloads" / "book.zip"
    (run.game / "zelttest" / "book.zip").write_bytes(pages.read_bytes())
    result = run.run(b"3\n\n", developer=True)
    tail = result.after_screen()
    if b"Everything is Ok" not in tail:
        raise AssertionError(f"no archiver listing in {tail!r}")
    if not tail.endswith(Screens.DONE):
        raise AssertionError(f"no closing line in {tail!r}")
    expect_equal(0, result.status, "exit status")
