#include "app/menu.h"

#include "app/settings.h"
#include "core/failure.h"
#include "payload/payload.h"
#include "platform/platform.h"

#include <limits>
#include <vector>

namespace app {

namespace {

// The banner is printed in blocks of 121 bytes, every third one, so the
// picture drifts one byte per line against its 122-byte lines.
void print_banner(std::ostream& out, std::string_view banner) {
    for (std::size_t i = 0; i < banner.size(); ++i) {
        if ((i / 121) % 3 == 0) out.put(banner[i]);
    }
}

void print_credit(std::ostream& out, const char* role, const std::vector<const char*>& names, const char* tail = "") {
    out << "\t\t" << role << "：";
    for (std::size_t i = 0; i < names.size(); ++i) out << (i == 0 ? "" : "、") << names[i];
    out << tail << "\n";
}

void print_normal_screen(std::ostream& out, std::string_view banner) {
    print_banner(out, banner);
    out << std::endl;
    out << "\n\t\t\t\t《Varnholt》ZELT简体中文汉化包-" << version_text << "\n\n";
    out << "\t\tZELT《Varnholt》汉化组成员：\n";
    print_credit(out, "策划", settings.planners, " ");
    print_credit(out, "翻译", settings.translators);
    print_credit(out, "校对", settings.proofreaders);
    print_credit(out, "顾问", settings.advisers);
    out << std::endl;
    out << "\t\t在此感谢" << settings.partner_site << settings.partner_group << "汉化组的帮助\n";
    out << std::endl;
    out << "\t请将本程序放入游戏根目录（Varnholt文件夹）后运行。\n";
    out << "\t请选择功能：\n"
           "\t\t1.安装游戏汉化\n"
           "\t\t2.还原游戏英文\n"
           "\t\t3.安装远征手册汉化\n"
           "\t\t4.还原远征手册英文\n";
    out << "\t键入相应的选项编号并回车：";
}

void print_developer_screen(std::ostream& out) {
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

void show_menu(std::ostream& out, bool developer_mode) {
    platform::size_console(123, 40);
    std::optional<std::string_view> banner = payload::bytes_of(payload::payload_id::banner);
    if (!banner) throw core::failure{core::failure_code::payload_unavailable};
    if (developer_mode) {
        print_developer_screen(out);
    } else {
        print_normal_screen(out, *banner);
    }
}

std::optional<installer_function> function_for_key(char key, bool developer_mode) {
    switch (key) {
    case '1': return installer_function::install_text;
    case '2': return developer_mode ? std::nullopt : std::optional(installer_function::restore_text);
    case '3': return installer_function::install_manual;
    case '4': return developer_mode ? std::nullopt : std::optional(installer_function::restore_manual);
    default: return std::nullopt;
    }
}

std::optional<installer_function> read_menu_choice(std::istream& in, std::ostream& out, bool developer_mode) {
    for (bool first = true;; first = false) {
        in.clear();
        // Drop what is left of the line that held an invalid key, so input
        // with one answer per line behaves exactly like typing.
        if (!first) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        char key;
        if (!(in >> key)) return std::nullopt;
        if (std::optional<installer_function> function = function_for_key(key, developer_mode)) return function;
        out << "\t无效的选项，请重新选择：";
    }
}

}  // namespace app
