#include "manual/file_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

namespace fs = std::filesystem;
using namespace manual;

void make_file(const fs::path& path, const std::string& bytes = "x") {
    fs::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    write_file(path, bytes);
}

struct helper_case {
    const char* name;
    bool needs_lock;
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

TEST(file_helpers, answer_and_leftovers_for_each_kind_of_entry) {
    // One case a line reads best as a table.
    // clang-format off
    const helper_case cases[] = {
        {"delete absent", false, [] {}, [] { return delete_file_if_present("f"); }, true, {}},
        {"delete present", false, [] { make_file("f"); }, [] { return delete_file_if_present("f"); }, true, {}},
        {"delete refused", true, [] { make_file("f"); lock_entry("f"); },
         [] { return delete_file_if_present("f"); }, false, {"f"}},
        {"delete folder in place of file", false, [] { fs::create_directory("f"); },
         [] { return delete_file_if_present("f"); }, false, {"f"}},
        {"tree absent", false, [] {}, [] { return delete_tree_if_present("t"); }, true, {}},
        {"tree nested", false, [] { make_file("t/a"); make_file("t/b/c/d"); fs::create_directories("t/e"); },
         [] { return delete_tree_if_present("t"); }, true, {}},
        {"tree empty folder", false, [] { fs::create_directory("t"); },
         [] { return delete_tree_if_present("t"); }, false, {}},
        {"tree of empty folders", false, [] { fs::create_directories("t/a/b"); },
         [] { return delete_tree_if_present("t"); }, false, {}},
        {"tree is a plain file", false, [] { make_file("t"); }, [] { return delete_tree_if_present("t"); }, true, {}},
        {"tree whose only file refuses", true, [] { make_file("t/a"); lock_entry("t/a"); },
         [] { return delete_tree_if_present("t"); }, false, {"t", "t/a"}},
        {"remove missing", false, [] {}, [] { return delete_file("f"); }, false, {}},
        {"remove empty folder", false, [] { fs::create_directory("f"); },
         [] { return delete_file("f"); }, false, {"f"}},
    };
    // clang-format on
    for (const helper_case& c : cases) {
        SCOPED_TRACE(c.name);
        scoped_temp_folder folder;
        c.setup();
        if (c.needs_lock && !lock_entry(".")) {
            // Cannot lock entries here (needs root and a file system that
            // supports it): this case says nothing.
            continue;
        }
        unlock_entry(".");
        EXPECT_EQ(c.expected, c.operation());
        std::vector<std::string> expected(c.remaining.begin(), c.remaining.end());
        EXPECT_EQ(expected, entries());
    }
}

TEST(file_helpers, empty_folder_passes_the_second_time) {
    scoped_temp_folder folder;
    fs::create_directory("temp");
    EXPECT_FALSE(delete_tree_if_present("temp"));
    EXPECT_FALSE(fs::exists("temp"));
    EXPECT_TRUE(delete_tree_if_present("temp"));
}

TEST(file_helpers, tree_deletion_counts_files_not_folders) {
    scoped_temp_folder folder;
    make_file("t/a");
    make_file("t/b/c");
    make_file("t/b/d/e");
    fs::create_directories("t/f/g");
    EXPECT_EQ(3u, delete_tree_counting_files("t"));
    EXPECT_EQ(0u, delete_tree_counting_files("t"));
}

TEST(file_helpers, status_that_cannot_be_had_counts_as_absent) {
    scoped_temp_folder folder;
    EXPECT_FALSE(entry_exists(std::string(5000, 'n')));  // too long a name
    EXPECT_TRUE(delete_file_if_present(std::string(5000, 'n')));
}
