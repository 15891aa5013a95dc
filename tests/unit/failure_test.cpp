#include "app/failure.h"

#include <gtest/gtest.h>

TEST(failuremessage, everycodehasitsexacttext) {
    struct row {
        std::int32_t code;
        const char* text;
    };
    const row rows[] = {
        {1, "调取汉化资源文件失败，请检查汉化包是否受损。"},
        {2, "访问游戏文件失败，请确认本程序已经放在Varnholt文件夹下，并且游戏文件没有被其他程序占用。"},
        {3, "释放文件因未知原因失败。"},
        {4, "未能正确读取日志文件，无法确定汉化是否成功完成。"},
        {5, "汉化安装已完成，但安装过程中出现了一些错误，因此不能确定是否成功。\n在zelt.log文件中有关于错误的更详细的信息。"},
        {6, "尝试删除文件因未知原因失败。"},
        {8, "重命名文件失败，未能还原英文文件。"},
        {9, "未能在游戏文件中找到文本段的位置，可能是因为游戏版本不同或游戏文件已损坏导致的，汉化因而未能安装。"},
        {0, "汉化包安装程序发生了未知的错误，错误代码为：0"},
        {7, "汉化包安装程序发生了未知的错误，错误代码为：7"},
        {12, "汉化包安装程序发生了未知的错误，错误代码为：12"},
        {-3, "汉化包安装程序发生了未知的错误，错误代码为：-3"},
        {INT32_MIN, "汉化包安装程序发生了未知的错误，错误代码为：-2147483648"},
        {INT32_MAX, "汉化包安装程序发生了未知的错误，错误代码为：2147483647"},
    };
    for (const row& r : rows) EXPECT_EQ(r.text, failuremessage(r.code)) << "code " << r.code;
}

TEST(failuremessage, isgbkwithoutsurroundinglineends) {
    // "调" is B5F7 in GBK: the message is console text as a Chinese Windows
    // console shows it.
    std::string text = failuremessage(1);
    EXPECT_EQ("\xB5\xF7", text.substr(0, 2));
    for (int code = 1; code <= 9; ++code) {
        std::string message = failuremessage(code);
        EXPECT_NE('\n', message.front());
        EXPECT_NE('\n', message.back());
    }
}
