// Typed reads of finished trees: dotted name paths, object names, the dictionary form of
// types, declared names and types, subprogram headings, definitions and created object
// names, each over small statements parsed the way a script's items are.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "lexer/token_values.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/kinds.hpp"
#include "syntax/span.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/walk.hpp"
#include "views/created_object.hpp"
#include "views/declarations.hpp"
#include "views/dictionary_text.hpp"
#include "views/name_path.hpp"

namespace {

using veltrane::parser::ParsedStatement;
using veltrane::syntax::NodeKind;
using veltrane::syntax::Tree;
namespace views = veltrane::views;

// The first statement or unit of `text`.
ParsedStatement parse_first(std::string_view text) {
  const veltrane::lexer::SplitResult split = veltrane::lexer::split_script(text);
  const veltrane::lexer::ParseOptions options;
  for (const veltrane::lexer::ScriptItem& item : split.items) {
    if (std::optional<ParsedStatement> parsed =
            veltrane::parser::parse_item(text, split, item, options)) {
      return std::move(*parsed);
    }
  }
  ADD_FAILURE() << "no statement in: " << text;
  return {};
}

// Every node of `kind` in preorder.
std::vector<uint32_t> nodes_of_kind(const Tree& tree, NodeKind kind) {
  std::vector<uint32_t> found;
  if (tree.nodes.empty()) return found;
  veltrane::syntax::TreeWalk walk(tree, tree.root, veltrane::syntax::WalkTokens::None);
  while (const std::optional<veltrane::syntax::WalkStep> step = walk.next()) {
    if (step->event == veltrane::syntax::WalkEvent::Enter &&
        tree.nodes[step->index].kind == veltrane::syntax::syntax_kind(kind)) {
      found.push_back(step->index);
    }
  }
  return found;
}

std::string token_text(const Tree& tree, uint32_t token, std::string_view text) {
  return std::string(
      veltrane::syntax::span_text({tree.tokens[token].start, tree.tokens[token].end}, text));
}

// The identifier normal form of a tree token.
std::string normal_form(const Tree& tree, uint32_t token, std::string_view text) {
  const std::optional<veltrane::syntax::TokenKind> kind =
      veltrane::syntax::as_token_kind(tree.tokens[token].kind);
  if (!kind) ADD_FAILURE() << "a tree token without a token kind";
  return veltrane::lexer::identifier_text(kind.value_or(veltrane::syntax::TokenKind::Unknown),
                                          token_text(tree, token, text));
}

std::string joined_parts(const views::NamePath& path) {
  std::string joined;
  for (const views::NamePart& part : path.parts) {
    if (!joined.empty()) joined.push_back('|');
    joined += part.text;
  }
  return joined;
}

TEST(NamePath, ReadsPartsStarLinkAndPlainness) {
  struct Case {
    const char* name;
    const char* target;  // written after CREATE SYNONYM s FOR
    const char* parts;
    const char* link;  // nullptr: none
    bool plain;
  };
  const Case cases[] = {
      {"one part", "emp", "EMP", nullptr, true},
      {"owner and name", "hr.emp", "HR|EMP", nullptr, true},
      {"quoted keeps case", "\"Mixed\".\"t 1\"", "Mixed|t 1", nullptr, true},
      {"link after at", "scott.emp@remote.world", "SCOTT|EMP", "REMOTE.WORLD", true},
      {"quoted link", "emp@\"Lnk\"", "EMP", "Lnk", true},
      {"three parts", "a.b.c", "A|B|C", nullptr, true},
      {"substitution piece", "&s..t", "T", nullptr, false},
      {"comment inside", "hr . /* x */ emp", "HR|EMP", nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = std::string("CREATE SYNONYM s FOR ") + c.target + ";";
    const ParsedStatement parsed = parse_first(text);
    const std::vector<uint32_t> names = nodes_of_kind(parsed.tree, NodeKind::ObjectName);
    ASSERT_EQ(names.size(), 2u);
    const views::NamePath path = views::name_path(parsed.tree, names[1], text);
    EXPECT_EQ(joined_parts(path), c.parts);
    EXPECT_EQ(path.link, c.link ? std::optional<std::string>(c.link) : std::nullopt);
    EXPECT_EQ(path.plain, c.plain);
    EXPECT_FALSE(path.star);
    for (const views::NamePart& part : path.parts) {
      EXPECT_EQ(normal_form(parsed.tree, part.token, text), part.text);
    }
  }
}

TEST(NamePath, StarAndOtherNodes) {
  const std::string text = "SELECT d.*, x FROM dept d;";
  const ParsedStatement parsed = parse_first(text);
  const std::vector<uint32_t> refs = nodes_of_kind(parsed.tree, NodeKind::NameRef);
  ASSERT_GE(refs.size(), 2u);
  const views::NamePath star = views::name_path(parsed.tree, refs[0], text);
  EXPECT_TRUE(star.star);
  EXPECT_TRUE(star.plain);
  EXPECT_EQ(joined_parts(star), "D");
  EXPECT_FALSE(views::object_name(parsed.tree, refs[0], text).has_value());
  // A node that is neither a NameRef nor an ObjectName has no path.
  const views::NamePath none = views::name_path(parsed.tree, parsed.tree.root, text);
  EXPECT_TRUE(none.parts.empty());
  EXPECT_FALSE(none.plain);
}

TEST(CreatedObjectName, ReadsOnlyWhatTheNameWrites) {
  struct Case {
    const char* statement;
    bool found;
    const char* owner;  // nullptr: none
    const char* name;
  };
  const Case cases[] = {
      {"create or replace editionable package hr.pay as end;\n/\n", true, "HR", "PAY"},
      {"CREATE PACKAGE BODY pay AS END;\n/\n", true, nullptr, "PAY"},
      {"CREATE PUBLIC SYNONYM s FOR t;", true, nullptr, "S"},
      {"CREATE TABLE \"Mixed\".\"T 1\" (a NUMBER);", true, "Mixed", "T 1"},
      {"CREATE TRIGGER hr.trg BEFORE INSERT ON t BEGIN NULL; END;\n/\n", true, "HR", "TRG"},
      {"CREATE SEQUENCE s;", true, nullptr, "S"},
      {"CREATE INDEX i ON t (a);", true, nullptr, "I"},
      {"CREATE TYPE BODY t AS END;\n/\n", true, nullptr, "T"},
      {"CREATE TABLE a.b.c (x NUMBER);", false, nullptr, ""},
      {"CREATE TABLE &s..t (x NUMBER);", false, nullptr, ""},
      {"CREATE SYNONYM s@lnk FOR t;", false, nullptr, ""},
      {"CREATE USER u IDENTIFIED BY p;", false, nullptr, ""},
      {"ALTER TABLE t ADD c NUMBER;", false, nullptr, ""},
      {"BEGIN NULL; END;\n/\n", false, nullptr, ""},
      {"SELECT * FROM t;", false, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    const ParsedStatement parsed = parse_first(c.statement);
    const std::optional<views::QualifiedName> name =
        views::created_object_name(parsed, c.statement);
    ASSERT_EQ(name.has_value(), c.found);
    if (!name) continue;
    EXPECT_EQ(name->owner, c.owner ? std::optional<std::string>(c.owner) : std::nullopt);
    EXPECT_EQ(name->name, c.name);
    EXPECT_EQ(normal_form(parsed.tree, name->name_token, c.statement), c.name);
  }
}

// The type of the first variable of DECLARE v <type>; BEGIN NULL; END;
std::string declared_type_of(std::string_view type) {
  const std::string text = "DECLARE v " + std::string(type) + "; BEGIN NULL; END;\n/\n";
  const ParsedStatement parsed = parse_first(text);
  const std::vector<uint32_t> declarations = nodes_of_kind(parsed.tree, NodeKind::VarDecl);
  if (declarations.empty()) return "<no VarDecl>";
  const std::optional<uint32_t> name =
      views::declared_name_token(parsed.tree, declarations[0], text);
  if (!name) return "<no name>";
  const std::optional<uint32_t> node =
      views::declared_type_node(parsed.tree, declarations[0], *name);
  if (!node) return "<no type>";
  return views::dictionary_text(parsed.tree, *node, text);
}

TEST(DictionaryText, WritesTypesAsTheDictionaryShowsThem) {
  struct Case {
    const char* written;
    const char* dictionary;
  };
  const Case cases[] = {
      {"number ( 10 , 2 )", "NUMBER(10,2)"},
      {"VARCHAR2(20 BYTE)", "VARCHAR2(20 BYTE)"},
      {"NUMBER(*,0)", "NUMBER(*,0)"},
      {"interval day(3) to second(6)", "INTERVAL DAY(3) TO SECOND(6)"},
      {"timestamp(6) with local time zone", "TIMESTAMP(6) WITH LOCAL TIME ZONE"},
      {"timestamp with time zone", "TIMESTAMP WITH TIME ZONE"},
      {"double precision", "DOUBLE PRECISION"},
      {"long raw", "LONG RAW"},
      {"nchar varying(5)", "NCHAR VARYING(5)"},
      {"emp.sal%type", "EMP.SAL%TYPE"},
      {"\"MyT\"", "MyT"},
      {"clob character set any_cs", "CLOB CHARACTER SET ANY_CS"},
      {"straße.t%rowtype", "STRASSE.T%ROWTYPE"},
      {"VARCHAR2(20 = 1)", ""},
      {"VARCHAR2(20 + 1)", "VARCHAR2(20+1)"},
      {"raw(pkg.c_len char)", "RAW(PKG.C_LEN CHAR)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    EXPECT_EQ(declared_type_of(c.written), c.dictionary);
  }
}

TEST(DictionaryText, OverATokenListAndAnEmptyNode) {
  const std::string text = "ALTER TABLE t MODIFY c number ( 5 ) default 1;";
  const ParsedStatement parsed = parse_first(text);
  const std::vector<uint32_t> clauses = nodes_of_kind(parsed.tree, NodeKind::SkippedClause);
  ASSERT_EQ(clauses.size(), 1u);
  // The significant tokens from "number" up to ")".
  std::vector<uint32_t> tokens;
  for (uint32_t i = 0; i < parsed.tree.tokens.size(); ++i) {
    const std::string piece = token_text(parsed.tree, i, text);
    if (piece == "number" || piece == "(" || piece == "5" || piece == ")" || piece == " ") {
      tokens.push_back(i);
    }
  }
  EXPECT_EQ(views::dictionary_text(parsed.tree, tokens, text), "NUMBER(5)");
  EXPECT_EQ(views::dictionary_text(parsed.tree, std::vector<uint32_t>{}, text), "");
}

TEST(Declarations, NamesTypesHeadingsAndDefinitions) {
  const std::string text =
      "CREATE PACKAGE BODY p AS\n"
      "  \"x\"NUMBER;\n"
      "  c CONSTANT VARCHAR2(3) := 'a';\n"
      "  e EXCEPTION;\n"
      "  TYPE r IS RECORD (f DATE);\n"
      "  SUBTYPE s IS PLS_INTEGER;\n"
      "  CURSOR k RETURN emp%ROWTYPE;\n"
      "  CURSOR q IS SELECT 1 FROM dual;\n"
      "  PROCEDURE a(p_in IN NUMBER);\n"
      "  PROCEDURE a(p_in IN NUMBER) IS BEGIN NULL; END;\n"
      "  FUNCTION \"Fn\" RETURN NUMBER IS BEGIN RETURN 1; END;\n"
      "  FUNCTION j RETURN NUMBER AS LANGUAGE JAVA NAME 'X.y()';\n"
      "END;\n/\n";
  const ParsedStatement parsed = parse_first(text);
  ASSERT_TRUE(parsed.diagnostics.empty());
  const std::vector<uint32_t> sections = nodes_of_kind(parsed.tree, NodeKind::DeclareSection);
  ASSERT_FALSE(sections.empty());
  struct Expected {
    const char* name;
    const char* type;  // dictionary form of the declared type, or the RETURN text
    bool is_function;
    bool definition;
  };
  const Expected expected[] = {
      {"\"x\"", "NUMBER", false, false},
      {"c", "VARCHAR2(3)", false, false},
      {"e", "", false, false},
      {"r", "RECORD(F DATE)", false, false},
      {"s", "PLS_INTEGER", false, false},
      {"k", "EMP%ROWTYPE", false, false},
      {"q", "", false, true},
      {"a", "", false, false},
      {"a", "", false, true},
      {"\"Fn\"", "NUMBER", true, true},
      {"j", "NUMBER", true, true},
  };
  std::size_t index = 0;
  for (const veltrane::syntax::Child entry : veltrane::syntax::children(parsed.tree, sections[0])) {
    if (veltrane::syntax::is_token_entry(entry)) continue;
    const uint32_t node = veltrane::syntax::entry_index(entry);
    ASSERT_LT(index, std::size(expected));
    const Expected& e = expected[index++];
    SCOPED_TRACE(e.name);
    const std::optional<NodeKind> kind =
        veltrane::syntax::as_node_kind(parsed.tree.nodes[node].kind);
    std::optional<uint32_t> name;
    std::string type;
    if (kind == NodeKind::SubprogramDecl) {
      const views::SubprogramHeading heading = views::subprogram_heading(parsed.tree, node, text);
      EXPECT_EQ(heading.is_function, e.is_function);
      name = heading.name_token;
    } else {
      name = views::declared_name_token(parsed.tree, node, text);
      EXPECT_FALSE(views::subprogram_heading(parsed.tree, node, text).name_token.has_value());
    }
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(token_text(parsed.tree, *name, text), e.name);
    if (kind == NodeKind::SubprogramDecl || kind == NodeKind::CursorDecl) {
      for (const uint32_t clause : nodes_of_kind(parsed.tree, NodeKind::ReturnClause)) {
        if (parsed.tree.nodes[clause].parent == node) {
          type = views::return_text(parsed.tree, clause, text);
        }
      }
    } else if (const std::optional<uint32_t> type_node =
                   views::declared_type_node(parsed.tree, node, *name)) {
      type = views::dictionary_text(parsed.tree, *type_node, text);
    }
    EXPECT_EQ(type, e.type);
    EXPECT_EQ(views::is_definition(parsed.tree, node), e.definition);
  }
  EXPECT_EQ(index, std::size(expected));
}

TEST(Declarations, FieldsParamsAndAttributes) {
  struct Case {
    const char* text;
    NodeKind kind;
    const char* name;
    const char* type;
  };
  const Case cases[] = {
      {"DECLARE TYPE r IS RECORD (\"f 1\" NUMBER(3)); BEGIN NULL; END;\n/\n", NodeKind::FieldDef,
       "\"f 1\"", "NUMBER(3)"},
      {"CREATE PROCEDURE p (a IN OUT NOCOPY emp.id%TYPE) IS BEGIN NULL; END;\n/\n", NodeKind::Param,
       "a", "EMP.ID%TYPE"},
      {"CREATE TYPE o AS OBJECT (at1 VARCHAR2(10 CHAR));\n/\n", NodeKind::AttributeDef, "at1",
       "VARCHAR2(10 CHAR)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedStatement parsed = parse_first(c.text);
    const std::vector<uint32_t> nodes = nodes_of_kind(parsed.tree, c.kind);
    ASSERT_EQ(nodes.size(), 1u);
    const std::optional<uint32_t> name = views::declared_name_token(parsed.tree, nodes[0], c.text);
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(token_text(parsed.tree, *name, c.text), c.name);
    const std::optional<uint32_t> type = views::declared_type_node(parsed.tree, nodes[0], *name);
    ASSERT_TRUE(type.has_value());
    EXPECT_EQ(views::dictionary_text(parsed.tree, *type, c.text), c.type);
  }
}

TEST(ReturnText, ObjectTypeMethods) {
  const std::string text =
      "CREATE TYPE point_t AS OBJECT (x NUMBER, MEMBER FUNCTION dist(p point_t) RETURN "
      "NUMBER, CONSTRUCTOR FUNCTION point_t RETURN SELF AS RESULT, MEMBER PROCEDURE m);\n/\n";
  const ParsedStatement parsed = parse_first(text);
  std::vector<std::string> headings;
  for (const uint32_t method : nodes_of_kind(parsed.tree, NodeKind::MethodDecl)) {
    const views::SubprogramHeading heading = views::subprogram_heading(parsed.tree, method, text);
    std::string line = heading.is_function ? "function " : "procedure ";
    if (heading.name_token) line += token_text(parsed.tree, *heading.name_token, text);
    for (const uint32_t clause : nodes_of_kind(parsed.tree, NodeKind::ReturnClause)) {
      if (parsed.tree.nodes[clause].parent == method) {
        line += " " + views::return_text(parsed.tree, clause, text);
      }
    }
    EXPECT_FALSE(views::is_definition(parsed.tree, method));
    headings.push_back(line);
  }
  EXPECT_EQ(headings, (std::vector<std::string>{"function dist NUMBER",
                                                "function point_t SELF AS RESULT", "procedure m"}));
}

}  // namespace
