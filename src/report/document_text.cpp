#include "report/document_text.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <vector>

#include "syntax/json_text.hpp"

namespace veltrane::report {

namespace {

constexpr std::size_t INDENT = 2;

template <class Number>
void append_number(std::string& out, Number number) {
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number);
  out.append(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
}

// A scalar, or the opening of an empty container; false for a container with members.
bool append_leaf(std::string& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      out.append("null");
      return true;
    case Json::value_t::boolean:
      out.append(value.get<bool>() ? "true" : "false");
      return true;
    case Json::value_t::number_unsigned:
      append_number(out, value.get<uint64_t>());
      return true;
    case Json::value_t::number_integer:
      append_number(out, value.get<int64_t>());
      return true;
    case Json::value_t::number_float:
      syntax::append_json_double(out, value.get<double>());
      return true;
    case Json::value_t::string:
      syntax::append_json_string(out, value.get_ref<const std::string&>());
      return true;
    case Json::value_t::array:
    case Json::value_t::object:
      if (!value.empty()) return false;
      out.append(value.is_array() ? "[]" : "{}");
      return true;
    default:
      // Binary and discarded values never occur in a document; the library prints them
      // itself.
      out.append(value.dump());
      return true;
  }
}

// One open array or object and the position of its next member.
struct Frame {
  const Json* container;
  Json::const_iterator next;
};

void append_json(std::string& out, const Json& value, bool indented) {
  if (append_leaf(out, value)) return;
  std::vector<Frame> stack;
  const auto open = [&](const Json& container) {
    out.push_back(container.is_array() ? '[' : '{');
    stack.push_back(Frame{&container, container.cbegin()});
  };
  open(value);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const bool first = frame.next == frame.container->cbegin();
    if (frame.next == frame.container->cend()) {
      const char closing = frame.container->is_array() ? ']' : '}';
      stack.pop_back();
      if (indented) {
        out.push_back('\n');
        out.append(stack.size() * INDENT, ' ');
      }
      out.push_back(closing);
      continue;
    }
    const Json::const_iterator member = frame.next++;
    if (!first) out.push_back(',');
    if (indented) {
      out.push_back('\n');
      out.append(stack.size() * INDENT, ' ');
    }
    if (frame.container->is_object()) {
      syntax::append_json_string(out, member.key());
      out.push_back(':');
      if (indented) out.push_back(' ');
    }
    if (!append_leaf(out, *member)) open(*member);
  }
}

}  // namespace

void append_compact_json(std::string& out, const Json& value) { append_json(out, value, false); }

void append_indented_json(std::string& out, const Json& value) { append_json(out, value, true); }

}  // namespace veltrane::report
