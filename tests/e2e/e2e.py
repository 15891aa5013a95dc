#!/usr/bin/env python3
"""End-to-end runs of the installer, as a player runs it.

Each case copies the sample game folder into a scratch folder, puts the
installer's executable beside it, runs it there (under Wine for the Windows
build) with piped input and checks the exact output bytes, the exit status
and the files left behind. Cases live in cases_*.py as functions named
case_<name>(run); `--list` prints their names for CTest.
"""
import argparse
import hashlib
import importlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tools"))
import gensettings  # noqa: E402


def gbk(text):
    return text.encode("gbk")


class Screens:
    """The exact console text the installer prints, built from a payload folder."""

    def __init__(self, payloads):
        self.payloads = pathlib.Path(payloads)
        self.settings = gensettings.parse(self.payloads / "settings.txt")

    def names(self, key):
        return "、".join(gensettings.names(self.settings[key]))

    def dedication(self):
        s = self.settings
        return gbk("\n" * 12 + "\t\t\t谨以此纪念参与汉化的ZELT故人：" + s["dedication.name"] + "（" +
                   s["dedication.alias"] + "），愿你在星海中安眠。")

    def banner(self):
        data = (self.payloads / "banner.txt").read_bytes()
        return bytes(b for i, b in enumerate(data) if (i // 121) % 3 == 0)

    def menu(self):
        s = self.settings
        text = ("\n\n\t\t\t\t《Varnholt》ZELT简体中文汉化包-V1.2.1Beta3\n\n"
                "\t\tZELT《Varnholt》汉化组成员：\n"
                f"\t\t策划：{self.names('credits.planners')} \n"
                f"\t\t翻译：{self.names('credits.translators')}\n"
                f"\t\t校对：{self.names('credits.proofreaders')}\n"
                f"\t\t顾问：{self.names('credits.advisers')}\n"
                "\n"
                f"\t\t在此感谢{s['partner.site']}{s['partner.group']}汉化组的帮助\n"
                "\n"
                "\t请将本程序放入游戏根目录（Varnholt文件夹）后运行。\n"
                "\t请选择功能：\n\t\t1.安装游戏汉化\n\t\t2.还原游戏英文\n"
                "\t\t3.安装远征手册汉化\n\t\t4.还原远征手册英文\n"
                "\t键入相应的选项编号并回车：")
        return self.banner() + gbk(text)

    @staticmethod
    def developer_menu():
        return gbk("检测到\"zelttest\"文件夹，安装程序以内部测试模式启动。\n"
                   "请确保zelttest文件夹内有以下内容：\n"
                   "\t文件 English.csv——从平台处下载的、或是经过自己修改的游戏汉化文件；\n"
                   "\t文件 book.zip——远征手册package.nw文件解压汉化后的文件打包而成的压缩包"
                   "（只需要打包修改过的文件即可）；\n"
                   "以上文件一旦缺少，对应的功能将不能正常运行，且程序并不会特意检测相应错误，"
                   "因此可能出现不可知的问题。\n"
                   "测试模式下程序也不一定会备份原有的英文文件，请自行做好备份。\n"
                   "\n\n\t请选择功能：\n\t\t1.安装游戏汉化\n\t\t2.(不可用)\n\t\t3.安装远征手册汉化\n"
                   "\t\t4.(不可用)\n")

    INVALID_KEY = gbk("\t无效的选项，请重新选择：")
    DONE = gbk("\n完成！按任意键退出！\n")
    PRESS_TO_EXIT = gbk("\n按任意键退出程序……")
    MESSAGES = {
        1: "调取汉化资源文件失败，请检查汉化包是否受损。",
        2: "访问游戏文件失败，请确认本程序已经放在Varnholt文件夹下，并且游戏文件没有被其他程序占用。",
        3: "释放文件因未知原因失败。",
        4: "未能正确读取日志文件，无法确定汉化是否成功完成。",
        5: "汉化安装已完成，但安装过程中出现了一些错误，因此不能确定是否成功。\n"
           "在zelt.log文件中有关于错误的更详细的信息。",
        6: "尝试删除文件因未知原因失败。",
        8: "重命名文件失败，未能还原英文文件。",
        9: "未能在游戏文件中找到文本段的位置，可能是因为游戏版本不同或游戏文件已损坏导致的，汉化因而未能安装。",
    }

    def failure(self, code):
        return gbk(self.MESSAGES[code]) + self.PRESS_TO_EXIT


class Result:
    def __init__(self, status, output, screen, errors=b""):
        self.status = status
        self.output = output
        self.screen = screen
        self.errors = errors

    def after_screen(self):
        """What the run printed after its start screen."""
        if not self.output.startswith(self.screen):
            raise AssertionError("start screen differs:\n" + describe(self.screen, self.output))
        return self.output[len(self.screen):]


def describe(expected, actual):
    if not isinstance(expected, (bytes, str, list)) or type(expected) is not type(actual):
        return f"expected {expected!r}, got {actual!r}"
    at = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b),
              min(len(expected), len(actual)))
    return (f"first difference at byte {at} (expected {len(expected)} bytes, got {len(actual)})\n"
            f"expected: {expected[max(0, at - 40):at + 80]!r}\n"
            f"actual:   {actual[max(0, at - 40):at + 80]!r}")


def expect_equal(expected, actual, what="output"):
    if expected != actual:
        raise AssertionError(f"{what} differs: " + describe(expected, actual))


def digest(path):
    return hashlib.md5(pathlib.Path(path).read_bytes()).hexdigest().upper()


def snapshot(folder):
    """Every file under folder with its digest, for 'nothing else changed' checks."""
    folder = pathlib.Path(folder)
    return {str(p.relative_to(folder)): (digest(p) if p.is_file() else "dir")
            for p in sorted(folder.rglob("*"))}


class Runner:
    def __init__(self, args):
        self.exe = pathlib.Path(args.exe)
        self.wine = args.wine
        self.demo = pathlib.Path(args.demo)
        self.screens = Screens(args.payloads)
        self.payloads = pathlib.Path(args.payloads)
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="installer-e2e-"))
        self.game = self.scratch / "Varnholt"
        shutil.copytree(self.demo, self.game)
        shutil.copy2(self.exe, self.game / self.exe.name)

    def close(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def start_screen(self, developer=False):
        # "cls" prints nothing when the output is not a console.
        menu = self.screens.developer_menu() if developer else self.screens.menu()
        return self.screens.dedication() + menu

    def command(self, env=None, args=(), cwd=None):
        command = [str(self.game / self.exe.name)]
        if self.wine:
            command = ["wine", self.exe.name if cwd is None else str(self.game / self.exe.name)]
        command += list(args)
        environment = dict(os.environ)
        environment.update(env or {})
        if self.wine:
            environment.setdefault("WINEDEBUG", "-all")
        return command, environment

    def run(self, stdin=b"", developer=False, env=None, timeout=400, args=(), cwd=None):
        """One run in the game folder (or in cwd), with its whole input."""
        command, environment = self.command(env, args, cwd)
        completed = subprocess.run(command, cwd=cwd or self.game, input=stdin, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=environment, timeout=timeout)
        return Result(completed.returncode, completed.stdout, self.start_screen(developer), completed.stderr)

    def native_path(self, path):
        """A path as the executable under test takes it on its command line."""
        return "Z:" + str(path).replace("/", "\\") if self.wine else str(path)

    def start(self, stdin=b"", env=None):
        """Starts a run in the background with its whole input given; under
        Wine the process started is the installer's own, so a kill ends it."""
        command, environment = self.command(env)
        process = subprocess.Popen(command, cwd=self.game, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, env=environment)
        process.stdin.write(stdin)
        process.stdin.close()
        process.stdin = None  # all input given: communicate() only reads
        return process


def cases():
    found = {}
    for module_path in sorted(HERE.glob("cases_*.py")):
        module = importlib.import_module(module_path.stem)
        for name in dir(module):
            if name.startswith("case_"):
                found[name[len("case_"):]] = getattr(module, name)
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--exe")
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--demo")
    parser.add_argument("--payloads")
    parser.add_argument("--case")
    args = parser.parse_args()
    sys.path.insert(0, str(HERE))
    known = cases()
    if args.list:
        print(";".join(sorted(known)))
        return 0
    runner = Runner(args)
    try:
        known[args.case](runner)
    except AssertionError as failure:
        print(f"FAILED {args.case}: {failure}")
        print(f"(scratch folder kept: {runner.scratch})")
        return 1
    runner.close()
    print(f"passed {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
