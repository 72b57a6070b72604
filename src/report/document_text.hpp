#pragma once

// The two printed forms of a report's JSON document, made from its compact text (as the
// stream writer prints it, the JSON library's dump()): the form embedded in the page's
// script, written piece by piece as the document grows, and the indented form of
// report.json (the library's dump(2)), made from the embedded form once it is complete,
// so that only one form of the document is held while the inputs are analysed.

#include <string>
#include <string_view>

namespace veltrane::report {

// Appends compact JSON with each "</" written "<\/" and each "<!--" written "\u003c!--",
// so that nothing in it can end the page's script or change how the HTML parser reads it.
// A "<" occurs only inside JSON strings, where both forms keep the value; a piece must not
// end inside a string.
void append_script_safe_json(std::string& out, std::string_view compact);

// Appends the indented form of a whole document given in its embedded form: two spaces
// per level, no final line feed, "<\/" and "\u003c" read back as "</" and "<" (the
// compact text never holds either escape itself).
void append_indented_json(std::string& out, std::string_view embedded);

}  // namespace veltrane::report
