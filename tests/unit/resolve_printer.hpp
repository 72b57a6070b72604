#pragma once
// Test support: resolves a whole script through the analysis driver's own road
// (resolve::resolve_script) and prints the records compactly,
// one line per record in id order:
//   identifier records  "id/parent NAME TYPE USAGE @line:col"
//   statement records   "id/parent TYPE @line:col"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_script.hpp"
#include "syntax/kinds.hpp"
#include "syntax/positions.hpp"

namespace veltrane::test_support {

struct ResolvedItem {
  parser::ParsedStatement statement;
  resolve::ResolvedRecords records;
  std::string printed;  // the compact lines, each ending in "\n"
};

// The owner and name a statement creates as the driver keys them: the owner written,
// else the schema.
using resolve::OwnerAndName;

inline OwnerAndName qualified_name(const parser::ParsedStatement& statement, std::string_view text,
                                   std::string_view schema) {
  return resolve::qualified_object_name(text, schema, statement);
}

inline std::string print_records(const resolve::ResolvedRecords& records,
                                 const syntax::Positions& positions) {
  struct Line {
    uint32_t id;
    std::string text;
  };
  std::vector<Line> printed;
  const auto at = [&](uint32_t offset) {
    const syntax::LineCol position = positions.at(offset);
    return " @" + std::to_string(position.line) + ":" + std::to_string(position.column);
  };
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    printed.push_back({record.id, std::to_string(record.id) + "/" + std::to_string(record.parent) +
                                      " " + record.name + " " + std::string(record.type) + " " +
                                      std::string(resolve::usage_name(record.usage)) +
                                      at(record.start)});
  }
  for (const resolve::StatementRecord& record : records.statements) {
    printed.push_back({record.id, std::to_string(record.id) + "/" + std::to_string(record.parent) +
                                      " " + std::string(record.type) + at(record.start)});
  }
  std::stable_sort(printed.begin(), printed.end(),
                   [](const Line& a, const Line& b) { return a.id < b.id; });
  std::string out;
  for (const Line& line : printed) out += line.text + "\n";
  return out;
}

// A script split and every item parsed, with the statement slots resolution takes: one
// per item, null where the item gave no statement. Not copyable: the slots point into
// `parsed`.
struct ParsedScript {
  lexer::SplitResult split;
  std::vector<std::optional<parser::ParsedStatement>> parsed;
  std::vector<const parser::ParsedStatement*> statements;

  explicit ParsedScript(std::string_view text) : split(lexer::split_script(text)) {
    parsed.reserve(split.items.size());
    for (const lexer::ScriptItem& item : split.items) {
      parsed.push_back(parser::parse_item(text, split, item, lexer::ParseOptions{}));
      statements.push_back(parsed.back() ? &*parsed.back() : nullptr);
    }
  }
  ParsedScript(const ParsedScript&) = delete;
  ParsedScript& operator=(const ParsedScript&) = delete;
};

// Every parsed statement of the script with its records, in script order.
inline std::vector<ResolvedItem> resolve_script(std::string_view text,
                                                std::string_view schema = "APP") {
  ParsedScript script(text);
  std::vector<resolve::ResolvedRecords> records =
      resolve::resolve_script(text, script.split.items, script.statements, schema);
  const syntax::Positions positions(text);
  std::vector<ResolvedItem> resolved;
  for (std::size_t i = 0; i < script.parsed.size(); ++i) {
    if (!script.parsed[i]) continue;
    std::string printed = print_records(records[i], positions);
    resolved.push_back(
        ResolvedItem{std::move(*script.parsed[i]), std::move(records[i]), std::move(printed)});
  }
  return resolved;
}

// The invariants every resolution keeps, checked over one statement's records: ids run
// 1, 2, ... over both lists together, each list in increasing order; a parent is 0 or an
// earlier id; an identifier record lies exactly on a name token of the statement, and a
// statement record starts at one of its significant tokens. Empty when all hold,
// otherwise the first broken one.
inline std::string broken_invariant(const parser::ParsedStatement& statement,
                                    const resolve::ResolvedRecords& records) {
  const syntax::Tree& tree = statement.tree;
  std::vector<bool> seen(records.identifiers.size() + records.statements.size() + 1, false);
  const auto check_id = [&](uint32_t id, uint32_t parent, uint32_t& last) -> std::string {
    if (id == 0 || id >= seen.size() || seen[id])
      return "id " + std::to_string(id) + " out of order";
    if (id <= last) return "ids not increasing at " + std::to_string(id);
    if (parent >= id)
      return "parent " + std::to_string(parent) + " not before " + std::to_string(id);
    seen[id] = true;
    last = id;
    return {};
  };
  // Token index by start offset (tokens are in source order).
  const auto token_at = [&](uint32_t start) -> std::optional<uint32_t> {
    const auto found = std::lower_bound(
        tree.tokens.begin(), tree.tokens.end(), start,
        [](const syntax::TreeToken& token, uint32_t offset) { return token.start < offset; });
    if (found == tree.tokens.end() || found->start != start) return std::nullopt;
    return static_cast<uint32_t>(found - tree.tokens.begin());
  };
  uint32_t last = 0;
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    if (std::string error = check_id(record.id, record.parent, last); !error.empty()) return error;
    const std::optional<uint32_t> token = token_at(record.start);
    const bool name_token =
        token && (tree.tokens[*token].kind == syntax::syntax_kind(syntax::TokenKind::Ident) ||
                  tree.tokens[*token].kind == syntax::syntax_kind(syntax::TokenKind::QuotedIdent));
    if (!name_token || tree.tokens[*token].end != record.end) {
      return "record " + std::to_string(record.id) + " is not on a name token";
    }
  }
  last = 0;
  for (const resolve::StatementRecord& record : records.statements) {
    if (std::string error = check_id(record.id, record.parent, last); !error.empty()) return error;
    const std::optional<uint32_t> token = token_at(record.start);
    if (!token || syntax::is_trivia(tree.tokens[*token].kind) || record.end < record.start) {
      return "statement record " + std::to_string(record.id) + " is not on a token";
    }
  }
  for (std::size_t id = 1; id < seen.size(); ++id) {
    if (!seen[id]) return "id " + std::to_string(id) + " missing";
  }
  return {};
}

}  // namespace veltrane::test_support
