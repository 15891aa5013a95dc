// Helpers shared by the unit tests: scoped changes that undo themselves,
// file contents, and the failure a call ends with.
#pragma once

#include "core/failure.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// The failure code a call throws, or nothing when it returns normally.
template <typename Call>
std::optional<core::failure_code> failure_of(Call&& call) {
    try {
        call();
    } catch (const core::failure& failure) {
        return failure.code;
    }
    return std::nullopt;
}

// A fresh folder, entered; on destruction the previous folder is entered
// again and the folder removed, whatever a test left locked in it.
class scoped_temp_folder {
public:
    scoped_temp_folder();
    ~scoped_temp_folder();
    scoped_temp_folder(const scoped_temp_folder&) = delete;
    scoped_temp_folder& operator=(const scoped_temp_folder&) = delete;
    const std::filesystem::path& path() const { return folder_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path folder_;
};

// Sets an environment variable (or unsets it, for nothing) and puts the old
// value back on destruction.
class scoped_environment_variable {
public:
    scoped_environment_variable(const char* name, const std::optional<std::string>& value);
    ~scoped_environment_variable();
    scoped_environment_variable(const scoped_environment_variable&) = delete;
    scoped_environment_variable& operator=(const scoped_environment_variable&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);

// Makes a file or folder refuse every change, deletion and rename included
// (the immutable attribute, which needs root), so tests can show what a
// locked file does. False when this machine cannot do that. A scoped temp
// folder unlocks whatever is locked in it when it goes.
bool lock_entry(const std::filesystem::path& path);
void unlock_entry(const std::filesystem::path& path);

// A small asset file: a head holding partial copies of the names, the
// "English" record with a region of the given length holding letters, then
// the 9 bytes and "French" that end the region, and more records after.
struct test_asset {
    std::string bytes;
    std::size_t start;
    std::size_t length;
};
test_asset make_asset(std::size_t region_length);
extern const std::filesystem::path asset_file;  // where the installer finds it
// The three lines the locator prints for that asset's region.
std::string locator_lines(const test_asset& asset);
