// The tree writer of the analysis result against a plain recursive writer: spans of empty
// nodes and of nodes that hold only trivia, commas around skipped trivia and empty
// children, kinds that name nothing, offsets in UTF-16 code units and of every digit count,
// and trees whose text outgrows the room the writer makes at a time.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/result_json.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/json_text.hpp"
#include "syntax/kinds.hpp"
#include "syntax/string_room.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::api {
namespace {

using Json = nlohmann::json;
using syntax::NodeKind;
using syntax::TokenKind;
using ByteSpan = std::optional<std::pair<uint32_t, uint32_t>>;

void widen(ByteSpan& span, uint32_t start, uint32_t end) {
  if (!span) span.emplace(start, end);
  span->second = end;
}

// A node's object as the result documents it, written by recursion: "c" holds the child
// nodes and the tokens that are not trivia, "s" and "e" span every token below, trivia
// included, both 0 when none lies below.
Json reference_node(const syntax::Tree& tree, uint32_t node,
                    const syntax::Utf16Positions& positions, ByteSpan& span) {
  Json children = Json::array();
  for (const syntax::Child entry : syntax::children(tree, node)) {
    if (syntax::is_token_entry(entry)) {
      const syntax::TreeToken& token = tree.tokens[syntax::entry_index(entry)];
      widen(span, token.start, token.end);
      if (syntax::is_trivia(token.kind)) continue;
      children.push_back({{"e", positions.offset(token.end)},
                          {"s", positions.offset(token.start)},
                          {"t", syntax::kind_name(token.kind)}});
      continue;
    }
    ByteSpan child_span;
    children.push_back(reference_node(tree, syntax::entry_index(entry), positions, child_span));
    if (child_span) widen(span, child_span->first, child_span->second);
  }
  return {{"c", children},
          {"e", span ? positions.offset(span->second) : 0u},
          {"k", syntax::kind_name(tree.nodes[node].kind)},
          {"s", span ? positions.offset(span->first) : 0u}};
}

std::string reference_json(const syntax::Tree& tree, const syntax::Utf16Positions& positions,
                           uint32_t node) {
  ByteSpan span;
  return reference_node(tree, node, positions, span).dump();
}

std::string reference_json(const syntax::Tree& tree, const syntax::Utf16Positions& positions) {
  return reference_json(tree, positions, tree.root);
}

// node_json of `node` after a member already written, so that its first byte follows other
// text.
std::string written_json(const syntax::Tree& tree, const syntax::Utf16Positions& positions,
                         bool mapped, uint32_t node) {
  std::string out;
  syntax::JsonWriter writer(out);
  writer.begin_object();
  writer.key("tree");
  if (mapped) {
    syntax::RoomMapper mapper(out, true);
    node_json(writer, tree, node, positions, &mapper);
  } else {
    node_json(writer, tree, node, positions);
  }
  writer.end_object();
  const std::string head = R"({"tree":)";
  EXPECT_EQ(out.substr(0, head.size()), head);
  EXPECT_EQ(out.back(), '}');
  return out.substr(head.size(), out.size() - head.size() - 1);
}

std::string written_json(const syntax::Tree& tree, const syntax::Utf16Positions& positions,
                         bool mapped) {
  return written_json(tree, positions, mapped, tree.root);
}

// One step of a hand-built tree: open a node, add a token over [start, end), close a node.
struct Step {
  enum class Kind : uint8_t { Open, Token, Close } what;
  syntax::SyntaxKind kind{};
  uint32_t start = 0;
  uint32_t end = 0;
};

Step open(NodeKind kind) { return {Step::Kind::Open, syntax::syntax_kind(kind)}; }
Step open_number(uint16_t number) {
  return {Step::Kind::Open, syntax::syntax_kind_from_number(number)};
}
Step token(TokenKind kind, uint32_t start, uint32_t end) {
  return {Step::Kind::Token, syntax::syntax_kind(kind), start, end};
}
Step token_number(uint16_t number, uint32_t start, uint32_t end) {
  return {Step::Kind::Token, syntax::syntax_kind_from_number(number), start, end};
}
Step close() { return {Step::Kind::Close}; }

syntax::Tree build(const std::vector<Step>& steps) {
  syntax::TreeBuilder builder;
  for (const Step& step : steps) {
    switch (step.what) {
      case Step::Kind::Open:
        builder.start_node(step.kind);
        break;
      case Step::Kind::Token:
        builder.token(step.kind, step.start, step.end);
        break;
      case Step::Kind::Close:
        builder.finish_node();
        break;
    }
  }
  return std::move(builder).finish();
}

TEST(TreeJson, HandBuiltTreesMatchTheRecursiveWriter) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Step> steps;
    const char* expected;  // the whole text, or nullptr to compare with the reference only
  };
  const std::string wide(30000, ' ');
  // Nested deeper than the first room made for open nodes, a token at every level.
  std::vector<Step> deep = {open(NodeKind::SelectStmt)};
  for (uint32_t level = 0; level < 300; ++level) {
    deep.push_back(open(NodeKind::Alias));
    deep.push_back(token(TokenKind::Ident, 2 * level, 2 * level + 1));
    deep.push_back(token(TokenKind::Whitespace, 2 * level + 1, 2 * level + 2));
  }
  deep.push_back(open(NodeKind::Alias));
  deep.push_back(close());
  for (uint32_t level = 0; level <= 300; ++level) deep.push_back(close());
  const Case cases[] = {
      {"an empty root",
       "",
       {open(NodeKind::SelectStmt), close()},
       R"({"c":[],"e":0,"k":"SelectStmt","s":0})"},
      {"trivia only: spanned, not written",
       "  -- c\n",
       {open(NodeKind::Alias), token(TokenKind::Whitespace, 0, 2),
        token(TokenKind::LineComment, 2, 6), close()},
       R"({"c":[],"e":6,"k":"Alias","s":0})"},
      {"empty children first, between and last",
       "a b",
       {open(NodeKind::SelectStmt), open(NodeKind::Alias), close(), token(TokenKind::Ident, 0, 1),
        open(NodeKind::Alias), open(NodeKind::Alias), close(), close(),
        token(TokenKind::Whitespace, 1, 2), token(TokenKind::Ident, 2, 3), open(NodeKind::Alias),
        close(), close()},
       R"({"c":[{"c":[],"e":0,"k":"Alias","s":0},{"e":1,"s":0,"t":"Ident"},)"
       R"({"c":[{"c":[],"e":0,"k":"Alias","s":0}],"e":0,"k":"Alias","s":0},)"
       R"({"e":3,"s":2,"t":"Ident"},{"c":[],"e":0,"k":"Alias","s":0}],"e":3,)"
       R"("k":"SelectStmt","s":0})"},
      {"trivia before the first child node and after the last",
       " a ",
       {open(NodeKind::SelectStmt), token(TokenKind::Whitespace, 0, 1), open(NodeKind::Alias),
        token(TokenKind::Ident, 1, 2), close(), token(TokenKind::Whitespace, 2, 3), close()},
       R"({"c":[{"c":[{"e":2,"s":1,"t":"Ident"}],"e":2,"k":"Alias","s":1}],"e":3,)"
       R"("k":"SelectStmt","s":0})"},
      {"a node of trivia only spans its parent's start",
       " a",
       {open(NodeKind::SelectStmt), open(NodeKind::Alias), token(TokenKind::Whitespace, 0, 1),
        close(), token(TokenKind::Ident, 1, 2), close()},
       R"({"c":[{"c":[],"e":1,"k":"Alias","s":0},{"e":2,"s":1,"t":"Ident"}],"e":2,)"
       R"("k":"SelectStmt","s":0})"},
      {"kinds that name nothing, and a node kind on a token",
       "xy",
       {open_number(1234),
        token_number(60, 0, 1),
        {Step::Kind::Token, syntax::syntax_kind(NodeKind::Alias), 1, 2},
        close()},
       R"({"c":[{"e":1,"s":0,"t":"?60"},{"e":2,"s":1,"t":"Alias"}],"e":2,"k":"?1234","s":0})"},
      {"offsets of five and six digits",
       wide + "ab" + std::string(90000, ' ') + "c",
       {open(NodeKind::SelectStmt), token(TokenKind::Whitespace, 0, 30000),
        token(TokenKind::Ident, 30000, 30002), token(TokenKind::Whitespace, 30002, 120002),
        token(TokenKind::Ident, 120002, 120003), close()},
       R"({"c":[{"e":30002,"s":30000,"t":"Ident"},{"e":120003,"s":120002,"t":"Ident"}],)"
       R"("e":120003,"k":"SelectStmt","s":0})"},
      {"UTF-16 offsets past characters of two, three and four bytes",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 x",
       {open(NodeKind::SelectStmt), token(TokenKind::Ident, 0, 9),
        token(TokenKind::Whitespace, 9, 10), token(TokenKind::Ident, 10, 11), close()},
       R"({"c":[{"e":4,"s":0,"t":"Ident"},{"e":6,"s":5,"t":"Ident"}],"e":6,)"
       R"("k":"SelectStmt","s":0})"},
      {"nested 300 levels deep", std::string(600, ' '), deep, nullptr},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const syntax::Tree tree = build(test_case.steps);
    const syntax::Utf16Positions positions(test_case.text);
    const std::string reference = reference_json(tree, positions);
    if (test_case.expected != nullptr) {
      EXPECT_EQ(reference, test_case.expected);
    }
    EXPECT_EQ(written_json(tree, positions, false), reference);
    EXPECT_EQ(written_json(tree, positions, true), reference);
  }
}

// Whole parsed scripts, ASCII and not, small and far larger than the room made at a time.
TEST(TreeJson, ParsedScriptsMatchTheRecursiveWriter) {
  std::string long_list = "select 1";
  for (int i = 0; i < 3000; ++i) long_list += ", x" + std::to_string(i);
  long_list += " from t;\n";
  std::string long_unicode = "begin\n";
  for (int i = 0; i < 800; ++i)
    long_unicode += "  x := '\xC3\xA9\xF0\x9F\x98\x80' || x; -- \xE2\x82\xAC\n";
  long_unicode += "end;\n/\n";
  const std::string scripts[] = {
      "select a.b, 'x''y', 1.5e3, :bind, &sub -- note\n from t /* c */ where x <> 2;\n",
      "create or replace procedure p is\n  x number := 0;\nbegin\n  x := x + 1;\nend;\n/\n",
      "select \xC3\xA9 from \"T\xC3\xA9\" where (((1)));\nselect",
      "insert into t (a) values (q'[it's]');\n$if 1 = 0 $then\nselect 1 from dual;\n$end\n",
      "select from where;\n(\n",
      long_list,
      long_unicode,
  };
  for (const std::string& text : scripts) {
    SCOPED_TRACE(text.substr(0, 60));
    const syntax::Utf16Positions positions(text);
    const lexer::SplitResult split = lexer::split_script(text);
    for (const lexer::ScriptItem& item : split.items) {
      const auto parsed = parser::parse_item(text, split, item, lexer::ParseOptions{});
      if (!parsed.has_value()) continue;
      const std::string reference = reference_json(parsed->tree, positions);
      EXPECT_EQ(written_json(parsed->tree, positions, false), reference);
      EXPECT_EQ(written_json(parsed->tree, positions, true), reference);
    }
  }
}

// Any node's subtree, not only the root's: its span starts at its own first token.
TEST(TreeJson, SubtreesMatchTheRecursiveWriter) {
  const std::string text =
      "create or replace procedure p (a in number) is\n  x number := 0;\nbegin\n"
      "  if a > 1 then x := (x + 1) * a; end if;\n  null;\nend;\n/\n";
  const syntax::Utf16Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  ASSERT_FALSE(split.items.empty());
  const auto parsed = parser::parse_item(text, split, split.items[0], lexer::ParseOptions{});
  ASSERT_TRUE(parsed.has_value());
  for (uint32_t node = 0; node < parsed->tree.nodes.size(); ++node) {
    SCOPED_TRACE(node);
    EXPECT_EQ(written_json(parsed->tree, positions, false, node),
              reference_json(parsed->tree, positions, node));
  }
}

// Reserved from a bound of its size, as the analysis reserves its result, the text is
// written in place: the room the writer makes ahead of itself stays within the capacity
// wherever 256 bytes, the most it asks for at a time, are left.
TEST(TreeJson, StaysWithinTheReservedCapacity) {
  std::string text = "select 1";
  for (int i = 0; i < 500; ++i) text += ", x" + std::to_string(i);
  text += " from t;\n";
  const syntax::Utf16Positions positions(text);
  const lexer::SplitResult split = lexer::split_script(text);
  ASSERT_EQ(split.items.size(), 1u);
  const auto parsed = parser::parse_item(text, split, split.items[0], lexer::ParseOptions{});
  ASSERT_TRUE(parsed.has_value());
  const std::string expected = reference_json(parsed->tree, positions);
  for (const std::size_t spare : {std::size_t{256}, std::size_t{700}, std::size_t{5000}}) {
    SCOPED_TRACE(spare);
    std::string out = "[";
    out.reserve(out.size() + expected.size() + spare);
    const char* const storage = out.data();
    const std::size_t capacity = out.capacity();
    syntax::JsonWriter writer(out);
    node_json(writer, parsed->tree, parsed->tree.root, positions);
    EXPECT_EQ(out, "[" + expected);
    EXPECT_EQ(out.data(), storage);
    EXPECT_EQ(out.capacity(), capacity);
  }
}

// The "names" and "sql" members of `records` as the library dumps the same values.
std::string library_records_dump(const resolve::ResolvedRecords& records,
                                 const syntax::Utf16Positions& positions) {
  Json names = Json::array();
  for (const resolve::IdentifierRecord& record : records.identifiers) {
    const syntax::LineCol position = positions.line_col(record.start);
    names.push_back({{"col", position.column},
                     {"end", positions.offset(record.end)},
                     {"id", record.id},
                     {"line", position.line},
                     {"name", record.name},
                     {"parent", record.parent},
                     {"start", positions.offset(record.start)},
                     {"type", record.type},
                     {"usage", resolve::usage_name(record.usage)}});
  }
  Json sql = Json::array();
  for (const resolve::StatementRecord& record : records.statements) {
    const syntax::LineCol position = positions.line_col(record.start);
    sql.push_back({{"col", position.column},
                   {"id", record.id},
                   {"line", position.line},
                   {"parent", record.parent},
                   {"start", positions.offset(record.start)},
                   {"type", record.type}});
  }
  return Json{{"names", names}, {"sql", sql}}.dump();
}

std::string written_records(const resolve::ResolvedRecords& records,
                            const syntax::Utf16Positions& positions) {
  std::string out;
  syntax::JsonWriter writer(out);
  writer.begin_object();
  records_json(writer, records, positions);
  writer.end_object();
  return out;
}

// Names entries against the library's dump of the same values: types that change and come
// back per usage, a type word too long for the kept ends of entries, names with escapes,
// and numbers of every digit count.
TEST(NamesEntries, MatchTheLibrarysDump) {
  static constexpr std::string_view LONG_TYPE = "A TYPE WORD FAR LONGER THAN ANY THE WALK GIVES";
  const std::string_view types[] = {"VARIABLE", "CURSOR", LONG_TYPE, "ASSOCIATIVE ARRAY"};
  const std::string text =
      "x\n" + std::string(123456, ' ') + "\xC3\xA9yz\n" + std::string(20000, 'a') + "\n";
  const uint32_t starts[] = {0, 2, 9, 123458, 123460, 123461, 143000};
  const std::string words[] = {"X", "A\"B\\C", std::string(200, 'N'), "\x01", "NAME"};
  resolve::ResolvedRecords records;
  for (uint32_t i = 0; i < 40; ++i) {
    resolve::IdentifierRecord record;
    record.name = words[i % std::size(words)];
    record.type = types[(i / 3) % std::size(types)];
    record.start = starts[i % std::size(starts)];
    record.end = record.start + (record.start == 123458 ? 2 : 1);  // past the two-byte letter
    record.id = i * 997 + 1;
    record.parent = i * 3001;
    record.usage = static_cast<resolve::IdentifierUsage>(i % resolve::USAGE_NAMES.size());
    records.identifiers.push_back(record);
  }
  records.statements.push_back({"SELECT", 2, 3, 41, 7});
  const syntax::Utf16Positions positions(text);
  EXPECT_EQ(written_records(records, positions), library_records_dump(records, positions));
}

// Entries at their widest: every number at ten digits where the record gives it, names as
// long as are copied in place and type words at and past the length the kept ends hold,
// many in a row. The writers make room twice per names entry and once per sql entry
// before its type; under AddressSanitizer a writer that writes more than its room between
// two of them stops this test.
TEST(NamesEntries, TheWidestEntriesMatchTheLibrarysDump) {
  constexpr uint32_t WIDEST = 4294967295u;
  // ,"type":"…" and the longest usage tail fill the kept end of 64 bytes with 31 letters.
  const std::string fitting_type(31, 'T');
  const std::string long_type(128, 'L');
  const std::string inline_name(128, 'N');
  const std::string long_name(129, 'M');
  const std::string text = std::string(70000, ' ') + "\xE2\x82\xAC" + std::string(70000, 'a');
  struct Case {
    std::string_view name;
    std::string_view record_name;
    std::string_view type;
    uint32_t start;
  };
  const Case cases[] = {
      {"a name copied in place, a type the kept end holds", inline_name, fitting_type, 0},
      {"a name copied in place, a type one byte longer", inline_name,
       std::string_view(long_type).substr(0, 32), 139000},
      {"a long type, a name written apart", long_name, long_type, 70003},
      {"a short name after a three-byte letter", "X", long_type, 70000},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    resolve::ResolvedRecords records;
    for (uint32_t i = 0; i < 64; ++i) {
      resolve::IdentifierRecord record;
      record.name = test_case.record_name;
      record.type = test_case.type;
      record.start = test_case.start;
      record.end = test_case.start + 1;
      record.id = WIDEST - i;
      record.parent = WIDEST - 2 * i;
      record.usage = static_cast<resolve::IdentifierUsage>(i % resolve::USAGE_NAMES.size());
      records.identifiers.push_back(record);
      records.statements.push_back(
          {test_case.type, test_case.start, test_case.start + 1, WIDEST - i, WIDEST - 3 * i});
    }
    const syntax::Utf16Positions positions(text);
    EXPECT_EQ(written_records(records, positions), library_records_dump(records, positions));
  }
}

}  // namespace
}  // namespace veltrane::api
