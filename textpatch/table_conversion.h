// Converts a translators' string table, every field in double quotes, into
// the game's own string-table form.
#pragma once

#include <istream>
#include <ostream>

namespace textpatch {

// Reads the table from in (opened in binary mode) and writes the game's form
// to out: the game's header line, then one line per kept row, each ended by
// a single line feed.
//
// Input: the first line is a header and is discarded. Every further line
// holds NumberId, StringId, Text, CharacterId, FabricEventString and
// FabricFilePath, each in double quotes, separated by single commas. Inside
// Text two double quotes stand for one and are kept doubled; in the other
// fields any double quote ends the field. A line ends with a line feed,
// optionally preceded by a carriage return; the last one may have none.
// Bytes after the sixth field are ignored. Bytes are copied, never converted.
//
// Rows whose StringId begins with "ID_CORE_VO_" are dropped. When
// CharacterId is not empty, Text gets one space per three of its bytes.
// Text is put in double quotes when it holds a comma or a double quote.
//
// Lines outside that form: an empty line gives no row; missing fields are
// empty; a field without its closing quote runs to the end of its line.
// Reading never goes past the line, so no input fails; a read error simply
// ends the table and is left on in for the caller to see.
void convert_developer_table(std::istream& in, std::ostream& out);

}  // namespace textpatch
