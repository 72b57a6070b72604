#include "report/document_text.hpp"

namespace veltrane::report {

namespace {

constexpr std::size_t INDENT = 2;

}  // namespace

void JsonIndenter::append(std::string& out, std::string_view compact) {
  const auto new_line = [&] {
    out.push_back('\n');
    out.append(depth_ * INDENT, ' ');
  };
  std::size_t i = 0;
  const std::size_t size = compact.size();
  while (i < size) {
    const char byte = compact[i];
    if (escaped_) {
      out.push_back(byte);
      escaped_ = false;
      ++i;
      continue;
    }
    if (in_string_) {
      std::size_t run = i;
      while (run < size && compact[run] != '"' && compact[run] != '\\') ++run;
      out.append(compact.substr(i, run - i));
      i = run;
      if (i == size) break;
      out.push_back(compact[i]);
      if (compact[i] == '\\') {
        escaped_ = true;
      } else {
        in_string_ = false;
      }
      ++i;
      continue;
    }
    if (opened_) {
      opened_ = false;
      if (byte == '}' || byte == ']') {
        out.push_back(byte);
        ++i;
        continue;
      }
      ++depth_;
      new_line();
    }
    switch (byte) {
      case '{':
      case '[':
        out.push_back(byte);
        opened_ = true;
        break;
      case '}':
      case ']':
        --depth_;
        new_line();
        out.push_back(byte);
        break;
      case ',':
        out.push_back(',');
        new_line();
        break;
      case ':':
        out.append(": ");
        break;
      case '"':
        out.push_back('"');
        in_string_ = true;
        break;
      default:
        out.push_back(byte);
        break;
    }
    ++i;
  }
}

void append_script_safe_json(std::string& out, std::string_view compact) {
  std::size_t i = 0;
  while (i < compact.size()) {
    const std::size_t less = compact.find('<', i);
    if (less == std::string_view::npos) {
      out.append(compact.substr(i));
      return;
    }
    out.append(compact.substr(i, less - i));
    if (compact.substr(less + 1, 1) == "/") {
      out.append("<\\/");
      i = less + 2;
    } else if (compact.substr(less + 1, 3) == "!--") {
      out.append("\\u003c");
      i = less + 1;
    } else {
      out.push_back('<');
      i = less + 1;
    }
  }
}

}  // namespace veltrane::report
