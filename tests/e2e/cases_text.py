"""Menu keys 1 and 2: the game text in Data/sharedassets0.assets."""
from e2e import Screens, expect_equal, gbk

ASSET = "Data/sharedassets0.assets"


def locator_lines(asset):
    english = asset.find(b"English")
    french = asset.find(b"French", english + 7)
    start = english + 12
    length = french - (english + 7) - 14
    return gbk("正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n"
               f"找到文本起始点：0x{start:x}\n找到文本长度：0x{length:x}\n"), start, length


def case_key1_then_key2_restores_the_asset(run):
    original = (run.game / ASSET).read_bytes()
    lines, start, length = locator_lines(original)
    chinese = (run.payloads / "strings-zh.csv").read_bytes()

    result = run.run(b"1\n\n")
    expect_equal(lines + Screens.DONE, result.after_screen())
    expect_equal(0, result.status, "exit status")
    patched = (run.game / ASSET).read_bytes()
    expect_equal(len(original), len(patched), "asset size")
    expect_equal(chinese + bytes(length - len(chinese)), patched[start:start + length], "region")
    expect_equal(original[:start] + original[start + length:], patched[:start] + patched[start + length:],
                 "bytes outside the region")

    result = run.run(b"2\n\n")
    expect_equal(lines + Screens.DONE, result.after_screen())
    expect_equal(original, (run.game / ASSET).read_bytes(), "restored asset")


def case_key1_on_an_asset_without_the_record(run):
    (run.game / ASSET).write_bytes(b"no record here" * 100)
    result = run.run(b"1\n\n")
    expect_equal(gbk("正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n") + run.screens.failure(9),
                 result.after_screen())
    expect_equal(1, result.status, "exit status")
