// Helpers shared by the unit tests: scratch folders and file contents.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// Makes a fresh folder, enters it, and on destruction goes back and removes it.
class scratchfolder {
public:
    scratchfolder();
    ~scratchfolder();
    scratchfolder(const scratchfolder&) = delete;
    scratchfolder& operator=(const scratchfolder&) = delete;
    const std::filesystem::path& path() const { return folder; }

private:
    std::filesystem::path previous;
    std::filesystem::path folder;
};

std::string readfile(const std::filesystem::path& path);
void writefile(const std::filesystem::path& path, const std::string& bytes);

// Makes a file or folder refuse deletion (the immutable attribute, which
// needs root), so tests can show what a locked file does. False when this
// machine cannot do that; the scratch folder undoes it.
bool makeundeletable(const std::filesystem::path& path);
void makedeletable(const std::filesystem::path& path);

// A small asset file: a head holding partial copies of the names, the
// "English" record with a region of the given length holding letters, then
// the 9 bytes and "French" that end the region, and more records after.
struct asset {
    std::string bytes;
    std::size_t start;
    std::size_t length;
};
asset makeasset(std::size_t regionlength);
extern const std::filesystem::path assetfile;  // where the installer finds it
// The three lines the locator prints for that asset's region.
std::string locatorlines(const asset& a);
