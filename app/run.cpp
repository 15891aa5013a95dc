#include "app/run.h"

#include "app/failure.h"
#include "app/menu.h"
#include "app/settings.h"
#include "app/state.h"
#include "integrity/gate.h"
#include "manual/manual.h"
#include "payload/payload.h"
#include "textpatch/installtesttext.h"
#include "textpatch/installtext.h"

#include <filesystem>
#include <limits>
#include <thread>

bool testmode = false;

std::string dedicationline() {
    return std::string(12, '\n') + "\t\t\t谨以此纪念参与汉化的ZELT故人：" + settings.dedicationname +
           "（" + settings.dedicationalias + "），愿你在星海中安眠。";
}

bool detecttestmode() {
    std::error_code error;
    auto status = std::filesystem::symlink_status(u"zelttest", error);
    return !error && std::filesystem::exists(status);
}

bool validkey(char key, bool developer) {
    switch (key) {
    case '1': return true;
    case '2': return !developer;
    case '3': return true;
    case '4': return !developer;
    default: return false;
    }
}

std::optional<char> readmenukey(std::istream& in, std::ostream& out, bool developer) {
    for (bool first = true;; first = false) {
        in.clear();
        // Drop what is left of the line that held an invalid key, so input
        // with one answer per line behaves exactly like typing.
        if (!first) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        char key;
        if (!(in >> key)) return std::nullopt;
        if (validkey(key, developer)) return key;
        out << "\t无效的选项，请重新选择：";
    }
}

void runfunction(char key, payloadtype& text, std::istream& in, std::ostream& out) {
    switch (key) {
    case '1':
        if (testmode) {
            installtesttext("zelttest\\English.csv", out);
            break;
        }
        text.load(payloadid::chinesetable);
        installtext(text, out);
        break;
    case '2':
        text.load(payloadid::englishtable);
        installtext(text, out);
        break;
    case '3':
        checkintegrity("TechnicalManual\\package.nw", settings.manualdigest,
                       "远征手册文件MD5校验失败，这可能是由于游戏版本不同，或是已经安装了汉化包引起的。"
                       "强行安装可能破环游戏文件，是否继续安装？（Y/N）:",
                       in, out);
        installmanual(out);
        break;
    case '4':
        checkintegrity("TechnicalManual\\package.nw.bak", settings.manualdigest,
                       "远征手册英文备份文件MD5校验失败，这可能是由于游戏版本不同，或是备份文件损坏造成的。"
                       "强行卸载汉化可能破环游戏文件，是否继续卸载？（Y/N）:",
                       in, out);
        restoremanual();
        break;
    }
}

namespace {

void waitforkey(const runhooks& io) {
    io.out.flush();
    io.waitkey();
}

// Steps from developer-mode detection to the end of the chosen function.
// Returns the exit status; errortype and exittype end here.
int guardedrun(const runhooks& io) {
    try {
        testmode = detecttestmode();
        payloadtype text;
        showmenu(io.out);
        std::optional<char> key = readmenukey(io.in, io.out, testmode);
        if (!key) {
            // Nobody is left to answer: end without touching anything.
            io.out << "\n" << std::flush;
            return 0;
        }
        runfunction(*key, text, io.in, io.out);
        io.out << "\n完成！按任意键退出！\n";
        waitforkey(io);
        return 0;
    } catch (const errortype& failure) {
        io.out << failuremessage(failure.code) << "\n按任意键退出程序……";
        waitforkey(io);
        return 1;
    } catch (const exittype&) {
        return 0;
    }
}

}  // namespace

int runinstaller(const runhooks& io) {
    std::atomic<bool> bgmplaying{true};
    std::thread worker;
    auto stopmusic = [&] {
        bgmplaying = false;
        if (worker.joinable()) worker.join();
    };
    try {
        worker = std::thread(io.music, std::ref(bgmplaying));
        io.out << dedicationline() << std::flush;
        io.sleep(6500);
        io.clear();
        int status = guardedrun(io);
        stopmusic();
        return status;
    } catch (...) {
        // A failure outside the installer's own codes: file-system library,
        // threads, memory. Say so, stop the music, fail.
        std::string what = "未知";
        try {
            throw;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        io.out.clear();
        io.out << "\n汉化包安装程序发生了意外的错误：" << what << "\n按任意键退出程序……";
        waitforkey(io);
        stopmusic();
        return 1;
    }
}
