#pragma once

// The two printed forms of a report's JSON document, made from its compact text (as the
// stream writer prints it, the JSON library's dump()) piece by piece, so that the
// document itself is never held: the indented form of report.json (the library's
// dump(2)) and the form embedded in the page's script.

#include <cstddef>
#include <string>
#include <string_view>

namespace veltrane::report {

// Re-writes compact JSON in the indented form, two spaces per level, no final line feed.
// Pieces may be cut anywhere; the depth and whether a string or a just-opened container is
// pending carry over from one piece to the next. The state is a plain value: a copy taken
// before a piece indents that piece again in the same place.
class JsonIndenter {
 public:
  // Appends the indented form of the next piece to `out`.
  void append(std::string& out, std::string_view compact);

 private:
  std::size_t depth_ = 0;
  bool in_string_ = false;
  bool escaped_ = false;
  // A "{" or "[" was written and whether it holds anything is not known yet.
  bool opened_ = false;
};

// Appends compact JSON with each "</" written "<\/" and each "<!--" written "\u003c!--",
// so that nothing in it can end the page's script or change how the HTML parser reads it.
// A "<" occurs only inside JSON strings, where both forms keep the value; a piece must not
// end inside a string.
void append_script_safe_json(std::string& out, std::string_view compact);

}  // namespace veltrane::report
