// Overwrites the English text region of Data\sharedassets0.assets in place
// with a string table, zero-filling the rest of the region.
#pragma once

#include <cstdint>
#include <fstream>
#include <ostream>

struct payloadtype;

// Installs a packaged table (payload 106 or 104). Raises errortype code 2
// when the asset file cannot be opened, written or closed, code 9 when its
// region is not found or is too small for the table; lets the locator's code
// 9 pass. Nothing is written in any case that raises code 9.
void installtext(const payloadtype& payload, std::ostream& out);

// The same for a table given as bytes.
void installtable(const unsigned char* data, std::uint64_t size, std::ostream& out);

// The steps of an install, for callers that make their table in between.
// locateasset: opens the asset file for reading (code 2 when it cannot),
// runs locatetextfield and closes the file again.
void locateasset(std::ostream& out);
// Opens the asset file for update in place: binary, read and write, never
// created, never truncated. Code 2 when it cannot.
std::fstream openassetforupdate();
// Writes the table at textfieldstart, zero-fills the region up to its end
// and closes the file. A table longer than the region is refused with code 9
// before anything is written; a failed seek, write or close raises code 2.
void writetextregion(std::fstream& asset, const unsigned char* data, std::uint64_t size);
