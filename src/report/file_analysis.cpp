#include "report/file_analysis.hpp"

#include <chrono>
#include <cmath>
#include <optional>

#include "lexer/oracle_version.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "report/token_classes.hpp"
#include "report/tree_json.hpp"
#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/unicode.hpp"
#include "views/referenced_tables.hpp"

namespace veltrane::report {

namespace {

using Clock = std::chrono::steady_clock;
using lexer::ScriptItem;
using lexer::ScriptItemKind;
using syntax::Utf16Positions;

double micros_since(Clock::time_point before) {
  return rounded_micros(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - before).count());
}

// The line of the item's last byte. The byte before `end` can lie inside a multi-byte
// character; the line is that of the character's start, since no such character holds an
// LF.
uint32_t end_line_of(const ScriptItem& item, std::string_view text,
                     const Utf16Positions& positions) {
  uint32_t last = item.end > 0 ? item.end - 1 : 0;
  if (last < item.start) last = item.start;
  while (last > item.start && last < text.size() && syntax::is_continuation_byte(text[last])) {
    --last;
  }
  return positions.line_col(last).line;
}

struct Totals {
  uint64_t statements = 0;
  uint64_t errors = 0;
  uint64_t warnings = 0;
  uint64_t nodes = 0;
};

}  // namespace

double rounded_micros(int64_t nanoseconds) {
  if (nanoseconds <= 0) return 0.0;
  const int64_t seconds = nanoseconds / 1'000'000'000;
  const int64_t rest = nanoseconds % 1'000'000'000;
  const double micros = (static_cast<double>(seconds) + static_cast<double>(rest) / 1e9) * 1e6;
  return std::round(micros * 10) / 10;
}

uint64_t counted_lines(std::string_view text) {
  if (text.empty()) return 0;
  uint64_t lines = 0;
  for (const char byte : text) {
    if (byte == '\n') ++lines;
  }
  if (text.back() != '\n') ++lines;
  return lines;
}

Json file_diagnostic_json(const syntax::Diagnostic& diagnostic, const Utf16Positions& positions) {
  const syntax::LineCol position = positions.line_col(diagnostic.start);
  Json object = Json::object();
  object["line"] = position.line;
  object["col"] = position.column;
  object["s"] = positions.offset(diagnostic.start);
  object["e"] = positions.offset(std::max(diagnostic.start, diagnostic.end));
  object["message"] = diagnostic.message;
  return object;
}

Json diagnostics_json(std::span<const syntax::Diagnostic> diagnostics, syntax::Severity severity,
                      const Utf16Positions& positions) {
  Json list = Json::array();
  for (const syntax::Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.severity == severity)
      list.push_back(file_diagnostic_json(diagnostic, positions));
  }
  return list;
}

namespace {

// What one analysis makes: the trees (lab mode), and the highlighting rows with the
// timings (left out of a report's file entries, which never show them).
struct AnalysisParts {
  bool lab = false;
  bool rows_and_timings = true;
};

FileAnalysis analyze(std::string_view name, std::string_view text,
                     const lexer::ParseOptions& options, AnalysisParts parts) {
  const bool lab = parts.lab;
  const bool with_rows = parts.rows_and_timings;
  const Clock::time_point file_start = Clock::now();
  const Utf16Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  const NameContexts contexts;

  FileAnalysis analysis;
  Json items = Json::array();
  std::vector<ClassRow> rows;
  if (with_rows) rows.reserve(split.tokens.size());
  Totals totals;

  for (const ScriptItem& item : split.items) {
    Json object = Json::object();
    const syntax::LineCol start = positions.line_col(item.start);
    object["line"] = start.line;
    object["col"] = start.column;
    object["end_line"] = end_line_of(item, text, positions);
    object["s"] = positions.offset(item.start);
    object["e"] = positions.offset(item.end);
    const std::string_view item_text = text.substr(item.start, item.end - item.start);
    std::string tree_text;

    std::optional<parser::ParsedStatement> parsed;
    double parse_micros = 0.0;
    if (item.kind != ScriptItemKind::SqlPlus && item.first_token < item.end_token) {
      const Clock::time_point parse_start = Clock::now();
      parsed = parser::parse_item(text, split, item, options);
      if (with_rows) parse_micros = micros_since(parse_start);
    }

    if (parsed) {
      ++totals.statements;
      const syntax::Tree& tree = parsed->tree;
      if (with_rows) {
        const TokenParentKinds parents(tree);
        append_item_rows(std::span<const lexer::Token>(split.tokens)
                             .subspan(item.first_token, item.end_token - item.first_token),
                         text, parents, contexts, positions, rows);
      }
      Json errors = diagnostics_json(parsed->diagnostics, syntax::Severity::Error, positions);
      Json warnings = diagnostics_json(parsed->diagnostics, syntax::Severity::Warning, positions);
      totals.errors += errors.size();
      totals.warnings += warnings.size();

      uint64_t nodes = 0;
      if (lab) {
        tree_json(tree, tree.root, text, positions, nodes, tree_text);
      } else {
        nodes = tree_object_count(tree);
      }
      totals.nodes += nodes;

      object["kind"] = item.kind == ScriptItemKind::PlSql ? "plsql" : "sql";
      object["statement"] = syntax::kind_name(tree.nodes[tree.root].kind);
      object["text"] = item_text;
      if (with_rows) object["micros"] = parse_micros;
      object["bytes"] = item.end - item.start;
      object["errors"] = std::move(errors);
      object["warnings"] = std::move(warnings);
      object["tables"] = views::referenced_tables(tree, text);
      object["lossless"] = syntax::node_text(tree, tree.root, text) == item_text;
      object["nodes"] = nodes;
    } else {
      object["kind"] = "sqlplus";
      object["command"] = item.command ? Json(*item.command) : Json(nullptr);
      object["text"] = item_text;
    }
    items.push_back(std::move(object));
    if (lab) analysis.trees.push_back(std::move(tree_text));
  }

  if (with_rows) {
    append_comment_rows(split.tokens, positions, rows);
    sort_rows_by_number(rows);
  }
  const double file_micros = micros_since(file_start);

  uint64_t sqlplus = 0;
  uint64_t with_errors = 0;
  for (const Json& item : items) {
    if (item["kind"] == "sqlplus") ++sqlplus;
    const auto errors = item.find("errors");
    if (errors != item.end() && !errors->empty()) ++with_errors;
  }

  Json& value = analysis.value;
  value = Json::object();
  value["name"] = name;
  value["bytes"] = text.size();
  value["lines"] = counted_lines(text);
  if (with_rows) value["micros"] = file_micros;
  value["version"] = lexer::format_version(options.version);
  value["counts"] = Json{{"errors", totals.errors},     {"nodes", totals.nodes},
                         {"sqlplus", sqlplus},          {"statements", totals.statements},
                         {"warnings", totals.warnings}, {"with_errors", with_errors}};
  value["items"] = std::move(items);
  if (with_rows) {
    Json classes = Json::array();
    for (const ClassRow& row : rows) {
      classes.push_back(Json::array({row.start, row.end, row.class_name}));
    }
    value["classes"] = std::move(classes);
  }
  return analysis;
}

}  // namespace

FileAnalysis analyze_file(std::string_view name, std::string_view text,
                          const lexer::ParseOptions& options, bool lab) {
  return analyze(name, text, options, AnalysisParts{lab, true});
}

Json report_file_entry(std::string_view name, std::string_view text,
                       const lexer::ParseOptions& options) {
  return analyze(name, text, options, AnalysisParts{false, false}).value;
}

std::string file_analysis_text(const FileAnalysis& analysis) {
  std::string out;
  out.push_back('{');
  bool first_member = true;
  for (const auto& [key, member] : analysis.value.items()) {
    if (!first_member) out.push_back(',');
    first_member = false;
    syntax::append_json_string(out, key);
    out.push_back(':');
    if (key != "items" || !member.is_array()) {
      out.append(member.dump());
      continue;
    }
    out.push_back('[');
    for (std::size_t index = 0; index < member.size(); ++index) {
      if (index > 0) out.push_back(',');
      const Json& item = member[index];
      const bool has_tree = index < analysis.trees.size() && !analysis.trees[index].empty();
      if (!has_tree || !item.is_object()) {
        out.append(item.dump());
        continue;
      }
      out.push_back('{');
      bool tree_written = false;
      bool first_key = true;
      const auto write_tree = [&] {
        if (!first_key) out.push_back(',');
        first_key = false;
        syntax::append_json_string(out, "tree");
        out.push_back(':');
        out.append(analysis.trees[index]);
        tree_written = true;
      };
      for (const auto& [item_key, item_value] : item.items()) {
        if (!tree_written && item_key > "tree") write_tree();
        if (!first_key) out.push_back(',');
        first_key = false;
        syntax::append_json_string(out, item_key);
        out.push_back(':');
        out.append(item_value.dump());
      }
      if (!tree_written) write_tree();
      out.push_back('}');
    }
    out.push_back(']');
  }
  out.push_back('}');
  return out;
}

}  // namespace veltrane::report
