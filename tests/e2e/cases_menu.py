"""The start of a run: dedication, start screen, menu keys and endings."""
import shutil

from e2e import Screens, expect_equal, snapshot


def case_menu_screen_then_end_of_input(run):
    before = snapshot(run.game)
    result = run.run(b"")
    expect_equal(b"\n", result.after_screen())
    expect_equal(0, result.status, "exit status")
    expect_equal(before, snapshot(run.game), "game folder")


def case_invalid_keys(run):
    # One message per line holding an invalid key; blank lines print nothing;
    # a full-width digit (two GBK bytes) is one invalid key.
    lines = b"5\n55\n" + "１".encode("gbk") + b"\n\n   \nx y\n0\n"
    result = run.run(lines)
    expect_equal(Screens.INVALID_KEY * 5 + b"\n", result.after_screen())
    expect_equal(0, result.status, "exit status")


def case_developer_folder(run):
    (run.game / "zelttest").mkdir()
    result = run.run(b"2\n4\n", developer=True)
    expect_equal(Screens.INVALID_KEY * 2 + b"\n", result.after_screen())
    expect_equal(0, result.status, "exit status")


def case_developer_plain_file(run):
    (run.game / "zelttest").write_bytes(b"")
    result = run.run(b"", developer=True)
    expect_equal(b"\n", result.after_screen())


def case_key1_without_data_folder(run):
    shutil.rmtree(run.game / "Data")
    result = run.run(b"1\n")
    expect_equal(run.screens.failure(2), result.after_screen())
    expect_equal(1, result.status, "exit status")
