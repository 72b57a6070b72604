// Snapshot cases of every grammar area: tests/data/<area>/{ok,err}/<case>.sql beside
// <case>.tree. Each script is split; every SQL statement and PL/SQL unit is parsed with
// the default options, and the tree dumps with one line per diagnostic are compared to
// the committed .tree file. Every case is also checked for losslessness (per tree and
// per file), and ok/ cases must have no errors while err/ cases must have some.
//
// VELTRANE_UPDATE_SNAPSHOTS=1 rewrites the .tree files (never when CI=true); review
// every rewritten file before committing it. VELTRANE_SNAPSHOT_FILTER=<text> keeps only
// the cases whose path contains the text (for example "data/queries/").

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/dump.hpp"

namespace {

namespace fs = std::filesystem;
using veltrane::lexer::Diagnostic;
using veltrane::lexer::ParseOptions;
using veltrane::lexer::ScriptItemKind;
using veltrane::lexer::Severity;
using veltrane::lexer::Token;
using veltrane::parser::ParsedStatement;

struct SnapshotCase {
  fs::path sql_path;
  bool expect_errors = false;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool update_mode() {
  const char* update = std::getenv("VELTRANE_UPDATE_SNAPSHOTS");
  const char* ci = std::getenv("CI");
  const bool in_ci = ci != nullptr && std::string_view(ci) == "true";
  return update != nullptr && std::string_view(update) == "1" && !in_ci;
}

std::vector<SnapshotCase> collect_cases() {
  const char* filter_variable = std::getenv("VELTRANE_SNAPSHOT_FILTER");
  const std::string_view filter = filter_variable != nullptr ? filter_variable : "";
  std::vector<SnapshotCase> cases;
  const fs::path root = fs::path(VELTRANE_SOURCE_DIR) / "tests" / "data";
  if (!fs::is_directory(root)) {
    return cases;
  }
  for (const fs::directory_entry& area : fs::directory_iterator(root)) {
    if (!area.is_directory()) {
      continue;
    }
    for (const auto& [folder, expect_errors] : {std::pair{"ok", false}, std::pair{"err", true}}) {
      const fs::path dir = area.path() / folder;
      if (!fs::is_directory(dir)) {
        continue;
      }
      for (const fs::directory_entry& file : fs::directory_iterator(dir)) {
        if (file.is_regular_file() && file.path().extension() == ".sql" &&
            file.path().string().find(filter) != std::string::npos) {
          cases.push_back({file.path(), expect_errors});
        }
      }
    }
  }
  std::sort(cases.begin(), cases.end(),
            [](const SnapshotCase& a, const SnapshotCase& b) { return a.sql_path < b.sql_path; });
  return cases;
}

void append_diagnostic(std::string& out, std::string_view prefix, const Diagnostic& diagnostic,
                       std::string_view text) {
  out += prefix;
  out += veltrane::lexer::severity_name(diagnostic.severity);
  out += ' ';
  out += std::to_string(diagnostic.start);
  out += "..";
  out += std::to_string(diagnostic.end);
  out += ' ';
  veltrane::syntax::append_quoted(out,
                                  text.substr(diagnostic.start, diagnostic.end - diagnostic.start));
  out += ": ";
  out += diagnostic.message;
  out += '\n';
}

// The tree's tokens are exactly the item's tokens (offsets), in order, so their texts
// add back up to the item's text.
void check_tree_lossless(const ParsedStatement& parsed, std::span<const Token> item_tokens,
                         std::string_view text) {
  const auto& tree_tokens = parsed.tree.tokens;
  ASSERT_EQ(tree_tokens.size(), item_tokens.size()) << "tree tokens differ from the item's";
  std::string rebuilt;
  for (size_t i = 0; i < tree_tokens.size(); ++i) {
    ASSERT_EQ(tree_tokens[i].start, item_tokens[i].start) << "token " << i;
    ASSERT_EQ(tree_tokens[i].end, item_tokens[i].end) << "token " << i;
    rebuilt += text.substr(tree_tokens[i].start, tree_tokens[i].end - tree_tokens[i].start);
  }
  if (!item_tokens.empty()) {
    const uint32_t start = item_tokens.front().start;
    EXPECT_EQ(rebuilt, text.substr(start, item_tokens.back().end - start));
  }
  // Every token sits in exactly one child list.
  std::vector<int> seen(tree_tokens.size(), 0);
  for (veltrane::syntax::Child entry : parsed.tree.children) {
    if (veltrane::syntax::is_token_entry(entry)) {
      ++seen[veltrane::syntax::entry_index(entry)];
    }
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int count) { return count == 1; }));
}

// The split's tokens and the spans of its client commands cover the text exactly once.
void check_file_lossless(const veltrane::lexer::SplitResult& split, std::string_view text) {
  std::vector<std::pair<uint32_t, uint32_t>> pieces;
  for (const Token& token : split.tokens) {
    pieces.emplace_back(token.start, token.end);
  }
  for (const auto& item : split.items) {
    if (item.kind == ScriptItemKind::SqlPlus) {
      pieces.emplace_back(item.start, item.end);
    }
  }
  std::sort(pieces.begin(), pieces.end());
  uint32_t covered = 0;
  for (const auto& [start, end] : pieces) {
    ASSERT_EQ(start, covered) << "gap or overlap at byte " << covered;
    covered = end;
  }
  EXPECT_EQ(covered, text.size());
}

// Parses every statement and unit of the script; returns the snapshot text and the
// number of errors.
std::pair<std::string, size_t> run_case(std::string_view text) {
  const veltrane::lexer::SplitResult split = veltrane::lexer::split_script(text);
  check_file_lossless(split, text);
  const ParseOptions options{};
  std::string out;
  size_t errors = 0;
  for (const auto& item : split.items) {
    if (item.kind == ScriptItemKind::SqlPlus) {
      continue;
    }
    std::optional<ParsedStatement> parsed_item =
        veltrane::parser::parse_item(text, split, item, options);
    if (!parsed_item) {
      // An item without tokens, which parse_item leaves alone: the snapshots also show what
      // the entry of its kind makes of an empty slice.
      parsed_item = item.kind == ScriptItemKind::Sql
                        ? veltrane::parser::parse_statement(text, {}, options, item.start)
                        : veltrane::parser::parse_plsql_unit(text, {}, options, item.start);
    }
    const ParsedStatement& parsed = *parsed_item;
    const std::span<const Token> item_tokens =
        std::span<const Token>(split.tokens)
            .subspan(item.first_token, item.end_token - item.first_token);
    check_tree_lossless(parsed, item_tokens, text);
    veltrane::syntax::dump_tree(parsed.tree, parsed.tree.root, 0, text, out);
    for (const Diagnostic& diagnostic : parsed.diagnostics) {
      append_diagnostic(out, "", diagnostic, text);
      errors += diagnostic.severity == Severity::Error ? 1 : 0;
    }
  }
  for (const Diagnostic& diagnostic : split.diagnostics) {
    append_diagnostic(out, "lexer ", diagnostic, text);
    errors += diagnostic.severity == Severity::Error ? 1 : 0;
  }
  return {out, errors};
}

TEST(ParserSnapshot, EveryCaseMatchesItsTree) {
  const std::vector<SnapshotCase> cases = collect_cases();
  const bool update = update_mode();
  for (const SnapshotCase& snapshot : cases) {
    SCOPED_TRACE(snapshot.sql_path.string());
    const std::string text = read_file(snapshot.sql_path);
    const auto [actual, errors] = run_case(text);
    if (snapshot.expect_errors) {
      EXPECT_GT(errors, 0u) << "an err/ case parsed without errors";
    } else {
      EXPECT_EQ(errors, 0u) << "an ok/ case has errors:\n" << actual;
    }
    fs::path tree_path = snapshot.sql_path;
    tree_path.replace_extension(".tree");
    if (update) {
      if (!fs::exists(tree_path) || read_file(tree_path) != actual) {
        std::ofstream(tree_path, std::ios::binary) << actual;
      }
      continue;
    }
    ASSERT_TRUE(fs::exists(tree_path)) << "no expected file; run with VELTRANE_UPDATE_SNAPSHOTS=1";
    EXPECT_EQ(read_file(tree_path), actual);
  }
}

}  // namespace
