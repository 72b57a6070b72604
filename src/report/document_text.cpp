#include "report/document_text.hpp"

#include <cstddef>

namespace veltrane::report {

namespace {

constexpr std::size_t INDENT = 2;
constexpr std::string_view ESCAPED_LESS = "u003c";

// Counts the bytes of the indented form without writing them.
struct SizeSink {
  std::size_t size = 0;
  void text(std::string_view piece) { size += piece.size(); }
  void byte(char) { ++size; }
  void spaces(std::size_t count) { size += count; }
};

struct TextSink {
  std::string& out;
  void text(std::string_view piece) { out.append(piece); }
  void byte(char value) { out.push_back(value); }
  void spaces(std::size_t count) { out.append(count, ' '); }
};

template <class Sink>
void indent(Sink& sink, std::string_view embedded) {
  std::size_t depth = 0;
  // A "{" or "[" was written and whether it holds anything is not known yet.
  bool opened = false;
  const auto new_line = [&] {
    sink.byte('\n');
    sink.spaces(depth * INDENT);
  };
  std::size_t i = 0;
  const std::size_t size = embedded.size();
  while (i < size) {
    const char byte = embedded[i];
    if (opened) {
      opened = false;
      if (byte == '}' || byte == ']') {
        sink.byte(byte);
        ++i;
        continue;
      }
      ++depth;
      new_line();
    }
    switch (byte) {
      case '"': {
        // A string, escapes and all: runs of plain bytes are copied at once.
        sink.byte('"');
        ++i;
        while (i < size) {
          std::size_t run = i;
          while (run < size && embedded[run] != '"' && embedded[run] != '\\') ++run;
          sink.text(embedded.substr(i, run - i));
          i = run;
          if (i == size || embedded[i] == '"') break;
          // A backslash: "\/" and "\u003c" are the page's own, anything else the JSON's.
          const std::string_view rest = embedded.substr(i + 1);
          if (rest.substr(0, 1) == "/") {
            sink.byte('/');
            i += 2;
          } else if (rest.substr(0, ESCAPED_LESS.size()) == ESCAPED_LESS) {
            sink.byte('<');
            i += 1 + ESCAPED_LESS.size();
          } else {
            sink.text(embedded.substr(i, 2));
            i += 2;
          }
        }
        sink.byte('"');
        break;
      }
      case '{':
      case '[':
        sink.byte(byte);
        opened = true;
        break;
      case '}':
      case ']':
        --depth;
        new_line();
        sink.byte(byte);
        break;
      case ',':
        sink.byte(',');
        new_line();
        break;
      case ':':
        sink.text(": ");
        break;
      default:
        sink.byte(byte);
        break;
    }
    ++i;
  }
}

}  // namespace

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

void append_indented_json(std::string& out, std::string_view embedded) {
  // Measured first, so that the text, often the largest output, is allocated once.
  SizeSink size;
  indent(size, embedded);
  out.reserve(out.size() + size.size);
  TextSink text{out};
  indent(text, embedded);
}

}  // namespace veltrane::report
