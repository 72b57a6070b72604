#include "api/python_json.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "lexer/lexer.hpp"
#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "lexer/token.hpp"
#include "parser/item_lexer_errors.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/dump.hpp"
#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/positions.hpp"
#include "syntax/span.hpp"
#include "syntax/stop.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::api {

namespace {

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
void write_diagnostic_list(syntax::JsonWriter& writer, std::string_view key,
                           std::span<const lexer::Diagnostic> diagnostics, lexer::Severity severity,
                           const syntax::Positions& positions) {
  writer.key(key);
  writer.begin_array();
  for (const lexer::Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.severity != severity) continue;
    const syntax::LineCol position = positions.at(diagnostic.start);
    writer.begin_object();
    writer.member("col", position.column);
    writer.member("line", position.line);
    writer.member("message", diagnostic.message);
    writer.end_object();
  }
  writer.end_array();
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
  std::string out;
  out.reserve(text.size() + lexed.tokens.size() * 56 + 2);
  syntax::JsonWriter writer(out);
  writer.begin_array();
  for (const lexer::Token& token : lexed.tokens) {
    const syntax::LineCol position = positions.at(token.start);
    writer.begin_object();
    writer.member("col", position.column);
    writer.member("kind", syntax::token_kind_name(token.kind));
    writer.member("line", position.line);
    writer.member("text", syntax::span_text({token.start, token.end}, text));
    writer.end_object();
  }
  writer.end_array();
  return out;
}

std::string split_json(std::string_view bytes) {
  const SourceText source(bytes);
  const std::string_view text = source.view();
  const syntax::Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  std::string out;
  out.reserve(text.size() + split.items.size() * 64 + 2);
  syntax::JsonWriter writer(out);
  writer.begin_array();
  for (const lexer::ScriptItem& item : split.items) {
    const syntax::LineCol position = positions.at(item.start);
    writer.begin_object();
    writer.member("col", position.column);
    writer.key("command");
    if (item.command.has_value()) {
      writer.string_value(*item.command);
    } else {
      writer.null_value();
    }
    writer.member("kind", lower_kind_name(item.kind));
    writer.member("line", position.line);
    writer.member("text", syntax::span_text({item.start, item.end}, text));
    writer.end_object();
  }
  writer.end_array();
  return out;
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
  std::string out;
  out.reserve(text.size() + split.items.size() * 160 + 2);
  syntax::JsonWriter writer(out);
  writer.begin_array();
  std::string dump;
  for (const lexer::ScriptItem& item : split.items) {
    // Command items and items without tokens give no record.
    const std::optional<parser::ParsedStatement> parsed_item =
        parser::parse_item_with_lexer_errors(text, split, item, options);
    if (!parsed_item) continue;
    const parser::ParsedStatement& parsed = *parsed_item;
    const bool is_plsql = item.kind == lexer::ScriptItemKind::PlSql;
    const syntax::LineCol position = positions.at(item.start);
    writer.begin_object();
    writer.member("col", position.column);
    write_diagnostic_list(writer, "errors", parsed.diagnostics, lexer::Severity::Error, positions);
    writer.member("kind", is_plsql ? "plsql" : "sql");
    writer.member("line", position.line);
    writer.member("statement", syntax::kind_name(parsed.tree.nodes.at(parsed.tree.root).kind));
    writer.key("tables");
    writer.begin_array();
    for (const std::string& table : views::referenced_tables(parsed.tree, text)) {
      writer.string_value(table);
    }
    writer.end_array();
    writer.member("text", syntax::span_text({item.start, item.end}, text));
    if (with_tree) {
      dump.clear();
      syntax::dump_tree(parsed.tree, parsed.tree.root, 0, text, dump);
      writer.member("tree", dump);
    }
    write_diagnostic_list(writer, "warnings", parsed.diagnostics, lexer::Severity::Warning,
                          positions);
    writer.end_object();
  }
  writer.end_array();
  return ParseAnswer{std::move(out), std::nullopt};
}

}  // namespace veltrane::api
