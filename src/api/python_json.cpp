#include "api/python_json.hpp"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <utility>

#include "lexer/lexer.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "lexer/token.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/dump.hpp"
#include "syntax/json_stream.hpp"
#include "syntax/kinds.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/positions.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::api {

namespace {

using Json = nlohmann::json;
using syntax::JsonArrayWriter;

// The text as UTF-8: valid input is used as it stands (borrowed), anything else decoded
// lossily into a copy of its own.
class SourceText {
 public:
  explicit SourceText(std::string_view bytes) : bytes_(bytes) {
    if (!syntax::is_valid_utf8(bytes)) {
      decoded_ = syntax::lossy_utf8(bytes);
      lossy_ = true;
    }
  }
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  [[nodiscard]] std::string_view view() const {
    return lossy_ ? std::string_view(decoded_) : bytes_;
  }

 private:
  std::string_view bytes_;
  std::string decoded_;
  bool lossy_ = false;
};

void set_position(Json& object, const syntax::Positions& positions, uint32_t offset) {
  const syntax::LineCol position = positions.at(offset);
  object["line"] = position.line;
  object["col"] = position.column;
}

std::string_view lower_kind_name(lexer::ScriptItemKind kind) {
  switch (kind) {
    case lexer::ScriptItemKind::SqlPlus:
      return "sqlplus";
    case lexer::ScriptItemKind::Sql:
      return "sql";
    case lexer::ScriptItemKind::PlSql:
      return "plsql";
  }
  syntax::stop("script item kind out of range");
}

// The records of one item's diagnostics of one severity, in order:
// [{"col","line","message"}].
Json diagnostic_list(std::span<const lexer::Diagnostic> diagnostics, lexer::Severity severity,
                     const syntax::Positions& positions) {
  Json list = Json::array();
  for (const lexer::Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.severity != severity) continue;
    Json record = Json::object();
    set_position(record, positions, diagnostic.start);
    record["message"] = diagnostic.message;
    list.push_back(std::move(record));
  }
  return list;
}

// The message of a version text that names no Oracle version.
std::string not_a_version_message(std::string_view version_text) {
  return syntax::quoted(version_text) + " is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)";
}

}  // namespace

std::string tokenize_json(std::string_view bytes) {
  const SourceText source(bytes);
  const std::string_view text = source.view();
  const syntax::Positions positions(text);
  const lexer::LexResult lexed = lexer::lex_text(text);
  JsonArrayWriter writer(text.size() + lexed.tokens.size() * 56 + 2);
  Json element = Json::object();
  for (const lexer::Token& token : lexed.tokens) {
    set_position(element, positions, token.start);
    element["kind"] = syntax::token_kind_name(token.kind);
    element["text"] = syntax::span_text({token.start, token.end}, text);
    writer.append(element);
  }
  return std::move(writer).finish();
}

std::string split_json(std::string_view bytes) {
  const SourceText source(bytes);
  const std::string_view text = source.view();
  const syntax::Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  JsonArrayWriter writer(text.size() + split.items.size() * 64 + 2);
  Json element = Json::object();
  for (const lexer::ScriptItem& item : split.items) {
    set_position(element, positions, item.start);
    if (item.command.has_value()) {
      element["command"] = *item.command;
    } else {
      element["command"] = nullptr;
    }
    element["kind"] = lower_kind_name(item.kind);
    element["text"] = syntax::span_text({item.start, item.end}, text);
    writer.append(element);
  }
  return std::move(writer).finish();
}

ParseAnswer parse_json(std::string_view bytes, std::optional<std::string_view> version_text,
                       bool with_tree) {
  lexer::ParseOptions options;
  if (version_text.has_value()) {
    const std::optional<lexer::OracleVersion> version = lexer::parse_oracle_version(*version_text);
    if (!version.has_value()) {
      return ParseAnswer{{}, not_a_version_message(*version_text)};
    }
    options.version = *version;
  }
  const SourceText source(bytes);
  const std::string_view text = source.view();
  const syntax::Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  JsonArrayWriter writer(text.size() + split.items.size() * 160 + 2);
  for (const lexer::ScriptItem& item : split.items) {
    // Command items and items without tokens give no record.
    const std::optional<parser::ParsedStatement> parsed_item =
        parser::parse_item(text, split, item, options);
    if (!parsed_item) continue;
    const parser::ParsedStatement& parsed = *parsed_item;
    const bool is_plsql = item.kind == lexer::ScriptItemKind::PlSql;
    Json record = Json::object();
    set_position(record, positions, item.start);
    record["errors"] = diagnostic_list(parsed.diagnostics, lexer::Severity::Error, positions);
    record["kind"] = is_plsql ? "plsql" : "sql";
    record["statement"] = syntax::kind_name(parsed.tree.nodes.at(parsed.tree.root).kind);
    record["tables"] = views::referenced_tables(parsed.tree, text);
    record["text"] = syntax::span_text({item.start, item.end}, text);
    if (with_tree) {
      std::string dump;
      syntax::dump_tree(parsed.tree, parsed.tree.root, 0, text, dump);
      record["tree"] = std::move(dump);
    }
    record["warnings"] = diagnostic_list(parsed.diagnostics, lexer::Severity::Warning, positions);
    writer.append(record);
  }
  return ParseAnswer{std::move(writer).finish(), std::nullopt};
}

}  // namespace veltrane::api
