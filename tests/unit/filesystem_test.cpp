#include "manual/filesystem.h"
#include "testsupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

void makefile(const fs::path& path, const std::string& bytes = "x") {
    fs::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    writefile(path, bytes);
}

struct helpercase {
    const char* name;
    bool needslock;
    std::function<void()> setup;
    std::function<bool()> operation;
    bool expected;
    std::vector<const char*> remaining;  // everything left in the folder afterwards
};

std::vector<std::string> entries() {
    std::vector<std::string> found;
    for (auto& e : fs::recursive_directory_iterator(".")) found.push_back(e.path().lexically_relative(".").string());
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

TEST(filehelpers, answerandleftoversforeachkindofentry) {
    const helpercase cases[] = {
        {"delete absent", false, [] {}, [] { return deleteifexists("f"); }, true, {}},
        {"delete present", false, [] { makefile("f"); }, [] { return deleteifexists("f"); }, true, {}},
        {"delete refused", true, [] { makefile("f"); makeundeletable("f"); },
         [] { return deleteifexists("f"); }, false, {"f"}},
        {"delete folder in place of file", false, [] { fs::create_directory("f"); },
         [] { return deleteifexists("f"); }, false, {"f"}},
        {"tree absent", false, [] {}, [] { return removetreeifexists("t"); }, true, {}},
        {"tree nested", false, [] { makefile("t/a"); makefile("t/b/c/d"); fs::create_directories("t/e"); },
         [] { return removetreeifexists("t"); }, true, {}},
        {"tree empty folder", false, [] { fs::create_directory("t"); },
         [] { return removetreeifexists("t"); }, false, {}},
        {"tree of empty folders", false, [] { fs::create_directories("t/a/b"); },
         [] { return removetreeifexists("t"); }, false, {}},
        {"tree is a plain file", false, [] { makefile("t"); }, [] { return removetreeifexists("t"); }, true, {}},
        {"tree whose only file refuses", true, [] { makefile("t/a"); makeundeletable("t/a"); },
         [] { return removetreeifexists("t"); }, false, {"t", "t/a"}},
        {"remove missing", false, [] {}, [] { return files::remove("f"); }, false, {}},
        {"remove empty folder", false, [] { fs::create_directory("f"); },
         [] { return files::remove("f"); }, false, {"f"}},
        {"rename onto existing", false, [] { makefile("a", "new"); makefile("b", "old"); },
         [] { return files::rename("a", "b") && readfile("b") == "new"; }, true, {"b"}},
        {"rename onto one that refuses", true, [] { makefile("a", "new"); makefile("b", "old"); makeundeletable("b"); },
         [] { return files::rename("a", "b"); }, false, {"a", "b"}},
        {"rename missing source", false, [] { makefile("b", "old"); },
         [] { return files::rename("a", "b"); }, false, {}},
    };
    for (const helpercase& c : cases) {
        SCOPED_TRACE(c.name);
        scratchfolder scratch;
        c.setup();
        if (c.needslock && !makeundeletable(".")) {
            // Cannot lock entries here (needs root and a file system that
            // supports it): this case says nothing.
            continue;
        }
        makedeletable(".");
        EXPECT_EQ(c.expected, c.operation());
        std::vector<std::string> expected(c.remaining.begin(), c.remaining.end());
        EXPECT_EQ(expected, entries());
    }
}

TEST(filehelpers, emptyfolderpassesthesecondtime) {
    scratchfolder scratch;
    fs::create_directory("temp");
    EXPECT_FALSE(removetreeifexists("temp"));
    EXPECT_FALSE(fs::exists("temp"));
    EXPECT_TRUE(removetreeifexists("temp"));
}

TEST(filehelpers, removeallcountsfilesnotfolders) {
    scratchfolder scratch;
    makefile("t/a");
    makefile("t/b/c");
    makefile("t/b/d/e");
    fs::create_directories("t/f/g");
    EXPECT_EQ(3u, files::remove_all("t"));
    EXPECT_EQ(0u, files::remove_all("t"));
}

TEST(filehelpers, statusthatcannotbehadcountsasabsent) {
    scratchfolder scratch;
    EXPECT_FALSE(files::exists(std::string(5000, 'n')));  // too long a name
    EXPECT_TRUE(deleteifexists(std::string(5000, 'n')));
}
