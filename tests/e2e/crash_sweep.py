#!/usr/bin/env python3
"""Crash-point sweep of the Linux build.

For each of the four functions, every file-changing system call the run
makes is a crash point: the run is repeated under strace with that call
killing the process (SIGKILL) at its n-th occurrence, then the same function
is run again and after it the inverse function. The promise checked at each
point:

- a run that was cut short never printed the completion line before its
  work was done: when a kill comes after that line (the music stopping, the
  closing key wait), the game folder already is what a clean run leaves;
- after the rerun and the inverse, the game folder holds exactly the files
  of the function's start state, with their bytes.

strace counts injected calls per syscall and per tracee, so (write, 3) kills
every tracee (the installer's threads, /bin/sh, the archiver) that reaches
its own third write. The points of a call are 1..the most any one tracee
made of it in a clean run (of openat, only the counts that open for writing).

With --mode error the calls fail instead: each write, unlink, rmdir, rename,
mkdir, ftruncate, writing openat and fsync of the installer's own threads (the music worker is
one of them) returns ENOSPC or EIO, and EACCES where a path is refused. The
archiver and /bin/sh are not touched: strace follows the children the
installer starts only until their execve (-b execve), so the injection counts
the installer's threads alone. The promise checked at each point:

- a run whose call failed prints the completion line only when the game
  folder is exactly what a clean run leaves;
- a run whose failed call touched a file, not the console (fd 1 or 2),
  ends in one of the failure messages or completes, with the exit status
  that goes with it;
- after the rerun and the inverse, the game folder holds exactly the files
  of the function's start state, with their bytes.
"""
import argparse
import collections
import concurrent.futures
import errno
import hashlib
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from e2e import Screens, digest, gbk, snapshot  # noqa: E402

FILE_CALLS = ["write", "pwrite64", "writev", "rename", "renameat", "renameat2", "unlink", "unlinkat", "rmdir",
              "mkdir", "mkdirat", "ftruncate", "truncate", "fsync", "fdatasync", "sendfile", "copy_file_range",
              "fchmod", "fchmodat", "chmod", "link", "linkat", "symlink", "symlinkat", "openat"]
INVERSE = {1: 2, 2: 1, 3: 4, 4: 3}
TITLES = {1: "install the game text", 2: "restore the English text", 3: "install the manual",
          4: "restore the manual"}
ARCHIVE = "TechnicalManual/package.nw"
DEFAULT_CAP = 200
SKIPPED = 77  # the exit status CTest takes for a skipped test
RUN_TIMEOUT = 180

# The calls an error is injected into, with the errors each may return.
WRITE_CALLS = ["write", "writev", "pwrite64", "sendfile", "copy_file_range"]
PATH_ERRORS = ["ENOSPC", "EIO", "EACCES"]
ERROR_CALLS = {**{name: ["ENOSPC", "EIO"] for name in WRITE_CALLS},
               **{name: PATH_ERRORS for name in ["unlink", "unlinkat", "rename", "renameat", "renameat2", "openat"]},
               **{name: ["ENOSPC", "EIO"] for name in ["rmdir", "ftruncate", "fsync", "fdatasync"]},
               "mkdir": PATH_ERRORS, "mkdirat": PATH_ERRORS}
DEFAULT_ERROR_CAP = 150
# A run normally takes well under a second; one that waits this long hangs.
ERROR_RUN_TIMEOUT = 60
CONSOLE_FDS = {1, 2}

# "1234 write(1, ..." and "1234 write(1, ... <unfinished ...>"; a
# "<... write resumed>" line continues a call already counted.
CALL_LINE = re.compile(r"^(\d+) +([a-z0-9_]+)\(")
OPENAT_FLAGS = re.compile(r'^\d+ +openat\([^,]+, "(?:[^"\\]|\\.)*"(?:\.\.\.)?, ([A-Z0-9_|]+)')
WRITING_FLAGS = {"O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC"}
EXECVE_LINE = re.compile(r'^(\d+) +execve\("((?:[^"\\]|\\.)*)".* = 0$')
RESUMED_LINE = re.compile(r"^(\d+) +<\.\.\. ([a-z0-9_]+) resumed>")
WRITE_FD = re.compile(r"^\d+ +(?:" + "|".join(WRITE_CALLS[:3]) + r")\((\d+),")

QUESTION_END = gbk("（Y/N）:")
UNEXPECTED = gbk("汉化包安装程序发生了意外的错误：")


class Run:
    def __init__(self, status, output, timed_out=False):
        self.status = status
        self.output = output
        self.timed_out = timed_out

    @property
    def completed(self):
        return Screens.DONE in self.output

    @property
    def failure_message(self):
        """Whether the run ended by telling the player what failed."""
        return UNEXPECTED in self.output or any(gbk(m) in self.output for m in Screens.MESSAGES.values())

    def describe(self):
        """One line: how the run ended and what it said last."""
        if self.timed_out:
            return "timed out"
        status = "killed" if self.status == -signal.SIGKILL else f"exit {self.status}"
        if self.completed:
            return f"{status}, completed"
        for code, message in Screens.MESSAGES.items():
            if gbk(message) in self.output:
                return f"{status}, failure {code} ({message.splitlines()[0]})"
        if UNEXPECTED in self.output:
            tail = self.output[self.output.index(UNEXPECTED):].decode("gbk", "replace").splitlines()[0]
            return f"{status}, {tail}"
        if self.output.rstrip(b"\n").endswith(QUESTION_END):
            return f"{status}, declined at the integrity question"
        lines = self.output.decode("gbk", "replace").strip().splitlines()
        return f"{status}, last printed {lines[-1][-60:] if lines else ''!r}"


def start(command, **kwargs):
    # Another job may just have forked while holding a file open for writing
    # that we are about to execute; that passes in a moment.
    for attempt in range(20):
        try:
            return subprocess.Popen(command, start_new_session=True, **kwargs)
        except OSError as error:
            if error.errno != errno.ETXTBSY or attempt == 19:
                raise
            time.sleep(0.5)


def run_installer(game, exe_name, key, environment, strace=(), timeout=RUN_TIMEOUT):
    """Runs key in game (under strace when given its arguments); the whole
    process group goes when the run hangs."""
    command = [*strace, str(game / exe_name)]
    process = start(command, cwd=game, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                    stderr=subprocess.PIPE, env=environment)
    try:
        output, _ = process.communicate(f"{key}\ny\n\n".encode(), timeout=timeout)
        return Run(process.returncode, output)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        output, _ = process.communicate()
        return Run(process.returncode, output, timed_out=True)


def environment_for(temp):
    environment = dict(os.environ)
    environment["VARNHOLT_TEST_SKIP_PAUSE"] = "1"
    environment["TMPDIR"] = str(temp)
    return environment


def trace_calls(log):
    """For each pid, its traced calls in order as (name, line)."""
    calls = collections.defaultdict(list)
    for line in log.splitlines():
        m = CALL_LINE.match(line)
        if m:
            calls[int(m.group(1))].append((m.group(2), line))
    return calls


def writing_open(line):
    m = OPENAT_FLAGS.match(line)
    return bool(m) and not WRITING_FLAGS.isdisjoint(m.group(1).split("|"))


def crash_points(log):
    """The (call, n) pairs of a clean run's trace. An openat that only reads
    changes nothing, so openat keeps the counts at which some tracee opened a
    file for writing: strace still counts every openat towards n."""
    most = collections.Counter()
    writing_opens = set()
    for calls in trace_calls(log).values():
        counts = collections.Counter()
        for name, line in calls:
            counts[name] += 1
            if name == "openat" and writing_open(line):
                writing_opens.add(counts[name])
        for name, count in counts.items():
            most[name] = max(most[name], count)
    points = []
    for name in FILE_CALLS:
        counts = sorted(writing_opens) if name == "openat" else range(1, most[name] + 1)
        points += [(name, n) for n in counts]
    return points


def sample(points, cap):
    """At most cap points spread evenly, always with the first and the last
    of each call."""
    if len(points) <= cap:
        return points
    ends = set()
    for name in dict.fromkeys(name for name, _ in points):
        counts = [n for call, n in points if call == name]
        ends |= {(name, counts[0]), (name, counts[-1])}
    rest = [p for p in points if p not in ends]
    room = max(0, cap - len(ends))
    chosen = ends | {rest[i * len(rest) // room] for i in range(room)}
    return [p for p in points if p in chosen]


def killed_calls(log, call, n):
    """The calls the injection stopped, as 'who: call(...)', in log order:
    the n-th `call` of every tracee that got that far. strace may die with
    the installer before it writes its "killed by" lines, but the entry line
    of the stopped call is always there."""
    programs = {}
    main = None
    for line in log.splitlines():
        m = CALL_LINE.match(line)
        if m and main is None:
            main = int(m.group(1))
        m = EXECVE_LINE.match(line)
        if m:
            programs.setdefault(int(m.group(1)), pathlib.Path(m.group(2)).name)
    stopped = []
    for pid, calls in trace_calls(log).items():
        mine = [line for name, line in calls if name == call]
        if len(mine) >= n:
            who = "installer" if pid == main else programs.get(pid, "installer thread")
            text = re.sub(r"\s+", " ", re.sub(r"^\d+ +", "", mine[n - 1]))
            stopped.append((log.index(mine[n - 1]), f"{who}: {text[:110]}"))
    return [text for _, text in sorted(stopped)]


def installer_tracees(log):
    """The installer's own tracees in a trace taken with -b execve, as
    {pid: 'installer' | 'installer thread'}: the first pid is the installer;
    a child it started shows only its execve before strace lets it go."""
    calls = trace_calls(log)
    main = next(iter(calls), None)
    return {pid: "installer" if pid == main else "installer thread" for pid, mine in calls.items()
            if pid == main or all(name != "execve" for name, _ in mine)}


def console_call(line):
    m = WRITE_FD.match(line)
    return bool(m) and int(m.group(1)) in CONSOLE_FDS


def error_points(log):
    """The (call, n, where) positions of a clean run's trace of the installer's
    own tracees, where is 'console' when every tracee's n-th call of that
    name writes to fd 1 or 2, 'file' otherwise. As in crash_points, openat
    keeps only the counts at which some tracee opened a file for writing."""
    tracees = installer_tracees(log)
    nth = collections.defaultdict(list)  # (call, n) -> the lines of the tracees that got there
    for pid, calls in trace_calls(log).items():
        if pid not in tracees:
            continue
        counts = collections.Counter()
        for name, line in calls:
            counts[name] += 1
            nth[name, counts[name]].append(line)
    positions = []
    for name in ERROR_CALLS:
        counts = sorted(n for call, n in nth if call == name)
        if name == "openat":
            counts = [n for n in counts if any(writing_open(line) for line in nth[name, n])]
        positions += [(name, n, "console" if all(console_call(line) for line in nth[name, n]) else "file")
                      for n in counts]
    return positions


def sample_errors(positions, cap):
    """At most about cap (call, n, errno) points: every errno at each chosen
    position; the positions that touch files first, the console writes with
    the room left (each sampled like the kill sweep's points)."""
    chosen = []
    room = cap
    for where in ("file", "console"):
        mine = [(call, n) for call, n, w in positions if w == where]
        triples = sum(len(ERROR_CALLS[call]) for call, _ in mine)
        if triples > room:
            mine = sample(mine, max(0, room * len(mine) // max(1, triples)))
        chosen += [(call, n, where) for call, n in mine]
        room -= sum(len(ERROR_CALLS[call]) for call, _ in mine)
    order = {p: i for i, p in enumerate(positions)}
    return [(call, n, error, where) for call, n, where in sorted(chosen, key=order.get)
            for error in ERROR_CALLS[call]]


def injected_calls(log):
    """The calls the injection failed, as (pid, line of the call), in log
    order; a call strace printed in two halves comes back joined."""
    pending = {}
    hits = []
    for line in log.splitlines():
        m = CALL_LINE.match(line)
        if m and line.endswith("<unfinished ...>"):
            pending[int(m.group(1))] = line[:-len("<unfinished ...>")].rstrip()
            continue
        if m:
            whole = line
        else:
            m = RESUMED_LINE.match(line)
            if not m:
                continue
            whole = pending.pop(int(m.group(1)), "") + " " + line[m.end():]
        if whole.endswith("(INJECTED)"):
            hits.append((int(m.group(1)), whole))
    return hits


def archive_entries(path):
    try:
        with zipfile.ZipFile(path) as archive:
            return tuple((entry.filename, hashlib.md5(archive.read(entry)).hexdigest())
                         for entry in archive.infolist())
    except (zipfile.BadZipFile, OSError, EOFError):
        return ("not a ZIP", digest(path))


def game_state(game, exe_name, installed_archive):
    state = snapshot(game)
    state.pop(exe_name, None)
    # The archiver stamps the folder entries it adds with the time of the
    # run, so two clean installs of the manual differ in those bytes. Where
    # an installed archive is the reference, compare what it holds instead.
    if installed_archive and (game / ARCHIVE).is_file():
        state[ARCHIVE] = archive_entries(game / ARCHIVE)
    return state


def differences(expected, actual, limit=6):
    lines = []
    for name in sorted(set(expected) | set(actual)):
        if name not in actual:
            lines.append(f"missing {name}")
        elif name not in expected:
            lines.append(f"extra   {name}")
        elif expected[name] != actual[name]:
            if isinstance(expected[name], tuple) and isinstance(actual[name], tuple):
                was, now = dict(expected[name]), dict(actual[name])
                entries = [e for e in sorted(set(was) | set(now)) if was.get(e) != now.get(e)]
                lines.append(f"changed {name}: entries {', '.join(entries[:4]) or '(order)'}"
                             f"{' …' if len(entries) > 4 else ''}")
            else:
                lines.append(f"changed {name}")
    if len(lines) > limit:
        lines = lines[:limit] + [f"… {len(lines) - limit} more"]
    return lines


class Point:
    def __init__(self, call, n):
        self.call = call
        self.n = n
        self.fired = False
        self.failures = []
        self.folder = None
        self.note = None

    @property
    def name(self):
        return f"{self.call}#{self.n}"


class ErrorPoint(Point):
    def __init__(self, call, n, error, where):
        super().__init__(call, n)
        self.error = error
        self.where = where
        self.console = False
        self.unnoticed_file_failure = False
        self.run = None
        self.causes = []

    def fail(self, cause, detail=""):
        self.causes.append(cause)
        self.failures.append(cause + (":\n" + detail if detail else ""))

    @property
    def name(self):
        return f"{self.call}#{self.n} {self.error}"


class Sweep:
    def __init__(self, args):
        self.args = args
        self.demo = pathlib.Path(args.demo)
        self.exe_name = pathlib.Path(args.exe).name
        self.screens = Screens(args.payloads)
        self.work = pathlib.Path(tempfile.mkdtemp(prefix="crash-sweep-"))
        self.exe = self.work / self.exe_name
        self.copy_executable(pathlib.Path(args.exe))

    def copy_executable(self, source):
        # The build may be rewriting the executable right now: take a copy
        # only when the file stayed the same while it was copied.
        for _ in range(60):
            try:
                before = source.stat()
                shutil.copy2(source, self.exe)
                after = source.stat()
                if (before.st_size, before.st_mtime_ns) == (after.st_size, after.st_mtime_ns) and \
                        self.exe.stat().st_size == after.st_size:
                    return
            except OSError:
                pass
            time.sleep(2)
        raise SystemExit(f"crash_sweep: could not take a stable copy of {source}")

    def new_folder(self, prefix, parent=None, source=None):
        """A scratch folder with a copy of source (the demo game by default)
        as its game folder and a private temporary folder."""
        folder = pathlib.Path(tempfile.mkdtemp(prefix=prefix, dir=parent))
        game = folder / "Varnholt"
        shutil.copytree(source or self.demo, game, symlinks=True, ignore=shutil.ignore_patterns(self.exe_name))
        target = game / self.exe_name
        # A link, not a copy: a file just written by this process could still
        # be open for writing in a child another job is forking, and then
        # cannot be executed. The installer never writes its own file.
        try:
            os.link(self.exe, target)
        except OSError:
            shutil.copy2(self.exe, target)
        (folder / "temp").mkdir()
        return folder, game

    def plain_run(self, folder, game, key):
        return run_installer(game, self.exe_name, key, environment_for(folder / "temp"))

    def start_state(self, function):
        """The game folder each crash point of function starts from."""
        folder, game = self.new_folder(f"start-{function}-", self.work)
        if function in (2, 4):
            run = self.plain_run(folder, game, INVERSE[function])
            if not run.completed or run.status != 0:
                raise SystemExit(f"crash_sweep: the clean run of key {INVERSE[function]} that makes the start "
                                 f"state of function {function} did not complete: {run.describe()}")
        return game

    def traced_points(self, function, start):
        folder, game = self.new_folder(f"trace-{function}-", self.work, start)
        log = folder / "strace.log"
        run = run_installer(game, self.exe_name, function, environment_for(folder / "temp"),
                            ["strace", "-f", "-qq", "-e", "signal=none", "-o", str(log),
                             "-e", "trace=" + ",".join(FILE_CALLS)])
        if not run.completed or run.status != 0:
            raise SystemExit(f"crash_sweep: the clean traced run of function {function} did not complete: "
                             f"{run.describe()}")
        return crash_points(log.read_text(errors="replace")), game_state(game, self.exe_name, function == 3)

    def check_cycle(self, point, folder, game, function, reference):
        """The rerun and the inverse; then the folder is kept for a point
        that failed and removed otherwise."""
        rerun = self.plain_run(folder, game, function)
        inverse = self.plain_run(folder, game, INVERSE[function])
        diff = differences(reference, game_state(game, self.exe_name, function == 4))
        if diff:
            point.failures.append(f"folder differs after the rerun ({rerun.describe()}) and the inverse "
                                  f"({inverse.describe()}):\n" + "\n".join("      " + line for line in diff))
        if point.failures:
            point.folder = folder
        else:
            shutil.rmtree(folder, ignore_errors=True)

    def sweep_point(self, function, start, reference, completed, point):
        folder, game = self.new_folder(f"crash-f{function}-{point.call}-{point.n}-", None, start)
        log = folder / "strace.log"
        run = run_installer(game, self.exe_name, function, environment_for(folder / "temp"),
                            ["strace", "-f", "-qq", "-e", "signal=none", "-o", str(log),
                             "-e", f"trace={point.call},execve",
                             f"--inject={point.call}:signal=KILL:when={point.n}"])
        stopped = killed_calls(log.read_text(errors="replace"), point.call, point.n) if log.exists() else []
        point.fired = bool(stopped)
        cut_short = point.fired or run.status != 0 or not run.completed or run.timed_out
        if point.fired:
            point.note = "stopped " + "; ".join(stopped[:3]) + (" …" if len(stopped) > 3 else "")
        elif cut_short:
            point.note = f"never fired, yet the run did not complete: {run.describe()}"
        if cut_short and run.completed:
            # Killed after the completion line: only right if the work was
            # done by then, as the line says.
            diff = differences(completed, game_state(game, self.exe_name, function == 3))
            if diff:
                point.failures.append(f"cut short after it had printed the completion line ({run.describe()}), "
                                      "with the work not done:\n" + "\n".join("      " + line for line in diff))
            else:
                point.note = (point.note or "") + " (after the completion line, with the work done)"
        if run.timed_out:
            point.failures.append("the run under strace timed out")
        self.check_cycle(point, folder, game, function, reference)
        return point

    def baseline_cycle(self, function, start, reference, kind="crash"):
        """The cycle with no crash or error at all: it must hold first, or
        every point fails alike."""
        baseline = Point("none", 0)
        folder, game = self.new_folder(f"{kind}-f{function}-none-", None, start)
        first = self.plain_run(folder, game, function)
        if not first.completed or first.status != 0:
            baseline.failures.append(f"the clean run did not complete: {first.describe()}")
        if not first.output.startswith(self.screens.dedication() + self.screens.menu()):
            baseline.failures.append("the start screen is not the one of the payload folder")
        self.check_cycle(baseline, folder, game, function, reference)
        return baseline

    def print_baseline(self, baseline):
        if baseline.failures:
            print(f"  FAIL {baseline.name}")
            for failure in baseline.failures:
                print(f"    {failure}")
            print(f"    kept: {baseline.folder}")

    def sweep_function(self, function, pool):
        began = time.monotonic()
        start = self.start_state(function)
        reference = game_state(start, self.exe_name, function == 4)
        points, completed = self.traced_points(function, start)
        cap = self.args.points or DEFAULT_CAP
        chosen = [Point(call, n) for call, n in sample(points, cap)]

        baseline = self.baseline_cycle(function, start, reference)
        done = list(pool.map(lambda p: self.sweep_point(function, start, reference, completed, p), chosen))
        self.report(function, points, done, baseline, time.monotonic() - began)
        return not baseline.failures and not any(p.failures for p in done)

    def report(self, function, points, done, baseline, seconds):
        fired = sum(p.fired for p in done)
        failed = [p for p in done if p.failures]
        per_call = collections.Counter(p.call for p in done)
        print(f"function {function} ({TITLES[function]}, inverse {INVERSE[function]}): "
              f"{len(done)} crash points swept (of {len(points)}), injection fired at {fired}, "
              f"past the end at {len(done) - fired}; {len(failed)} failed; {seconds:.0f} s")
        print("  points per call: " + ", ".join(f"{call} {count}" for call, count in per_call.items()))
        for p in [baseline] * bool(baseline.failures) + failed:
            print(f"  FAIL {p.name}" + (f": {p.note}" if p.note else ""))
            for failure in p.failures:
                print(f"    {failure}")
            print(f"    kept: {p.folder}")
        odd = [p for p in done if not p.fired and p.note]
        for p in odd:
            print(f"  note {p.name}: {p.note}")
        sys.stdout.flush()

    # The error sweep.

    def traced_error_points(self, function, start):
        folder, game = self.new_folder(f"trace-errors-{function}-", self.work, start)
        log = folder / "strace.log"
        run = run_installer(game, self.exe_name, function, environment_for(folder / "temp"),
                            ["strace", "-f", "-b", "execve", "-qq", "-e", "signal=none", "-o", str(log),
                             "-e", "trace=execve," + ",".join(ERROR_CALLS)])
        if not run.completed or run.status != 0:
            raise SystemExit(f"crash_sweep: the clean traced run of function {function} did not complete: "
                             f"{run.describe()}")
        return error_points(log.read_text(errors="replace")), game_state(game, self.exe_name, function == 3)

    def sweep_error_point(self, function, start, reference, completed, point):
        folder, game = self.new_folder(f"error-f{function}-{point.call}-{point.n}-{point.error}-", None, start)
        log = folder / "strace.log"
        run = run_installer(game, self.exe_name, function, environment_for(folder / "temp"),
                            ["strace", "-f", "-b", "execve", "-qq", "-e", "signal=none", "-o", str(log),
                             "-e", f"trace=execve,{point.call}",
                             f"--inject={point.call}:error={point.error}:when={point.n}"],
                            timeout=ERROR_RUN_TIMEOUT)
        text = log.read_text(errors="replace") if log.exists() else ""
        tracees = installer_tracees(text)
        hits = injected_calls(text)
        point.fired = bool(hits)
        point.console = point.fired and all(console_call(line) for _, line in hits)
        # Of the installer's main thread, a failed call that changes a file;
        # the music worker's tune lives in the temporary folder.
        point.unnoticed_file_failure = run.completed and any(
            tracees.get(pid) == "installer" and not console_call(line) and
            (point.call != "openat" or writing_open(line)) for pid, line in hits)
        point.run = run
        if point.fired:
            failed = [f"{tracees.get(pid, 'child')}: " + re.sub(r"\s+", " ", re.sub(r"^\d+ +", "", line))[:110]
                      for pid, line in hits]
            point.note = "failed " + "; ".join(failed[:3]) + (" …" if len(failed) > 3 else "")
            if any(pid not in tracees for pid, _ in hits):
                point.fail("the injection reached a process the installer started")
        elif run.status != 0 or not run.completed:
            point.note = f"never fired, yet the run did not complete: {run.describe()}"
        if run.timed_out:
            point.fail("the run timed out")
        elif run.completed:
            diff = differences(completed, game_state(game, self.exe_name, function == 3))
            if diff:
                point.fail("printed the completion line with the work not done",
                           "\n".join("      " + line for line in diff))
            if run.status != 0:
                point.fail(f"printed the completion line, yet exit status {run.status}")
        elif run.failure_message:
            if run.status != 1:
                point.fail(f"printed a failure message, yet exit status {run.status}")
        elif point.fired and not point.console:
            point.fail("ended with neither the completion line nor a failure message")
        if point.failures:
            # What the run left, before the rerun and the inverse change it.
            shutil.copytree(game, folder / "Varnholt.after-run", symlinks=True)
        before = len(point.failures)
        self.check_cycle(point, folder, game, function, reference)
        point.causes += ["the rerun and the inverse did not give back the start state"] * (len(point.failures) - before)
        return point

    def sweep_errors(self, function, pool):
        began = time.monotonic()
        start = self.start_state(function)
        reference = game_state(start, self.exe_name, function == 4)
        positions, completed = self.traced_error_points(function, start)
        cap = self.args.points or DEFAULT_ERROR_CAP
        chosen = [ErrorPoint(call, n, error, where) for call, n, error, where in sample_errors(positions, cap)]
        baseline = self.baseline_cycle(function, start, reference, "error")
        done = list(pool.map(lambda p: self.sweep_error_point(function, start, reference, completed, p), chosen))
        self.report_errors(function, positions, done, time.monotonic() - began)
        self.print_baseline(baseline)
        return not baseline.failures and not any(p.failures for p in done)

    def report_errors(self, function, positions, done, seconds):
        fired = [p for p in done if p.fired]
        failed = [p for p in done if p.failures]
        files = [p for p in fired if not p.console]
        console = [p for p in fired if p.console]

        def outcomes(points):
            told = sum(p.run.failure_message for p in points)
            completed = sum(p.run.completed for p in points)
            return (f"{told} ended in a failure message, {completed} completed, "
                    f"{len(points) - told - completed} neither")

        print(f"function {function} ({TITLES[function]}, inverse {INVERSE[function]}): "
              f"{len(done)} error points swept (of {sum(len(ERROR_CALLS[c]) for c, _, _ in positions)}), "
              f"injection fired at {len(fired)}; {len(failed)} failed; {seconds:.0f} s")
        print(f"  a file call failed at {len(files)}: {outcomes(files)}")
        print(f"  only the console (fd 1/2) failed at {len(console)}: {outcomes(console)}")
        per_call = collections.defaultdict(collections.Counter)
        for p in done:
            per_call[p.call][p.error] += 1
        print("  points per call and errno: " + "; ".join(
            f"{call} " + " ".join(f"{error} {count}" for error, count in errors.items())
            for call, errors in per_call.items()))
        for p in failed:
            print(f"  FAIL {p.name} ({p.run.describe()})" + (f": {p.note}" if p.note else ""))
            for failure in p.failures:
                print(f"    {failure}")
            print(f"    kept: {p.folder}")
        causes = collections.defaultdict(list)
        for p in failed:
            for cause in dict.fromkeys(p.causes):
                causes[cause].append(p.name)
        for cause, names in causes.items():
            print(f"  failed by cause: {cause}: {', '.join(names)}")
        for p in done:
            if self.args.verbose and not p.failures:
                print(f"  {p.name} ({p.run.describe()}): {p.note or 'never fired'}")
            elif p.fired and p.unnoticed_file_failure and not p.failures:
                print(f"  note {p.name}: completed with the work done, the failure unnoticed: {p.note}")
            elif not p.fired and p.note:
                print(f"  note {p.name}: {p.note}")
        sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--demo", required=True)
    parser.add_argument("--payloads", required=True)
    parser.add_argument("--function", type=int, choices=[1, 2, 3, 4], action="append",
                        help="one function to sweep (repeatable; default: all four)")
    parser.add_argument("--mode", choices=["kill", "error"], default="kill",
                        help="kill the run at each call, or make each call fail with an error")
    parser.add_argument("--points", type=int, help=f"most points per function (default {DEFAULT_CAP} kills, "
                                                   f"{DEFAULT_ERROR_CAP} errors)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--verbose", action="store_true", help="one line for every point of the error sweep")
    args = parser.parse_args()
    if shutil.which("strace") is None:
        raise SystemExit("crash_sweep: strace is not installed")
    # Where the system forbids tracing (a container without ptrace), say so
    # and let the test runner count the sweep as skipped, not as passed.
    probe = subprocess.run(["strace", "-f", "-qq", "-o", os.devnull, "true"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE)
    if probe.returncode != 0:
        print(f"crash_sweep: skipped, strace cannot trace here: {probe.stderr.decode(errors='replace').strip()}")
        return SKIPPED

    began = time.monotonic()
    sweep = Sweep(args)
    ok = True
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
            for function in args.function or [1, 2, 3, 4]:
                swept = sweep.sweep_errors if args.mode == "error" else sweep.sweep_function
                ok = swept(function, pool) and ok
    finally:
        shutil.rmtree(sweep.work, ignore_errors=True)
    kind = "error" if args.mode == "error" else "crash"
    print(f"{f'all {kind} points kept the promise' if ok else 'FAILED'}; {time.monotonic() - began:.0f} s in all")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
