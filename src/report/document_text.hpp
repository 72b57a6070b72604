#pragma once

// Printing a report document: the same bytes as the JSON library's dump() (compact) and
// dump(2) (indented), written with an explicit stack and a string escaper that copies
// runs of plain bytes at once, since a report's documents run to megabytes of text.

#include <string>

#include "report/file_analysis.hpp"

namespace veltrane::report {

// Appends `value` as compact JSON.
void append_compact_json(std::string& out, const Json& value);

// Appends `value` as indented JSON, two spaces per level, no final line feed.
void append_indented_json(std::string& out, const Json& value);

}  // namespace veltrane::report
