// The names of one walk by number: every spelling of a name gets the number of its
// identifier normal form, paths read with numbers agree with views::name_path, and name
// texts stay where they are while the table grows.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/name_table.hpp"
#include "resolve/walk_names.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "syntax/walk.hpp"
#include "views/name_path.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve {
namespace {

using syntax::NodeKind;

parser::ParsedStatement parse_first(std::string_view text) {
  const lexer::SplitResult split = lexer::split_script(text);
  const lexer::ParseOptions options;
  for (const lexer::ScriptItem& item : split.items) {
    if (std::optional<parser::ParsedStatement> parsed =
            parser::parse_item(text, split, item, options)) {
      return std::move(*parsed);
    }
  }
  ADD_FAILURE() << "no statement in: " << text;
  return {};
}

// Every node of `kind` in preorder.
std::vector<uint32_t> nodes_of_kind(const syntax::Tree& tree, NodeKind kind) {
  std::vector<uint32_t> found;
  syntax::TreeWalk walk(tree, tree.root, syntax::WalkTokens::None);
  while (const std::optional<syntax::WalkStep> step = walk.next()) {
    if (step->event == syntax::WalkEvent::Enter &&
        tree.nodes[step->index].kind == syntax::syntax_kind(kind)) {
      found.push_back(step->index);
    }
  }
  return found;
}

TEST(WalkNames, SpellingsShareTheNumberOfTheirNormalForm) {
  // Each statement's names, read left to right: the same letter in `numbers` means the
  // same number, and the texts are the normal forms.
  struct Case {
    std::string_view name;
    std::string_view statement;
    std::vector<std::string_view> texts;
    std::string_view numbers;
  };
  const std::vector<Case> cases = {
      {"case folds", "SELECT emp, EMP, Emp FROM dual;", {"EMP", "EMP", "EMP", "DUAL"}, "aaaz"},
      {"quoted keeps its case",
       "SELECT \"emp\", emp, \"EMP\" FROM dual;",
       {"emp", "EMP", "EMP", "DUAL"},
       "abbz"},
      {"distinct names", "SELECT a, b, a, c FROM dual;", {"A", "B", "A", "C", "DUAL"}, "abacz"},
      {"non-ASCII words fold",
       "SELECT straße, STRASSE FROM dual;",
       {"STRASSE", "STRASSE", "DUAL"},
       "aaz"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const parser::ParsedStatement parsed = parse_first(test.statement);
    const std::vector<uint32_t> refs = nodes_of_kind(parsed.tree, NodeKind::NameRef);
    ASSERT_EQ(refs.size(), test.texts.size());
    WalkNames names;
    std::vector<uint32_t> numbers;
    for (std::size_t i = 0; i < refs.size(); ++i) {
      const NumberedPath path = names.read_path(parsed.tree, refs[i], test.statement);
      ASSERT_EQ(path.parts.size(), 1u);
      EXPECT_EQ(path.parts[0].text, test.texts[i]);
      EXPECT_EQ(names.text(path.parts[0].name), test.texts[i]);
      EXPECT_EQ(names.of_token(parsed.tree, path.parts[0].token, test.statement),
                path.parts[0].name);
      numbers.push_back(path.parts[0].name);
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      for (std::size_t j = 0; j < numbers.size(); ++j) {
        EXPECT_EQ(numbers[i] == numbers[j], test.numbers[i] == test.numbers[j]) << i << " " << j;
      }
    }
  }
}

TEST(WalkNames, PathsAgreeWithTheViewsReading) {
  const std::vector<std::string_view> targets = {
      "emp",   "hr.emp", "\"Mixed\".\"t 1\"", "scott.emp@remote.world", "emp@\"Lnk\"",
      "a.b.c", "&s..t",  "hr . /* x */ emp",
  };
  // The texts outlive the names read from them, as a walk's source text does.
  std::vector<std::string> texts;
  for (const std::string_view target : targets) {
    texts.push_back("CREATE SYNONYM s FOR " + std::string(target) + ";");
  }
  WalkNames names;  // one for every case, as a walk reads many names
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const parser::ParsedStatement parsed = parse_first(text);
    const std::vector<uint32_t> objects = nodes_of_kind(parsed.tree, NodeKind::ObjectName);
    ASSERT_EQ(objects.size(), 2u);
    const views::NamePath expected = views::name_path(parsed.tree, objects[1], text);
    const NumberedPath path = names.read_path(parsed.tree, objects[1], text);
    ASSERT_EQ(path.parts.size(), expected.parts.size());
    for (std::size_t i = 0; i < path.parts.size(); ++i) {
      EXPECT_EQ(path.parts[i].text, expected.parts[i].text);
      EXPECT_EQ(path.parts[i].token, expected.parts[i].token);
      EXPECT_EQ(names.text(path.parts[i].name), expected.parts[i].text);
    }
    EXPECT_EQ(path.plain, expected.plain);
    EXPECT_EQ(path.star, expected.star);
    EXPECT_EQ(path.link, expected.link.has_value());
    // The same parts read from their tokens alone.
    std::vector<uint32_t> tokens;
    for (const views::NamePart& part : expected.parts) tokens.push_back(part.token);
    const std::span<const NumberedPart> words = names.read_tokens(parsed.tree, tokens, text);
    ASSERT_EQ(words.size(), expected.parts.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
      EXPECT_EQ(words[i].text, expected.parts[i].text);
      EXPECT_EQ(words[i].token, expected.parts[i].token);
    }
  }
}

TEST(WalkNames, StarAndOtherNodesAsTheViewsReadThem) {
  const std::string text = "SELECT d.*, x FROM dept d;";
  const parser::ParsedStatement parsed = parse_first(text);
  const std::vector<uint32_t> refs = nodes_of_kind(parsed.tree, NodeKind::NameRef);
  ASSERT_GE(refs.size(), 2u);
  WalkNames names;
  const NumberedPath star = names.read_path(parsed.tree, refs[0], text);
  EXPECT_TRUE(star.star);
  EXPECT_TRUE(star.plain);
  const NumberedPath none = names.read_path(parsed.tree, parsed.tree.root, text);
  EXPECT_TRUE(none.parts.empty());
  EXPECT_FALSE(none.plain);
  EXPECT_FALSE(none.star);
}

TEST(NameTable, TextsStayPutWhileTheTableGrows) {
  NameTable names;
  const std::string long_name(10000, 'L');
  const std::vector<std::string> first = {"A", "", "EMP", long_name};
  std::vector<std::string_view> held;
  for (const std::string& name : first) held.push_back(names.text(names.intern(name)));
  // Enough names to fill several blocks of texts and grow the slots several times.
  for (int i = 0; i < 20000; ++i) names.intern("NAME_" + std::to_string(i));
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(held[i], first[i]);
    EXPECT_EQ(names.find(first[i]), i);
  }
  // A lasting text is kept where it is; reserving room changes no number.
  const std::string lasting = "LASTING";
  const uint32_t kept = names.intern_lasting(lasting, NameTable::hash_of(lasting));
  EXPECT_EQ(names.text(kept).data(), lasting.data());
  EXPECT_EQ(names.intern("LASTING"), kept);
  names.reserve(100000);
  EXPECT_EQ(names.find("NAME_12345"), first.size() + 12345);
  EXPECT_EQ(names.find(long_name), 3u);
  EXPECT_EQ(names.intern("ANOTHER"), kept + 1);
  // A copy numbers alike and owns its texts.
  const NameTable copy = names;
  names = NameTable();
  EXPECT_EQ(copy.size(), first.size() + 20002);
  EXPECT_NE(copy.text(kept).data(), lasting.data());
  EXPECT_EQ(copy.text(kept), lasting);
  EXPECT_EQ(copy.find("NAME_19999"), first.size() + 19999);
  EXPECT_EQ(copy.text(3), long_name);
  EXPECT_EQ(names.find("A"), NameTable::NONE);
}

TEST(NameTable, ATableMovedFromIsEmptyAndWritesOnlyItsOwnTexts) {
  NameTable moved;
  EXPECT_EQ(moved.intern("ONE"), 0u);
  NameTable kept = std::move(moved);
  NameTable assigned;
  assigned.intern("OTHER");
  assigned = std::move(kept);
  EXPECT_EQ(moved.size(), 0u);
  EXPECT_EQ(moved.find("ONE"), NameTable::NONE);
  // Each table interns into its own room.
  EXPECT_EQ(moved.intern("TWO"), 0u);
  EXPECT_EQ(kept.intern("SIX"), 0u);
  EXPECT_EQ(assigned.intern("THREE"), 1u);
  EXPECT_EQ(moved.text(0), "TWO");
  EXPECT_EQ(kept.text(0), "SIX");
  EXPECT_EQ(assigned.text(0), "ONE");
  EXPECT_EQ(assigned.text(1), "THREE");
  EXPECT_EQ(assigned.find("OTHER"), NameTable::NONE);
}

TEST(NameTable, HashSeesEveryByteOfTheName) {
  // Each step of the hash is one-to-one in the word it takes, so names of one length that
  // differ in one byte hash apart, whichever load reads that byte.
  for (std::size_t length = 1; length <= 24; ++length) {
    const std::string name(length, 'N');
    for (std::size_t position = 0; position < length; ++position) {
      std::string other = name;
      other[position] = 'M';
      EXPECT_NE(hash_name(name), hash_name(other)) << length << " " << position;
    }
  }
  EXPECT_NE(hash_name(""), hash_name(std::string_view("\0", 1)));
}

TEST(NameTable, NamesCompareEveryByte) {
  // Names that differ in any one byte differ, whichever load reads that byte, and names of
  // other lengths differ even where one is the start of the other; the texts are cut from
  // longer ones so that no load ends at a boundary by chance.
  const std::string source(40, 'N');
  for (std::size_t length = 0; length <= 24; ++length) {
    const std::string_view name(source.data(), length);
    std::string other(source);
    EXPECT_TRUE(same_name(name, std::string_view(other.data() + 1, length))) << length;
    EXPECT_FALSE(same_name(name, std::string_view(other.data(), length + 1))) << length;
    for (std::size_t position = 0; position < length; ++position) {
      other = source;
      other[position] = 'M';
      EXPECT_FALSE(same_name(name, std::string_view(other.data(), length)))
          << length << " " << position;
    }
  }
}

}  // namespace
}  // namespace veltrane::resolve
