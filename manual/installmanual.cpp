#include "manual/manual.h"

#include "app/failure.h"
#include "app/state.h"
#include "manual/filesystem.h"
#include "payload/payload.h"
#include "platform/platform.h"

#include <fstream>

namespace {

const char* const archiverfiles[] = {"7za.dll", "7zxa.dll", "7za.exe"};

void clearleftovers() {
    for (const char* name : archiverfiles) {
        if (!deleteifexists(platform::localpath(name))) throw errortype{6};
    }
    if (!deleteifexists(platform::localpath("book.zip"))) throw errortype{6};
    if (!deleteifexists(platform::localpath("zelt.log"))) throw errortype{6};
    if (!removetreeifexists(platform::localpath("temp"))) throw errortype{6};
}

// Writes the archiver's three files; false as soon as one cannot be written.
bool writearchiver() {
    if (!extractpayload(payloadid::archiverlibrary, platform::localpath("7za.dll"))) return false;
    if (!extractpayload(payloadid::archiverprogram, platform::localpath("7za.exe"))) return false;
    if (!extractpayload(payloadid::archiverextractor, platform::localpath("7zxa.dll"))) return false;
    platform::allowexecution(platform::localpath("7za.exe"));
    return true;
}

void providepages(bool archiverwritten) {
    if (!testmode) {
        if (!archiverwritten) throw errortype{3};
        if (!extractpayload(payloadid::pagearchive, platform::localpath("book.zip"))) throw errortype{3};
        return;
    }
    try {
        fs::copy_file(platform::localpath("zelttest\\book.zip"), platform::localpath("book.zip"),
                      fs::copy_options::overwrite_existing);
    } catch (const fs::filesystem_error&) {
        throw errortype{3};  // a missing or unreadable developer archive
    }
    if (!archiverwritten) throw errortype{3};
}

// The archive must not change unless a complete copy of it is kept. A
// backup from an earlier install is the English original and stays as is.
void backup() {
    fs::path archive = platform::localpath("TechnicalManual\\package.nw");
    fs::path copy = platform::localpath("TechnicalManual\\package.nw.bak");
    if (files::exists(copy) || !files::exists(archive)) return;
    bool complete = false;
    try {
        fs::copy_file(archive, copy, fs::copy_options::none);
        complete = fs::file_size(copy) == fs::file_size(archive);
    } catch (const fs::filesystem_error&) {
    }
    if (!complete) {
        std::error_code error;
        fs::remove(copy, error);
        throw errortype{3};
    }
}

void cleanup() {
    for (const char* name : archiverfiles) {
        if (!files::remove(platform::localpath(name))) throw errortype{6};
    }
    if (!files::remove(platform::localpath("book.zip"))) throw errortype{6};
    if (files::remove_all(platform::localpath("temp")) == 0) throw errortype{6};
}

void judgelog() {
    std::ifstream log(platform::localpath("zelt.log"));
    if (log.fail()) throw errortype{4};
    if (log.peek() != std::ifstream::traits_type::eof()) throw errortype{5};
}

}  // namespace

void installmanual(std::ostream& out) {
    clearleftovers();
    out << "开始安装汉化。这可能需要较长的时间，请坐和放宽^_^\n";
    out << "正在释放汉化所需临时文件...\n";
    bool archiverwritten = writearchiver();
    providepages(archiverwritten);
    out << "正在解压中文汉化数据...\n" << std::flush;
    platform::runcommand(platform::archivercommand(platform::archiverstep::extract));
    out << "正在备份英文文件...\n" << std::flush;
    backup();
    out << "正在安装汉化文件...\n" << std::flush;
    platform::runcommand(platform::archivercommand(testmode ? platform::archiverstep::updateshown
                                                            : platform::archiverstep::update));
    out << "正在清理临时文件...\n" << std::flush;
    cleanup();
    judgelog();
}
