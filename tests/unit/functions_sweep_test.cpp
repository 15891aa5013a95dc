// The four functions under faults: every call a function makes to the file
// system and the process runner fails in turn, with each kind of error, or
// crashes there and loses what was not flushed. After each point the run
// must have reported the error (never "done"), and running the function
// again, then its inverse, must give back the folder byte for byte.
#include "app/functions.h"

#include "fault_file_system.h"
#include "payload/payload.h"
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using app::installer_function;

const fs::path demo_game = VARNHOLT_DEMO_GAME;

// Stands in for the archiver, as another program would: it works on the
// real files directly, deterministically, and like the real one it
// replaces the pages it adds again instead of adding them twice. Its
// output is "extracted" pages in temp and an archive that ends with them.
class fake_archiver : public platform::process_runner {
public:
    platform::io_result<int> run(const platform::process_request& request) override {
        // The log is the runner's to make, as the system's runner does.
        std::ofstream(request.error_log, std::ios::app | std::ios::binary);
        const std::string& command = request.arguments.at(0);
        std::error_code error;
        if (command == "x") {
            const std::string pages = read_file("book.zip");
            if (pages.empty()) return 2;
            fs::create_directories("temp/book/chapters", error);
            write_file("temp/book/index.html", "index of " + std::to_string(pages.size()) + " bytes");
            write_file("temp/book/chapters/pages.bin", pages);
            return error ? 2 : 0;
        }
        // a: the archive is rewritten under a temporary name and renamed
        // into place, as the archiver does.
        if (!fs::exists("temp/book/index.html")) return 2;
        std::string archive = read_file("TechnicalManual/package.nw");
        const std::string::size_type marker = archive.find(pages_marker);
        if (marker != std::string::npos) archive.resize(marker);
        archive += pages_marker + read_file("temp/book/index.html") + read_file("temp/book/chapters/pages.bin");
        write_file("TechnicalManual/package.nw.tmp", archive);
        fs::rename("TechnicalManual/package.nw.tmp", "TechnicalManual/package.nw", error);
        return error ? 2 : 0;
    }

private:
    static constexpr char pages_marker[] = "\n--pages--\n";
};

// Every entry of the current folder: files with their bytes, folders as
// such.
using folder_state = std::map<std::string, std::string>;

folder_state state_of_folder() {
    folder_state state;
    for (const auto& entry : fs::recursive_directory_iterator(".")) {
        const std::string name = entry.path().lexically_relative(".").generic_string();
        state[name] = entry.is_directory() ? "<folder>" : "<file>" + read_file(entry.path());
    }
    return state;
}

std::string differences(const folder_state& expected, const folder_state& actual) {
    std::string lines;
    for (const auto& [name, bytes] : expected) {
        auto it = actual.find(name);
        if (it == actual.end())
            lines += "  missing " + name + "\n";
        else if (it->second != bytes)
            lines += "  changed " + name + "\n";
    }
    for (const auto& [name, bytes] : actual) {
        if (expected.count(name) == 0) lines += "  extra   " + name + "\n";
    }
    return lines;
}

void restore_folder(const folder_state& state) {
    for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
    for (const auto& [name, bytes] : state) {
        if (bytes == "<folder>") {
            fs::create_directories(name);
        } else {
            fs::create_directories(fs::path(name).parent_path().empty() ? "." : fs::path(name).parent_path());
            write_file(name, bytes.substr(6));
        }
    }
}

struct outcome {
    bool completed = false;
    std::optional<core::failure_code> failure;
    bool crashed = false;
};

outcome run(installer_function function, bool developer_mode, platform::file_system& files,
            platform::process_runner& processes) {
    std::istringstream in;
    std::ostringstream out;
    const app::function_context context{files, processes, developer_mode, in, out, true};
    outcome result;
    try {
        result.completed = app::run_function(function, context) == app::function_outcome::completed;
    } catch (const core::failure& failure) {
        result.failure = failure.code;
    } catch (const simulated_crash&) {
        result.crashed = true;
    }
    return result;
}

installer_function inverse_of(installer_function function) {
    switch (function) {
    case installer_function::install_text: return installer_function::restore_text;
    case installer_function::restore_text: return installer_function::install_text;
    case installer_function::install_manual: return installer_function::restore_manual;
    case installer_function::restore_manual: return installer_function::install_manual;
    }
    return function;
}

struct sweep_result {
    std::size_t calls = 0;
    std::size_t points = 0;
    std::vector<std::string> failures;
};

const platform::error_kind error_kinds[] = {platform::error_kind::no_space, platform::error_kind::io_error,
                                            platform::error_kind::access_denied, platform::error_kind::in_use};

const char* kind_name(platform::error_kind kind) {
    switch (kind) {
    case platform::error_kind::no_space: return "no space";
    case platform::error_kind::io_error: return "I/O error";
    case platform::error_kind::access_denied: return "access denied";
    case platform::error_kind::in_use: return "in use";
    default: return "other";
    }
}

// Sweeps one function from the current folder's state. The inverse runs
// in normal mode, as a player would run it after leaving developer mode.
sweep_result sweep(installer_function function, bool developer_mode) {
    platform::file_system& system = platform::system_file_system();
    fake_archiver archiver;
    const folder_state start = state_of_folder();

    // The references: a clean run and its inverse.
    fault_file_system counter(system, archiver);
    const outcome clean = run(function, developer_mode, counter, counter);
    EXPECT_TRUE(clean.completed) << "the clean run did not complete";
    const folder_state done = state_of_folder();
    EXPECT_TRUE(run(inverse_of(function), false, system, archiver).completed) << "the clean inverse";
    const folder_state undone = state_of_folder();

    sweep_result result;
    result.calls = counter.calls();
    for (std::size_t n = 1; n <= result.calls; ++n) {
        for (int variant = -1; variant < static_cast<int>(std::size(error_kinds)); ++variant) {
            const bool crash = variant < 0;
            restore_folder(start);
            fault_file_system faulty(system, archiver);
            faulty.arm(n, crash ? fault_file_system::fault::crash : fault_file_system::fault::error,
                       crash ? platform::error_kind::other : error_kinds[variant]);
            const outcome first = run(function, developer_mode, faulty, faulty);
            if (!faulty.fired()) continue;
            ++result.points;
            const std::string point = "call " + std::to_string(n) + " (" + faulty.fired_call() + "), " +
                                      (crash ? std::string("crash") : kind_name(error_kinds[variant]));
            if (crash) {
                faulty.lose_unflushed();
            } else if (first.completed) {
                result.failures.push_back(point + ": the error was answered with \"done\"");
            }
            // The function again: done at once, or the folder already is
            // its result (a restore that had replaced the archive).
            if (state_of_folder() != done) {
                const outcome again = run(function, developer_mode, system, archiver);
                const std::string diff = differences(done, state_of_folder());
                if (!again.completed || !diff.empty()) {
                    result.failures.push_back(point + ": the rerun " + (again.completed ? "completed" : "failed") +
                                              ", folder:\n" + diff);
                    continue;
                }
            }
            const outcome back = run(inverse_of(function), false, system, archiver);
            const std::string diff = differences(undone, state_of_folder());
            if (!back.completed || !diff.empty()) {
                result.failures.push_back(point + ": the inverse " + (back.completed ? "completed" : "failed") +
                                          ", folder:\n" + diff);
            }
        }
    }
    return result;
}

// A fresh copy of the sample game, entered, brought to the state the
// function starts from.
struct game_at_start : scoped_temp_folder {
    game_at_start(installer_function function, bool developer_mode) {
        fs::copy(demo_game, path(), fs::copy_options::recursive);
        if (developer_mode) {
            fs::create_directory("zelttest");
            write_file("zelttest/English.csv",
                       "\"NumberId\",\"StringId\",\"Text\",\"CharacterId\",\"FabricEventString\",\"FabricFilePath\"\r\n"
                       "\"1\",\"ID_UI_START\",\"\xE5\xBC\x80\xE5\xA7\x8B\",\"\",\"\",\"\"\r\n");
            write_file("zelttest/book.zip", read_file(VARNHOLT_BOOK_ZIP));
        }
        if (function == installer_function::restore_text || function == installer_function::restore_manual) {
            fake_archiver archiver;
            EXPECT_TRUE(run(inverse_of(function), false, platform::system_file_system(), archiver).completed);
        }
    }
};

void expect_sweep_holds(const char* name, installer_function function, bool developer_mode) {
    game_at_start game(function, developer_mode);
    const sweep_result result = sweep(function, developer_mode);
    std::cout << name << ": " << result.points << " points swept over " << result.calls << " calls, "
              << result.failures.size() << " failed\n";
    EXPECT_GT(result.points, 0u);
    for (const std::string& failure : result.failures) ADD_FAILURE() << failure;
}

}  // namespace

TEST(functions_sweep, install_text) { expect_sweep_holds("key 1", installer_function::install_text, false); }
TEST(functions_sweep, restore_text) { expect_sweep_holds("key 2", installer_function::restore_text, false); }
TEST(functions_sweep, install_manual) { expect_sweep_holds("key 3", installer_function::install_manual, false); }
TEST(functions_sweep, restore_manual) { expect_sweep_holds("key 4", installer_function::restore_manual, false); }
TEST(functions_sweep, developer_install_text) {
    expect_sweep_holds("key 1, developer mode", installer_function::install_text, true);
}
TEST(functions_sweep, developer_install_manual) {
    expect_sweep_holds("key 3, developer mode", installer_function::install_manual, true);
}
