#include "app/menu.h"

#include "app/settings.h"
#include "app/state.h"
#include "payload/payload.h"
#include "platform/platform.h"

#include <vector>

namespace {

// The banner is printed in blocks of 121 bytes, every third one, so the
// picture drifts one byte per line against its 122-byte lines.
void printbanner(std::ostream& out, const payloadtype& banner) {
    for (std::uint32_t i = 0; i < banner.size; ++i) {
        if ((i / 121) % 3 == 0) out.put(static_cast<char>(banner.data[i]));
    }
}

void printcredit(std::ostream& out, const char* role, const std::vector<const char*>& names,
                 const char* tail = "") {
    out << "\t\t" << role << "：";
    for (std::size_t i = 0; i < names.size(); ++i) out << (i == 0 ? "" : "、") << names[i];
    out << tail << "\n";
}

void printnormalscreen(std::ostream& out, const payloadtype& banner) {
    printbanner(out, banner);
    out << std::endl;
    out << "\n\t\t\t\t《Varnholt》ZELT简体中文汉化包-" << versiontext << "\n\n";
    out << "\t\tZELT《Varnholt》汉化组成员：\n";
    printcredit(out, "策划", settings.planners, " ");
    printcredit(out, "翻译", settings.translators);
    printcredit(out, "校对", settings.proofreaders);
    printcredit(out, "顾问", settings.advisers);
    out << std::endl;
    out << "\t\t在此感谢" << settings.partnersite << settings.partnergroup << "汉化组的帮助\n";
    out << std::endl;
    out << "\t请将本程序放入游戏根目录（Varnholt文件夹）后运行。\n";
    out << "\t请选择功能：\n"
           "\t\t1.安装游戏汉化\n"
           "\t\t2.还原游戏英文\n"
           "\t\t3.安装远征手册汉化\n"
           "\t\t4.还原远征手册英文\n";
    out << "\t键入相应的选项编号并回车：";
}

void printdeveloperscreen(std::ostream& out) {
    out << "检测到\"zelttest\"文件夹，安装程序以内部测试模式启动。\n"
           "请确保zelttest文件夹内有以下内容：\n"
           "\t文件 English.csv——从平台处下载的、或是经过自己修改的游戏汉化文件；\n"
           "\t文件 book.zip——远征手册package.nw文件解压汉化后的文件打包而成的压缩包"
           "（只需要打包修改过的文件即可）；\n"
           "以上文件一旦缺少，对应的功能将不能正常运行，且程序并不会特意检测相应错误，"
           "因此可能出现不可知的问题。\n"
           "测试模式下程序也不一定会备份原有的英文文件，请自行做好备份。\n"
           "\n\n\t请选择功能：\n\t\t1.安装游戏汉化\n\t\t2.(不可用)\n\t\t3.安装远征手册汉化\n"
           "\t\t4.(不可用)\n";
}

}  // namespace

void showmenu(std::ostream& out) {
    platform::sizeconsole(123, 40);
    payloadtype banner;
    banner.load(payloadid::banner);
    if (testmode) {
        printdeveloperscreen(out);
    } else {
        printnormalscreen(out, banner);
    }
}
