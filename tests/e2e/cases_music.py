"""The background tune: written into the temporary folder, driven through the
multimedia device while the run lasts and cleaned up on every ending.

These cases give each run a temporary folder of its own (its name has a
blank in it, as a user name may). Wine sets TEMP and TMP itself from its
registry, so the Windows build is started through a batch file that sets
them; its multimedia commands are read from Wine's "mci" trace channel.
"""
import os
import re
import shutil
import subprocess
import threading
import time

from e2e import Result, Screens, expect_equal

TUNE = "varnholt_chinese_bgm.tmp"
TRACED = re.compile(r'trace:mci:mciSendStringW \(L"((?:[^"\\]|\\.)*)", ([0-9A-Fa-f]+), (\d+), ([0-9A-Fa-f]+)\)')
UNSET = object()


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def traced_commands(stderr):
    """The installer's mciSendStringW command strings, in the order they were
    sent. Each must come without a callback window, the status query with a
    128-character reply buffer and every other command with none. Left out
    are the calls winmm makes itself: for a command on an alias that is not
    open it tries "open ALIAS wait" with a 6-character buffer first."""
    commands = []
    for m in TRACED.finditer(stderr.decode("utf-8", "replace")):
        command, buffer, length, callback = re.sub(r"\\(.)", r"\1", m.group(1)), m.group(2), m.group(3), m.group(4)
        if command.endswith(" wait") and length == "6":
            continue
        expected = "128" if command.startswith("status ") else "0"
        if length != expected or int(callback, 16) != 0 or (expected == "0") != (int(buffer, 16) == 0):
            raise AssertionError(f"{command!r} sent with buffer {buffer}, length {length}, callback {callback}")
        commands.append(command)
    return commands


class MusicRun:
    """One run of the installer with the temporary folder `temp` (UNSET: no
    such variable at all), watching the folder for the tune while it runs."""

    def __init__(self, run, stdin, temp, status):
        self.run = run
        self.temp = temp
        self.tune = (run.payloads / "tune.mid").read_bytes()
        self.saw_tune = False
        environment = dict(os.environ)
        if run.wine:
            command = ["wine", "cmd", "/c", windows_path(self.batch_file())]
            environment["WINEDEBUG"] = "+mci"
        else:
            command = [str(run.game / run.exe.name)]
            environment.pop("TMPDIR", None)
            if temp is not UNSET:
                environment["TMPDIR"] = str(temp)
        process = subprocess.Popen(command, cwd=run.game, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=environment)
        done = threading.Event()
        watcher = threading.Thread(target=self.watch, args=(done,))
        watcher.start()
        try:
            stdout, stderr = process.communicate(stdin, timeout=120)
        finally:
            done.set()
            watcher.join()
        self.result = Result(process.returncode, stdout, run.start_screen())
        self.commands = traced_commands(stderr)
        expect_equal(status, self.result.status, "exit status")

    def batch_file(self):
        batch = self.run.scratch / "start.bat"
        lines = []
        for name in ("TEMP", "TMP"):
            lines.append(f"@set {name}=" if self.temp is UNSET else f'@set "{name}={windows_path(self.temp)}"')
        lines.append(f"@{self.run.exe.name}")
        batch.write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
        return batch

    def watch(self, done):
        while not done.is_set():
            if self.temp is not UNSET:
                try:
                    self.saw_tune = self.saw_tune or (self.temp / TUNE).read_bytes() == self.tune
                except OSError:
                    pass
            time.sleep(0.02)

    def expect_music_and_cleanup(self):
        if not self.saw_tune:
            raise AssertionError(f"the tune was never written to {self.temp / TUNE}")
        left = sorted(p.name for p in self.temp.iterdir())
        expect_equal([], left, "files left in the temporary folder")
        if self.run.wine:
            self.expect_commands()

    def expect_commands(self, restarts=True, polls_at_least=10):
        """open (quoted path), seek, play, status polls (a restart may follow
        one when restarts is true), then stop and close, and nothing after."""
        opening = f'open "{windows_path(self.temp)}\\{TUNE}" type sequencer alias bgm'
        start = ["seek bgm to start", "play bgm"]
        commands = self.commands
        expect_equal([opening] + start, commands[:3], "first multimedia commands")
        expect_equal(["stop bgm", "close bgm"], commands[-2:], "last multimedia commands")
        middle = commands[3:-2]
        polls = 0
        i = 0
        while i < len(middle):
            if middle[i] != "status bgm mode":
                raise AssertionError(f"unexpected command {middle[i]!r} at {i + 3}: {commands}")
            polls += 1
            i += 1
            if restarts and middle[i:i + 2] == start:
                i += 2
        if polls < polls_at_least:
            raise AssertionError(f"only {polls} status polls in a run of more than 6.5 s")


def private_temp(run, leftover=True):
    temp = run.scratch / "my temp"
    temp.mkdir()
    if leftover:
        (temp / TUNE).write_bytes(b"left by an earlier run")
    return temp


def case_music_on_completion(run):
    music = MusicRun(run, b"2\n\n", private_temp(run), status=0)
    if not music.result.output.endswith(Screens.DONE):
        raise AssertionError("the run did not complete")
    music.expect_music_and_cleanup()


def case_music_on_failure(run):
    shutil.rmtree(run.game / "Data")
    music = MusicRun(run, b"1\n\n", private_temp(run), status=1)
    expect_equal(run.screens.failure(2), music.result.after_screen())
    music.expect_music_and_cleanup()


def case_music_on_refusal(run):
    manual = run.game / "TechnicalManual" / "package.nw"
    manual.write_bytes(manual.read_bytes() + b"changed")
    music = MusicRun(run, b"3\nn\n", private_temp(run), status=0)
    if Screens.DONE in music.result.output:
        raise AssertionError("the run went on after the refusal")
    music.expect_music_and_cleanup()


def case_music_unwritable_temp_folder(run):
    # A regular file where the folder should be: nothing can be written in it.
    temp = run.scratch / "not a folder"
    temp.write_bytes(b"")
    music = MusicRun(run, b"", temp, status=0)
    expect_equal(b"\n", music.result.after_screen())
    expect_equal(b"", temp.read_bytes(), "the file standing for the folder")
    if run.wine:
        # The tune file cannot be made, so there is no music at all.
        expect_equal([], music.commands, "multimedia commands")


def case_music_without_temp_variable(run):
    # Windows: no music at all. The POSIX build always has a temporary
    # folder (/tmp when TMPDIR is unset); its run must be just as normal.
    music = MusicRun(run, b"", UNSET, status=0)
    expect_equal(b"\n", music.result.after_screen())
    if run.wine:
        expect_equal([], music.commands, "multimedia commands")
