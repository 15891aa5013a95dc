"""The player's files survive what can go wrong around a run: a kill in the
middle of the backup, a backup that cannot be renamed for a while, a second
installer started at the same time, Ctrl+C at the closing key wait."""
import fcntl
import os
import pathlib
import pty
import signal
import subprocess
import termios
import time
import zipfile

from e2e import Screens, digest, expect_equal, gbk, snapshot

ARCHIVE = "TechnicalManual/package.nw"
BACKUP = "TechnicalManual/package.nw.bak"
PARTIAL_BACKUP = "TechnicalManual/package.nw.bak.tmp"
FS_IOC_GETFLAGS, FS_IOC_SETFLAGS, FS_IMMUTABLE_FL = 0x80086601, 0x40086602, 0x10


def enlarge_archive(path, megabytes):
    """Adds a large stored entry, so that copying the archive takes a while."""
    block = bytes(range(256)) * 4096  # 1 MiB
    with zipfile.ZipFile(path, "a") as archive:
        with archive.open("media/intro-video.bin", "w", force_zip64=True) as entry:
            for _ in range(megabytes):
                entry.write(block)


def set_immutable(path, on):
    """The immutable attribute refuses every change, even root's rename.
    False when this machine cannot set it."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    except OSError:
        return False
    try:
        flags = bytearray(4)
        fcntl.ioctl(fd, FS_IOC_GETFLAGS, flags)
        value = int.from_bytes(flags, "little")
        value = value | FS_IMMUTABLE_FL if on else value & ~FS_IMMUTABLE_FL
        fcntl.ioctl(fd, FS_IOC_SETFLAGS, value.to_bytes(4, "little"))
        return True
    except OSError:
        return False
    finally:
        os.close(fd)


def case_backup_interrupted_by_a_kill_then_install_and_restore(run):
    archive = run.game / ARCHIVE
    enlarge_archive(archive, 700)
    original = digest(archive)
    before = snapshot(run.game)

    process = run.start(b"3\ny\n\n", env={"VARNHOLT_TEST_SKIP_PAUSE": "1"})
    partial = run.game / PARTIAL_BACKUP
    deadline = time.monotonic() + 120
    while not partial.exists() and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.001)
    process.kill()
    process.communicate()
    if not partial.exists():
        raise AssertionError("the run was not caught while it copied the backup")
    expect_equal(False, (run.game / BACKUP).exists(), "a backup after the kill")

    result = run.run(b"3\ny\n\n")
    if not result.output.endswith(Screens.DONE):
        raise AssertionError(f"the install after the kill did not complete: {result.after_screen()[-300:]!r}")
    expect_equal(original, digest(run.game / BACKUP), "the backup's digest")
    expect_equal(False, partial.exists(), "the partial backup left behind")

    result = run.run(b"4\ny\n\n")
    if not result.output.endswith(Screens.DONE):
        raise AssertionError(f"the restore did not complete: {result.after_screen()[-300:]!r}")
    expect_equal(before, snapshot(run.game), "game folder after install and restore")


def case_restore_after_the_backup_was_locked_for_a_while(run):
    before = snapshot(run.game)
    result = run.run(b"3\n\n")
    expect_equal(0, result.status, "exit status of the install")
    installed = snapshot(run.game)
    if not set_immutable(run.game / BACKUP, True):
        print("skipped: cannot lock a file here")
        return
    try:
        result = run.run(b"4\n\n")
        expect_equal(run.screens.failure(8), result.output[-len(run.screens.failure(8)):], "failure message")
        expect_equal(1, result.status, "exit status of the refused restore")
        after_failure = snapshot(run.game)
        for name in (ARCHIVE, BACKUP):
            expect_equal(installed[name], after_failure.get(name), name + " after the failed restore")
    finally:
        set_immutable(run.game / BACKUP, False)
    result = run.run(b"4\n\n")
    expect_equal(0, result.status, "exit status of the second restore")
    expect_equal(before, snapshot(run.game), "game folder after the second restore")


def case_two_installers_at_once(run):
    if run.wine:
        print("skipped: the Linux build shows it")
        return
    pages = zipfile.ZipFile(run.exe.parent / "payloads" / "book.zip").namelist()
    environment = {"VARNHOLT_TEST_SKIP_PAUSE": "1"}
    first = run.start(b"3\n\n", env=environment)
    time.sleep(0.01)
    second = run.start(b"3\n\n", env=environment)
    outputs = [p.communicate(timeout=120)[0] for p in (first, second)]
    statuses = sorted(p.returncode for p in (first, second))
    expect_equal([0, 1], statuses, "exit statuses")
    done = [o for o in outputs if o.endswith(Screens.DONE)]
    refused = [o for o in outputs if o.endswith(run.screens.failure(2))]
    expect_equal((1, 1), (len(done), len(refused)), "one install done and one refused")
    with zipfile.ZipFile(run.game / ARCHIVE) as archive:
        if archive.testzip() is not None:
            raise AssertionError("the archive is damaged")
        missing = sorted(set(n for n in pages if not n.endswith("/")) - set(archive.namelist()))
        expect_equal([], missing, "pages missing from the archive")


def case_ctrl_c_at_the_key_wait_gives_the_terminal_back(run):
    if run.wine:
        print("skipped: the Linux build's terminal")
        return
    (run.game / "Data" / "sharedassets0.assets").unlink()  # key 1 fails, then waits for a key
    controller, terminal = pty.openpty()
    modes = termios.tcgetattr(terminal)
    environment = dict(os.environ, VARNHOLT_TEST_SKIP_PAUSE="1", LANG="C.UTF-8", LC_ALL="C.UTF-8")
    process = subprocess.Popen([str(run.game / run.exe.name)], cwd=run.game, stdin=terminal, stdout=terminal,
                               stderr=terminal, env=environment, start_new_session=True,
                               preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    output = b""
    os.write(controller, b"1\n")
    deadline = time.monotonic() + 60
    waiting = gbk("按任意键退出程序……").decode("gbk").encode("utf-8")
    while waiting not in output and time.monotonic() < deadline:
        try:
            output += os.read(controller, 4096)
        except OSError:
            break
    if waiting not in output:
        raise AssertionError(f"the run never reached its key wait: {output[-300:]!r}")
    time.sleep(0.2)
    os.write(controller, b"\x03")  # Ctrl+C
    process.wait(timeout=30)
    expect_equal(-signal.SIGINT, process.returncode, "how the run ended")
    after = termios.tcgetattr(terminal)
    os.close(controller)
    os.close(terminal)
    expect_equal(modes[3] & (termios.ECHO | termios.ICANON), after[3] & (termios.ECHO | termios.ICANON),
                 "echo and line mode of the terminal")
