"""Developer mode, key 1: the translators' table zelttest/English.csv goes in."""
import csv
import io

from e2e import Screens, expect_equal, snapshot

ASSET = "Data/sharedassets0.assets"
FIELDS = ["NumberId", "StringId", "Text", "CharacterId", "FabricEventString", "FabricFilePath"]


def table_rows(run):
    """A few hundred rows: the sample Chinese table, then variants of its
    short rows whose Text holds double quotes, one with a speaker."""
    text = (run.payloads / "strings-zh.csv").read_bytes().decode("utf-8")
    rows = list(csv.reader(io.StringIO(text, newline="")))[1:]
    short = [r for r in rows if not r[3] and len(r[2]) <= 4][:30]
    extra = [[str(1000 + i), "ID_DEV_" + r[1][3:], '"' + r[2] + '"', "CREW" if i % 5 == 0 else "", "", ""]
             for i, r in enumerate(short)]
    extra.append(["1100", "id_core_vo_lower", "小写前缀", "", "", ""])
    extra.append(["1101", "ID_CORE_VOX", "近似前缀", "", "", ""])
    return rows + extra


def translators_csv(rows):
    """As the platform exports it: a byte-order mark, every field quoted,
    CR LF between lines and none after the last."""
    def line(fields):
        return ",".join('"' + f.replace('"', '""') + '"' for f in fields)
    return ("\ufeff" + "\r\n".join(line(r) for r in [FIELDS] + rows)).encode("utf-8")


def game_table(rows):
    """The game's form of the rows, from the rows' values."""
    lines = [",".join(FIELDS)]
    for number, string_id, text, character, event, path in rows:
        if string_id.startswith("ID_CORE_VO_"):
            continue
        written = text.replace('"', '""').encode("utf-8")
        if character:
            written += b" " * (len(written) // 3)
        if b'"' in written or b"," in written:
            written = b'"' + written + b'"'
        lines.append(b",".join([number.encode(), string_id.encode(), written,
                                character.encode(), event.encode(), path.encode()]).decode("utf-8"))
    return ("\n".join(lines) + "\n").encode("utf-8")


def region(data):
    start = data.find(b"English") + 12
    end = data.find(b"French", start) - 9
    return start, end - start


def locator_lines(start, length):
    return ("正在定位文本字段位置，这可能需要较长时间，请坐和放宽^_^\n"
            f"找到文本起始点：0x{start:x}\n找到文本长度：0x{length:x}\n").encode("gbk")


def case_devtext_installs_converted_table(run):
    rows = table_rows(run)
    assert len(rows) >= 250, len(rows)
    (run.game / "zelttest").mkdir()
    (run.game / "zelttest" / "English.csv").write_bytes(translators_csv(rows))
    before = (run.game / ASSET).read_bytes()
    start, length = region(before)
    table = game_table(rows)
    assert len(table) < length, (len(table), length)

    result = run.run(b"1\n", developer=True)
    expect_equal(locator_lines(start, length) + Screens.DONE, result.after_screen())
    expect_equal(0, result.status, "exit status")
    after = (run.game / ASSET).read_bytes()
    expect_equal(len(before), len(after), "asset size")
    expect_equal(table + bytes(length - len(table)), after[start:start + length], "region")
    expect_equal(before[:start], after[:start], "bytes before the region")
    expect_equal(before[start + length:], after[start + length:], "bytes after the region")


def case_devtext_missing_csv_leaves_asset(run):
    (run.game / "zelttest").mkdir()
    before = snapshot(run.game)
    start, length = region((run.game / ASSET).read_bytes())

    result = run.run(b"1\n", developer=True)
    expect_equal(locator_lines(start, length) + run.screens.failure(2), result.after_screen())
    expect_equal(1, result.status, "exit status")
    expect_equal(before, snapshot(run.game), "game folder")
