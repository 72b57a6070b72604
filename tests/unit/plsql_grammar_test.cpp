// The PL/SQL grammar through the unit entry: root kinds chosen by the unit dispatch, the
// placement of leading and trailing trivia, the version gates of subprogram headings, the
// reserved-word table switched around embedded SQL, and the structural nesting limit on a
// small stack. Tree shapes of every rule are covered by the snapshot cases in
// tests/data/plsql.

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/lexer.hpp"
#include "lexer/oracle_version.hpp"
#include "parser/parse_entries.hpp"
#include "small_stack.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"

namespace {

using veltrane::lexer::Diagnostic;
using veltrane::lexer::ParseOptions;
using veltrane::lexer::Severity;
using veltrane::parser::ParsedStatement;
using veltrane::syntax::NodeKind;
using veltrane::syntax::Tree;
using veltrane::test_support::run_on_small_stack;

struct Parsed {
  std::string text;
  ParsedStatement result;
};

// The whole text as one PL/SQL item.
Parsed parse_unit_text(std::string text, std::string_view version = "26ai") {
  ParseOptions options{};
  options.version = *veltrane::lexer::parse_oracle_version(version);
  const veltrane::lexer::LexResult lexed = veltrane::lexer::lex_text(text);
  Parsed parsed{std::move(text), {}};
  parsed.result = veltrane::parser::parse_plsql_unit(parsed.text, lexed.tokens, options);
  return parsed;
}

std::string root_kind(const Tree& tree) {
  return veltrane::syntax::kind_name(tree.nodes[tree.root].kind);
}

// "message @token text" for every diagnostic of the given severity.
std::vector<std::string> messages(const Parsed& parsed, Severity severity) {
  std::vector<std::string> out;
  for (const Diagnostic& diagnostic : parsed.result.diagnostics) {
    if (diagnostic.severity != severity) continue;
    out.push_back(std::string(diagnostic.message) + " @" +
                  parsed.text.substr(diagnostic.start, diagnostic.end - diagnostic.start));
  }
  return out;
}

// The tree's tokens spell the whole text, in order.
bool lossless(const Parsed& parsed) {
  std::string rebuilt;
  for (const auto& token : parsed.result.tree.tokens) {
    rebuilt += parsed.text.substr(token.start, token.end - token.start);
  }
  return rebuilt == parsed.text;
}

TEST(PlsqlUnitDispatch, ChoosesTheRootKind) {
  struct Case {
    const char* name;
    const char* text;
    const char* root;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"package",
       "CREATE OR REPLACE EDITIONABLE PACKAGE p AS x NUMBER; END p;",
       "CreatePackage",
       {}},
      {"package body without CREATE",
       "PACKAGE BODY p IS n NUMBER; END p;",
       "CreatePackageBody",
       {}},
      {"package body with initialisation",
       "PACKAGE BODY p IS BEGIN NULL; END p;",
       "CreatePackageBody",
       {}},
      {"procedure", "CREATE NONEDITIONABLE PROCEDURE p IS BEGIN NULL; END;", "CreateProcedure", {}},
      {"function", "FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END;", "CreateFunction", {}},
      {"trigger", "CREATE TRIGGER t AFTER LOGON ON DATABASE BEGIN NULL; END;", "CreateTrigger", {}},
      {"type", "CREATE OR REPLACE FORCE TYPE t AS OBJECT (a NUMBER);", "CreateType", {}},
      {"type as the last token", "CREATE TYPE", "CreateType", {}},
      {"type body",
       "TYPE BODY t AS MEMBER FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; END;",
       "CreateTypeBody",
       {}},
      {"labelled block", "<<outer>> BEGIN NULL; END;", "AnonymousBlock", {}},
      {"declare block", "DECLARE BEGIN NULL; END;", "AnonymousBlock", {}},
      {"with function",
       "WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; SELECT f FROM dual FOR UPDATE",
       "SelectStmt",
       {}},
      {"OR without REPLACE",
       "CREATE OR PACKAGE p IS END;",
       "OtherStmt",
       {"unit kind not modelled: kept as tokens @OR"}},
      {"a view",
       "CREATE VIEW v AS SELECT 1 FROM dual",
       "OtherStmt",
       {"unit kind not modelled: kept as tokens @VIEW"}},
      {"a number first",
       "42 BEGIN NULL; END;",
       "OtherStmt",
       {"unit kind not modelled: kept as tokens @42"}},
      {"quoted unit word",
       "CREATE \"PACKAGE\" p IS END;",
       "OtherStmt",
       {"unit kind not modelled: kept as tokens @\"PACKAGE\""}},
      {"only trivia",
       "  -- nothing here\n",
       "OtherStmt",
       {"unit kind not modelled: kept as tokens @"}},
      {"all inactive",
       "$IF FALSE $THEN BEGIN NULL; END; $END",
       "OtherStmt",
       {"unit kind not modelled: kept as tokens @"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed parsed = parse_unit_text(c.text);
    EXPECT_EQ(root_kind(parsed.result.tree), c.root);
    EXPECT_EQ(messages(parsed, Severity::Warning), c.warnings);
    EXPECT_TRUE(lossless(parsed));
  }
}

// IF [NOT] EXISTS (Oracle 23ai) stands before a unit's name and is no part of it.
TEST(PlsqlUnitDispatch, IfExistsBeforeTheUnitName) {
  const char* const texts[] = {
      "CREATE PACKAGE IF NOT EXISTS p AS x NUMBER; END;",
      "CREATE OR REPLACE PACKAGE BODY IF EXISTS p AS END;",
      "CREATE PROCEDURE IF NOT EXISTS p IS BEGIN NULL; END;",
      "CREATE FUNCTION IF NOT EXISTS p RETURN NUMBER IS BEGIN RETURN 1; END;",
      "CREATE TYPE IF NOT EXISTS p AS OBJECT (a NUMBER);",
      "CREATE TYPE BODY IF NOT EXISTS p AS END;",
      "CREATE TRIGGER IF NOT EXISTS p BEFORE INSERT ON t BEGIN NULL; END;",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const Parsed at_23ai = parse_unit_text(text, "23ai");
    EXPECT_EQ(messages(at_23ai, Severity::Error), std::vector<std::string>{});
    EXPECT_EQ(messages(at_23ai, Severity::Warning), std::vector<std::string>{});
    const Parsed at_19c = parse_unit_text(text, "19c");
    EXPECT_EQ(messages(at_19c, Severity::Warning),
              std::vector<std::string>{"IF [NOT] EXISTS needs Oracle 23ai or later @IF"});
  }
}

// The units the wrap utility takes are recognised at WRAPPED after their name: one warning
// there, no error, and every token after it in one SkippedClause (none when nothing
// follows). A unit named WRAPPED is no wrapped unit.
TEST(PlsqlUnitDispatch, WrappedUnits) {
  struct Case {
    const char* text;
    const char* root;
    std::size_t skipped_tokens;  // significant tokens in the SkippedClause
  };
  const Case cases[] = {
      {"CREATE OR REPLACE PACKAGE p WRAPPED\na000000\n1\nabcd\n9\n8e 9b\nQRh4+Yv0/Tn==",
       "CreatePackage", 15},
      {"CREATE EDITIONABLE PACKAGE BODY s.p wrapped\na000000\n/yP8x+Q0=", "CreatePackageBody", 6},
      {"CREATE NONEDITIONABLE PROCEDURE \"S\".\"P\" Wrapped\nx", "CreateProcedure", 1},
      {"CREATE FUNCTION IF NOT EXISTS f WRAPPED\nx", "CreateFunction", 1},
      {"CREATE OR REPLACE TYPE t WRAPPED\nx", "CreateType", 1},
      {"CREATE TYPE BODY t WRAPPED\nx", "CreateTypeBody", 1},
      {"CREATE PACKAGE p WRAPPED", "CreatePackage", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Parsed parsed = parse_unit_text(c.text);
    const Tree& tree = parsed.result.tree;
    EXPECT_EQ(root_kind(tree), c.root);
    EXPECT_EQ(messages(parsed, Severity::Error), std::vector<std::string>{});
    const std::vector<std::string> warnings = messages(parsed, Severity::Warning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].starts_with("wrapped unit: its body is not analysed @"));
    EXPECT_TRUE(lossless(parsed));
    std::size_t skipped_nodes = 0;
    std::size_t skipped_tokens = 0;
    for (uint32_t node = 0; node < tree.nodes.size(); ++node) {
      if (tree.nodes[node].kind != veltrane::syntax::syntax_kind(NodeKind::SkippedClause)) continue;
      ++skipped_nodes;
      const auto& skipped = tree.nodes[node];
      for (uint32_t i = 0; i < skipped.count; ++i) {
        const auto entry = tree.children[skipped.first + i];
        if (veltrane::syntax::is_token_entry(entry) &&
            !veltrane::syntax::is_trivia(tree.tokens[veltrane::syntax::entry_index(entry)].kind)) {
          ++skipped_tokens;
        }
      }
    }
    EXPECT_EQ(skipped_nodes, c.skipped_tokens == 0 ? 0u : 1u);
    EXPECT_EQ(skipped_tokens, c.skipped_tokens);
  }
  const Parsed named = parse_unit_text("CREATE PACKAGE wrapped AS x NUMBER; END wrapped;");
  EXPECT_EQ(messages(named, Severity::Warning), std::vector<std::string>{});
  EXPECT_EQ(messages(named, Severity::Error), std::vector<std::string>{});
}

TEST(PlsqlUnitDispatch, LeftoversAndTriviaSitInTheRoot) {
  const Parsed parsed = parse_unit_text("-- lead\nBEGIN NULL; END; /* mid */ junk here; -- tail\n");
  const Tree& tree = parsed.result.tree;
  ASSERT_TRUE(lossless(parsed));
  EXPECT_EQ(messages(parsed, Severity::Error),
            std::vector<std::string>{"unexpected tokens after the unit @junk"});
  // The root is the last node and holds, in order: the leading comment and its line end,
  // the block, the ";", trivia, the Error node over the leftovers, the trailing trivia.
  const auto& root = tree.nodes[tree.root];
  EXPECT_EQ(tree.root + 1, tree.nodes.size());
  std::vector<std::string> kinds;
  for (uint32_t i = 0; i < root.count; ++i) {
    const auto entry = tree.children[root.first + i];
    const auto kind = veltrane::syntax::is_token_entry(entry)
                          ? tree.tokens[veltrane::syntax::entry_index(entry)].kind
                          : tree.nodes[veltrane::syntax::entry_index(entry)].kind;
    kinds.push_back(veltrane::syntax::kind_name(kind));
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"LineComment", "Whitespace", "Block", "Semicolon",
                                             "Whitespace", "BlockComment", "Whitespace", "Error",
                                             "Whitespace", "LineComment", "Whitespace"}));
}

// The ";" before a query's "/" line, JavaScript call targets, method options with a group,
// a method's call target ending at a ";", and an unclosed size of an iterand type.
TEST(PlsqlUnitDispatch, QueryEndsCallTargetsAndMethodGroups) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; SELECT f FROM dual;", {}},
      {"WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; SELECT 1 FROM dual; SELECT 2",
       {"unexpected tokens after the unit @;"}},
      {"CREATE PROCEDURE p AS MLE MODULE m ENV e SIGNATURE 'p()';", {}},
      {"FUNCTION f RETURN NUMBER AS MLE LANGUAGE JAVASCRIPT PURE q'~return 1;~';", {}},
      {"CREATE TYPE t AS OBJECT (STATIC FUNCTION f RETURN t PARALLEL_ENABLE (PARTITION c BY ANY));",
       {}},
      {"CREATE TYPE t AS OBJECT (MEMBER PROCEDURE p (a NUMBER) (PARTITION c BY ANY));",
       {"expected ) after the attributes @("}},
      {"CREATE TYPE t AS OBJECT (MEMBER FUNCTION f RETURN NUMBER AS LANGUAGE JAVA NAME (x;",
       {"expected ) after the attributes @;"}},
      {"BEGIN FOR i NUMBER(5 IN 1..3 LOOP NULL; END LOOP; x := 1; END;",
       {"unexpected token in the type's size @IN", "unexpected token in the type's size @..",
        "unexpected token in the type's size @NULL", "expected ) @;"}},
  };
  for (const auto& [text, errors] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(messages(parse_unit_text(text), Severity::Error), errors);
  }
}

TEST(PlsqlVersionGates, WarnBelowTheirFirstRelease) {
  struct Case {
    const char* name;
    const char* text;
    const char* version;
    std::vector<std::string> warnings;
  };
  const char* accessible = "CREATE PROCEDURE p ACCESSIBLE BY (PACKAGE q) IS BEGIN NULL; END;";
  const char* macro = "CREATE FUNCTION f RETURN VARCHAR2 SQL_MACRO IS BEGIN RETURN 'x'; END;";
  const char* nested = "PACKAGE p IS PROCEDURE q ACCESSIBLE BY (r); END;";
  const char* with_function =
      "WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END; SELECT f FROM dual";
  const Case cases[] = {
      {"ACCESSIBLE BY at 11.2",
       accessible,
       "11.2",
       {"ACCESSIBLE BY needs Oracle 12.1 or later @ACCESSIBLE"}},
      {"ACCESSIBLE BY at 12.0",
       accessible,
       "12.0",
       {"ACCESSIBLE BY needs Oracle 12.1 or later @ACCESSIBLE"}},
      {"ACCESSIBLE BY at 12.1", accessible, "12.1", {}},
      {"ACCESSIBLE BY on a packaged procedure at 12.0",
       nested,
       "12.0",
       {"ACCESSIBLE BY needs Oracle 12.1 or later @ACCESSIBLE"}},
      {"SQL_MACRO at 19c", macro, "19c", {"SQL macros need Oracle 21c or later @SQL_MACRO"}},
      {"SQL_MACRO at 20.4", macro, "20.4", {"SQL macros need Oracle 21c or later @SQL_MACRO"}},
      {"SQL_MACRO at 21c", macro, "21c", {}},
      {"WITH FUNCTION at 12.0",
       with_function,
       "12.0",
       {"WITH FUNCTION / PROCEDURE needs Oracle 12.1 or later @FUNCTION"}},
      {"WITH FUNCTION at 12.1", with_function, "12.1", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed parsed = parse_unit_text(c.text, c.version);
    EXPECT_EQ(messages(parsed, Severity::Warning), c.warnings);
    EXPECT_TRUE(messages(parsed, Severity::Error).empty());
  }
}

TEST(PlsqlStatements, EmbeddedSqlUsesTheSqlReservedWords) {
  // VIEWS is reserved in PL/SQL but not in SQL: it is a column inside the SELECT and no
  // operand in the assignments before and after it.
  const Parsed parsed = parse_unit_text(
      "BEGIN x := views; SELECT views INTO x FROM t WHERE views = 1; y := views; END;");
  EXPECT_EQ(
      messages(parsed, Severity::Error),
      (std::vector<std::string>{"expected an expression @views", "expected an expression @views"}));
  ASSERT_EQ(parsed.result.diagnostics.size(), 2u);
  EXPECT_EQ(parsed.result.diagnostics[0].start, 11u);
  EXPECT_EQ(parsed.result.diagnostics[1].start, 67u);
}

TEST(PlsqlStatements, StopWordsMatchOnlyPlainWords) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> errors;
  };
  const Case cases[] = {
      {"quoted IF is a variable", "BEGIN \"IF\" := 1; END;", {}},
      {"quoted END does not end the list", "BEGIN \"END\"; END;", {}},
      {"lower-case keywords", "begin if a then null; elsif b then null; end if; end;", {}},
      {"END IF inside a block body leaves IF",
       "BEGIN NULL; END IF;",
       {"unexpected tokens after the unit @IF"}},
      {"closing name at the end of the item is taken", "BEGIN NULL; END my_block", {}},
      {"closing name before another word is left",
       "BEGIN NULL; END my_block x",
       {"unexpected tokens after the unit @my_block"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed parsed = parse_unit_text(c.text);
    EXPECT_EQ(messages(parsed, Severity::Error), c.errors);
    EXPECT_TRUE(lossless(parsed));
  }
}

std::string repeat(std::string_view piece, int count) {
  std::string out;
  out.reserve(piece.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST(PlsqlNesting, DeepNestsStopAtTheLimitOnASmallStack) {
  constexpr int DEPTH = 100000;
  struct Case {
    const char* name;
    std::string text;
    const char* at;  // the token where "nesting too deep" is reported
  };
  std::string subprograms = "CREATE PROCEDURE p IS ";
  for (int i = 0; i < DEPTH; ++i) subprograms += "PROCEDURE q" + std::to_string(i) + " IS ";
  subprograms += repeat("BEGIN NULL; END; ", DEPTH + 1);
  const Case cases[] = {
      {"blocks", repeat("BEGIN ", DEPTH) + "NULL; " + repeat("END; ", DEPTH), "BEGIN"},
      {"declare blocks", repeat("DECLARE x NUMBER; BEGIN ", DEPTH) + repeat("END; ", DEPTH),
       "DECLARE"},
      {"unclosed blocks", repeat("BEGIN ", DEPTH), "BEGIN"},
      {"IF", "BEGIN " + repeat("IF a THEN ", DEPTH) + repeat("END IF; ", DEPTH) + "END;", "IF"},
      {"LOOP", "BEGIN " + repeat("LOOP ", DEPTH) + repeat("END LOOP; ", DEPTH) + "END;", "LOOP"},
      {"WHILE", "BEGIN " + repeat("WHILE a LOOP ", DEPTH) + repeat("END LOOP; ", DEPTH) + "END;",
       "WHILE"},
      {"FOR",
       "BEGIN " + repeat("FOR i IN 1..2 LOOP ", DEPTH) + repeat("END LOOP; ", DEPTH) + "END;",
       "FOR"},
      {"CASE", "BEGIN " + repeat("CASE WHEN a THEN ", DEPTH) + repeat("END CASE; ", DEPTH) + "END;",
       "CASE"},
      {"CASE with dangling predicates",
       "BEGIN " + repeat("CASE x WHEN < 1 THEN ", DEPTH) + repeat("END CASE; ", DEPTH) + "END;",
       "CASE"},
      {"CASE expressions with dangling predicates",
       "BEGIN x := " + repeat("CASE x WHEN < ", DEPTH) + "1" + repeat(" THEN 1 END", DEPTH) +
           "; END;",
       "CASE"},
      {"nested subprograms", subprograms, "IS"},
      {"a deep expression inside the deepest block",
       "BEGIN " + repeat("BEGIN ", 256) + "x := " + repeat("(", 250) + "1" + repeat(")", 250) +
           "; " + repeat("END; ", 256) + "END;",
       "("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(run_on_small_stack([&] {
      const Parsed parsed = parse_unit_text(c.text);
      EXPECT_TRUE(lossless(parsed));
      int too_deep = 0;
      for (const Diagnostic& diagnostic : parsed.result.diagnostics) {
        if (diagnostic.message != "nesting too deep") continue;
        ++too_deep;
        EXPECT_EQ(parsed.text.substr(diagnostic.start, diagnostic.end - diagnostic.start), c.at);
      }
      EXPECT_EQ(too_deep, 1);
    }));
  }
}

TEST(PlsqlNesting, BlocksNestUpToTheLimit) {
  // 256 nested blocks inside the anonymous block parse; the 257th is one too many.
  const Parsed parsed =
      parse_unit_text("BEGIN " + repeat("BEGIN ", 256) + "NULL; " + repeat("END; ", 256) + "END;");
  EXPECT_TRUE(parsed.result.diagnostics.empty());
  const Parsed deeper =
      parse_unit_text("BEGIN " + repeat("BEGIN ", 257) + "NULL; " + repeat("END; ", 257) + "END;");
  EXPECT_EQ(messages(deeper, Severity::Error), std::vector<std::string>{"nesting too deep @BEGIN"});
}

}  // namespace
