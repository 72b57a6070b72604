#include "server/json_body.hpp"

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <utility>

#include "syntax/json_text.hpp"

namespace veltrane::server {

namespace {

constexpr std::string_view ELEMENT_NAME = "name";
constexpr std::string_view ELEMENT_TEXT = "text";

// Where a value goes, decided by the key before it.
enum class Target : uint8_t { Nothing, Text, List, ElementName, ElementText };

// The library's event interface over one body. Levels: 0 is the body's value, 1 the
// members of the body object, 2 the elements of the list member, 3 the members of one
// element; everything deeper, and everything beside the wanted members, is skipped.
class MemberKeeper {
 public:
  MemberKeeper(const WantedMembers& wanted, BodyMembers& kept) : wanted_(wanted), kept_(kept) {
    kept_.texts.assign(wanted.texts.size(), std::nullopt);
  }

  bool null() { return value(nullptr, Opens::Nothing); }
  bool boolean(bool /*value*/) { return value(nullptr, Opens::Nothing); }
  bool number_integer(int64_t /*value*/) { return value(nullptr, Opens::Nothing); }
  bool number_unsigned(uint64_t /*value*/) { return value(nullptr, Opens::Nothing); }
  bool number_float(double /*value*/, const std::string& /*text*/) {
    return value(nullptr, Opens::Nothing);
  }
  bool binary(nlohmann::json::binary_t& /*value*/) { return value(nullptr, Opens::Nothing); }
  bool string(std::string& text) { return value(&text, Opens::Nothing); }
  bool start_object(std::size_t /*size*/) { return value(nullptr, Opens::Object); }
  bool start_array(std::size_t /*size*/) { return value(nullptr, Opens::Array); }
  bool end_object() { return end(); }
  bool end_array() { return end(); }

  bool key(std::string& name) {
    target_ = Target::Nothing;
    if (level_ == 1 && body_is_object_) {
      for (std::size_t i = 0; i < wanted_.texts.size(); ++i) {
        if (name == wanted_.texts[i]) {
          target_ = Target::Text;
          text_index_ = i;
        }
      }
      if (wanted_.list.has_value() && name == *wanted_.list) target_ = Target::List;
    } else if (level_ == 3 && in_element_) {
      if (name == ELEMENT_NAME) target_ = Target::ElementName;
      if (name == ELEMENT_TEXT) target_ = Target::ElementText;
    }
    return true;
  }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& /*error*/) {
    return false;
  }

 private:
  enum class Opens : uint8_t { Nothing, Object, Array };

  // A string value (the library's buffer, taken over) or, with null, any other value.
  static std::optional<std::string> kept_text(std::string* text) {
    if (text == nullptr) return std::nullopt;
    return std::move(*text);
  }

  bool value(std::string* text, Opens opens) {
    if (level_ == 0) {
      body_is_object_ = opens == Opens::Object;
    } else if (level_ == 1 && body_is_object_) {
      if (target_ == Target::Text) kept_.texts[text_index_] = kept_text(text);
      if (target_ == Target::List) {
        kept_.list.reset();
        if (opens == Opens::Array) kept_.list.emplace();
        in_list_ = opens == Opens::Array;
      }
    } else if (level_ == 2 && in_list_) {
      kept_.list->emplace_back();
      in_element_ = opens == Opens::Object;
    } else if (level_ == 3 && in_element_) {
      if (target_ == Target::ElementName) kept_.list->back().name = kept_text(text);
      if (target_ == Target::ElementText) kept_.list->back().text = kept_text(text);
    }
    target_ = Target::Nothing;
    if (opens != Opens::Nothing) ++level_;
    return true;
  }

  bool end() {
    --level_;
    if (level_ == 1) in_list_ = false;
    if (level_ == 2) in_element_ = false;
    return true;
  }

  const WantedMembers& wanted_;
  BodyMembers& kept_;
  std::size_t level_ = 0;
  bool body_is_object_ = false;
  bool in_list_ = false;
  bool in_element_ = false;
  Target target_ = Target::Nothing;
  std::size_t text_index_ = 0;
};

}  // namespace

std::optional<std::string_view> text_member(const BodyMembers& members, std::size_t index) {
  const std::optional<std::string>& text = members.texts[index];
  if (!text.has_value()) return std::nullopt;
  return std::string_view(*text);
}

BodyMembers read_body_members(std::string_view body, const WantedMembers& wanted) {
  BodyMembers read;
  MemberKeeper keeper(wanted, read);
  if (syntax::json_text_within_bounds(body) &&
      nlohmann::json::sax_parse(body.begin(), body.end(), &keeper)) {
    return read;
  }
  // Not one JSON value: what was kept before the parser stopped is dropped.
  read.texts.assign(wanted.texts.size(), std::nullopt);
  read.list.reset();
  return read;
}

JsonBody read_json_body(uint64_t content_length, RequestReader& reader, uint64_t limit,
                        const WantedMembers& wanted) {
  JsonBody body;
  if (content_length > limit) {
    body.status = BodyStatus::TooLarge;
    return body;
  }
  std::string bytes;
  if (std::optional<IoError> error = reader.read_body(content_length, bytes)) {
    body.status = BodyStatus::Failed;
    body.error = std::move(*error);
    return body;
  }
  body.members = read_body_members(bytes, wanted);
  return body;
}

}  // namespace veltrane::server
