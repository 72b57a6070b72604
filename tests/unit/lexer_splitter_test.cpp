#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/lexer.hpp"
#include "lexer/script_splitter.hpp"
#include "lexer/sqlplus_commands.hpp"
#include "syntax/kinds.hpp"

namespace veltrane::lexer {
namespace {

using syntax::TokenKind;

std::string span_text(uint32_t start, uint32_t end) {
  return "[" + std::to_string(start) + "," + std::to_string(end) + ")";
}

// «Kind [start,end) tokens [first,end) term [a,b)|- cmd NAME|-».
std::string render_item(const ScriptItem& item) {
  std::string out(item_kind_name(item.kind));
  out += " " + span_text(item.start, item.end);
  out += " tokens " + span_text(item.first_token, item.end_token);
  out += " term ";
  out += item.terminated != 0 ? span_text(item.terminator_start, item.terminator_end) : "-";
  out += " cmd ";
  out += item.command ? *item.command : "-";
  return out;
}

std::string render_items(const SplitResult& result) {
  std::string out;
  for (const ScriptItem& item : result.items) {
    if (!out.empty()) out += "\n";
    out += render_item(item);
  }
  return out;
}

// The tokens and diagnostics of one lexer driven token by token that steps over
// each command's text, with the splitter's line continuations read as `Minus`.
void expect_same_as_one_lexer(std::string_view text, const SplitResult& result) {
  Lexer lexer(text);
  std::vector<Token> tokens;
  for (const ScriptItem& item : result.items) {
    if (item.kind != ScriptItemKind::SqlPlus) continue;
    while (lexer.position < item.start) tokens.push_back(*next_token(lexer));
    ASSERT_EQ(lexer.position, item.start) << "a command starts inside a token";
    lexer.move_to(item.end);
  }
  while (const std::optional<Token> token = next_token(lexer)) tokens.push_back(*token);
  ASSERT_EQ(tokens.size(), result.tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    Token split_token = result.tokens[i];
    if (split_token.kind == TokenKind::LineContinuation) split_token.kind = TokenKind::Minus;
    ASSERT_EQ(split_token, tokens[i]) << "token " << i;
  }
  EXPECT_EQ(result.diagnostics, lexer.diagnostics);
}

// The properties every split keeps, whatever the text.
void expect_split_invariants(std::string_view text, const SplitResult& result) {
  const auto token_count = static_cast<uint32_t>(result.tokens.size());
  // Tokens and command spans, sorted, tile the text exactly once.
  std::vector<std::pair<uint32_t, uint32_t>> spans;
  for (const Token& token : result.tokens) {
    ASSERT_LT(token.start, token.end) << "empty token";
    ASSERT_NE(token.kind, TokenKind::Inactive);
    if (token.kind == TokenKind::LineContinuation) {
      ASSERT_EQ(text.substr(token.start, token.end - token.start), "-");
    }
    spans.emplace_back(token.start, token.end);
  }
  for (std::size_t i = 1; i < result.tokens.size(); ++i) {
    ASSERT_LE(result.tokens[i - 1].end, result.tokens[i].start) << "tokens out of order";
  }
  uint32_t previous_end = 0;
  uint32_t previous_end_token = 0;
  for (const ScriptItem& item : result.items) {
    ASSERT_LE(previous_end, item.start) << "items out of order";
    ASSERT_LE(item.start, item.end);
    ASSERT_LE(item.end, text.size());
    if (item.kind == ScriptItemKind::SqlPlus) {
      ASSERT_TRUE(item.command.has_value());
      ASSERT_EQ(item.first_token, 0u);
      ASSERT_EQ(item.end_token, 0u);
      ASSERT_EQ(item.terminated, 0u);
      ASSERT_LT(item.start, item.end) << "empty command";
      spans.emplace_back(item.start, item.end);
      previous_end = item.end;
      continue;
    }
    ASSERT_FALSE(item.command.has_value());
    ASSERT_LE(item.first_token, item.end_token);
    ASSERT_LE(item.end_token, token_count);
    ASSERT_LE(previous_end_token, item.first_token);
    if (item.first_token < token_count) {
      ASSERT_EQ(result.tokens[item.first_token].start, item.start);
    }
    if (item.first_token < item.end_token) {
      ASSERT_FALSE(syntax::is_trivia(result.tokens[item.end_token - 1].kind));
      ASSERT_EQ(result.tokens[item.end_token - 1].end, item.end);
    } else {
      ASSERT_EQ(item.start, item.end) << "an empty statement ends where it starts";
    }
    uint32_t after = item.end;
    if (item.terminated != 0) {
      // The terminator is a later token of the list, outside the range.
      const auto terminator =
          std::find_if(result.tokens.begin() + item.end_token, result.tokens.end(),
                       [&](const Token& token) { return token.start == item.terminator_start; });
      ASSERT_NE(terminator, result.tokens.end());
      ASSERT_EQ(terminator->end, item.terminator_end);
      ASSERT_TRUE(terminator->kind == TokenKind::Semicolon || terminator->kind == TokenKind::Slash);
      after = item.terminator_end;
      previous_end_token = static_cast<uint32_t>(terminator - result.tokens.begin()) + 1;
    } else {
      ASSERT_EQ(item.terminator_start, 0u);
      ASSERT_EQ(item.terminator_end, 0u);
      previous_end_token = item.end_token;
    }
    previous_end = after;
  }
  std::sort(spans.begin(), spans.end());
  uint32_t covered = 0;
  for (const auto& [start, end] : spans) {
    ASSERT_EQ(start, covered) << "gap or overlap at " << covered;
    covered = end;
  }
  ASSERT_EQ(covered, text.size());
  for (const Diagnostic& diagnostic : result.diagnostics) {
    ASSERT_LE(diagnostic.start, diagnostic.end);
    ASSERT_LE(diagnostic.end, text.size());
  }
  expect_same_as_one_lexer(text, result);
}

struct SplitCase {
  const char* name;
  std::string_view text;
  std::string_view items;
};

TEST(SplitScript, Items) {
  static const SplitCase CASES[] = {
      {"empty", "", ""},
      {"blank", " \n\t\n", ""},
      {"sql with ;", "select 1 from dual;", "Sql [0,18) tokens [0,7) term [18,19) cmd -"},
      {"plsql with / line", "begin null; end;\n/\n",
       "PlSql [0,16) tokens [0,7) term [17,18) cmd -"},
      {"create package", "create or replace editionable package p as end;\n/",
       "PlSql [0,47) tokens [0,16) term [48,49) cmd -"},
      {"create view", "create or replace force view v as select 1 from dual;",
       "Sql [0,52) tokens [0,21) term [52,53) cmd -"},
      {"create table", "create table t (a number);", "Sql [0,25) tokens [0,11) term [25,26) cmd -"},
      {"create then non-word", "create;", "Sql [0,6) tokens [0,1) term [6,7) cmd -"},
      {"with function",
       "with function f return number is begin return 1; end;\nselect f(1) "
       "from dual\n/",
       "PlSql [0,75) tokens [0,32) term [76,77) cmd -"},
      {"with query", "with x as (select 1 from dual) select * from x;",
       "Sql [0,46) tokens [0,23) term [46,47) cmd -"},
      {"with then non-word", "with (x);", "Sql [0,8) tokens [0,5) term [8,9) cmd -"},
      {"label opens plsql", "<<lbl>> begin null; end;", "PlSql [0,24) tokens [0,11) term - cmd -"},
      {"mixed case words", "Begin null; END;\nCREATE Or Replace PACKAGE b is end;\n/",
       "PlSql [0,52) tokens [0,22) term [53,54) cmd -"},
      {"plsql runs to the end without a / line", "begin null; end;\nselect 1 from dual;",
       "PlSql [0,36) tokens [0,16) term - cmd -"},
      {"/ line between statements", "select 1 from dual;\n  /  \nselect 2 from dual;",
       "Sql [0,18) tokens [0,7) term [18,19) cmd -\n"
       "SqlPlus [22,23) tokens [0,0) term - cmd /\n"
       "Sql [26,44) tokens [10,17) term [44,45) cmd -"},
      {"/ line with U+00A0 after a ;", "select 1 from dual;\n/\u00A0",
       "Sql [0,18) tokens [0,7) term [18,19) cmd -\nSqlPlus [20,21) tokens "
       "[0,0) term - cmd /"},
      {"/ with U+00A0 inside a statement stays", "select 1 from dual\n/\u00A0",
       "Sql [0,20) tokens [0,9) term - cmd -"},
      {"/ after blanks and tab ends a statement", "select 1\n \t/ \r\nx",
       "Sql [0,8) tokens [0,3) term [11,12) cmd -\nSql [15,16) tokens [6,7) "
       "term - cmd -"},
      {"/ after CR does not end it", "select 1\n\r/\n", "Sql [0,11) tokens [0,5) term - cmd -"},
      {"/ with text after is a statement", "/ x", "Sql [0,3) tokens [0,3) term - cmd -"},
      {"prompt continues", "prompt hello -\nworld",
       "SqlPlus [0,20) tokens [0,0) term - cmd PROMPT"},
      {"continuation after trailing blanks", "prompt a - \nb\n",
       "SqlPlus [0,13) tokens [0,0) term - cmd PROMPT"},
      {"continuation twice", "prompt a -\nb -\nc\nselect 1;",
       "SqlPlus [0,16) tokens [0,0) term - cmd PROMPT\n"
       "Sql [17,25) tokens [1,4) term [25,26) cmd -"},
      {"continuation onto a blank line", "prompt a -\n\nx",
       "SqlPlus [0,11) tokens [0,0) term - cmd PROMPT\nSql [12,13) tokens "
       "[1,2) term - cmd -"},
      {"continuation whose LF ends the text", "prompt a -\n",
       "SqlPlus [0,11) tokens [0,0) term - cmd PROMPT"},
      {"no continuation at the end of the text", "prompt a -",
       "SqlPlus [0,10) tokens [0,0) term - cmd PROMPT"},
      {"remark never continues", "rem text -\nselect 1;",
       "SqlPlus [0,10) tokens [0,0) term - cmd REMARK\nSql [11,19) tokens "
       "[1,4) term [19,20) cmd -"},
      {"command text is not lexed", "prompt it's \"odd\n",
       "SqlPlus [0,16) tokens [0,0) term - cmd PROMPT"},
      {"exec", "exec proc;", "SqlPlus [0,10) tokens [0,0) term - cmd EXECUTE"},
      {"execute immediate", "execute immediate 'x';", "Sql [0,21) tokens [0,5) term [21,22) cmd -"},
      {"exec immediately", "exec immediately", "SqlPlus [0,16) tokens [0,0) term - cmd EXECUTE"},
      {"set", "set serveroutput on", "SqlPlus [0,19) tokens [0,0) term - cmd SET"},
      {"set transaction", "set transaction read only;",
       "Sql [0,25) tokens [0,7) term [25,26) cmd -"},
      {"set role_x reads ROLE", "set role_x", "Sql [0,10) tokens [0,3) term - cmd -"},
      {"set constraints", "SET CONSTRAINTS ALL DEFERRED;",
       "Sql [0,28) tokens [0,7) term [28,29) cmd -"},
      {"desc", "desc emp", "SqlPlus [0,8) tokens [0,0) term - cmd DESCRIBE"},
      {"setx", "setx 1;", "Sql [0,6) tokens [0,3) term [6,7) cmd -"},
      {"set_y", "set_y;", "Sql [0,5) tokens [0,1) term [5,6) cmd -"},
      {"letter run followed by a non-ASCII byte", "setä x", "Sql [0,7) tokens [0,3) term - cmd -"},
      {"@", "@script.sql", "SqlPlus [0,11) tokens [0,0) term - cmd @"},
      {"@ alone", "@\n", "SqlPlus [0,1) tokens [0,0) term - cmd @"},
      {"@@", "@@sub.sql", "SqlPlus [0,9) tokens [0,0) term - cmd @@"},
      {"!", "!ls -l", "SqlPlus [0,6) tokens [0,0) term - cmd HOST"},
      {"$ blank", "$ ls", "SqlPlus [0,4) tokens [0,0) term - cmd HOST"},
      {"$ tab", "$\tls", "SqlPlus [0,4) tokens [0,0) term - cmd HOST"},
      {"$x", "$x", "Sql [0,2) tokens [0,1) term - cmd -"},
      {"lone $", "$", "Sql [0,1) tokens [0,1) term - cmd -"},
      {"abbreviations", "STA x\nSTARTU x;\nDEF x\nDES x;\nCL SCR\nPA;\n",
       "SqlPlus [0,5) tokens [0,0) term - cmd START\n"
       "Sql [6,14) tokens [1,4) term [14,15) cmd -\n"
       "SqlPlus [16,21) tokens [0,0) term - cmd DEFINE\n"
       "Sql [22,27) tokens [7,10) term [27,28) cmd -\n"
       "SqlPlus [29,35) tokens [0,0) term - cmd CLEAR\n"
       "Sql [36,38) tokens [13,14) term [38,39) cmd -"},
      {"EXE is not EXECUTE", "EXE p;", "Sql [0,5) tokens [0,3) term [5,6) cmd -"},
      {"leading blanks and tab", "  \tprompt x\r\n",
       "SqlPlus [3,11) tokens [0,0) term - cmd PROMPT"},
      {"trailing ideographic space", "prompt x\u3000\n",
       "SqlPlus [0,8) tokens [0,0) term - cmd PROMPT"},
      {"comment before a command", "/* c */ prompt x", "Sql [8,16) tokens [2,5) term - cmd -"},
      {"U+00A0 before a command", "\u00A0prompt x", "Sql [2,10) tokens [1,4) term - cmd -"},
      {"form feed before a command", "\fprompt x", "Sql [1,9) tokens [1,4) term - cmd -"},
      {"command after a statement on one line", "select 1 from dual; prompt x",
       "Sql [0,18) tokens [0,7) term [18,19) cmd -\nSql [20,28) tokens [9,12) "
       "term - cmd -"},
      {"no command test inside a statement", "select 1\nprompt x;",
       "Sql [0,17) tokens [0,7) term [17,18) cmd -"},
      {"sql line continuation stays inside", "select 1 -\nfrom dual;",
       "Sql [0,20) tokens [0,9) term [20,21) cmd -"},
      {"trailing line continuation is outside", "select 1 -\n",
       "Sql [0,8) tokens [0,3) term - cmd -"},
      {"minus inside plsql is significant", "begin x := 1 -\n2; end;",
       "PlSql [0,22) tokens [0,15) term - cmd -"},
      {"stray semicolons", ";;",
       "Sql [0,0) tokens [0,0) term [0,1) cmd -\nSql [1,1) tokens [1,1) term "
       "[1,2) cmd -"},
      {"lone continuation line", "-\n", "Sql [0,0) tokens [0,0) term - cmd -"},
      {"continuation line then statement", "-\nselect 1;",
       "Sql [0,10) tokens [0,5) term [10,11) cmd -"},
      {"substitution in a statement", "select &&tab..col from t;",
       "Sql [0,24) tokens [0,9) term [24,25) cmd -"},
      {"statement starting with a non-ASCII letter", "été;",
       "Sql [0,5) tokens [0,1) term [5,6) cmd -"},
      {"unterminated at the end with trailing blanks", "select 1  \n",
       "Sql [0,8) tokens [0,3) term - cmd -"},
      {"wrapped unit: only a / alone ends it, not its base64 lines",
       "create package p wrapped\na000000\n/ab+\ncd/\n=\n+\n//\n/\nx;",
       "PlSql [0,48) tokens [0,23) term [49,50) cmd -\nSql [51,52) tokens [26,27) term [52,53) cmd "
       "-"},
      {"JavaScript module ends at its / line; from a LOB, MLE ENV and DOMAIN at ;",
       "create mle module m language javascript as\nlet a = 1;\n/\ncreate mle module n using clob "
       "(select s as t from d);create mle env e;create domain d as int;",
       "PlSql [0,53) tokens [0,22) term [54,55) cmd -\nSql [56,109) tokens [25,50) term [109,110) "
       "cmd -\nSql [110,126) tokens [51,58) term [126,127) cmd -\n"
       "Sql [127,149) tokens [59,68) term [149,150) cmd -"},
      {"byte-order mark, then a package read as one unit",
       "\ufeffcreate or replace package p is\nprocedure a;\nprocedure b;\nend;\n/\n",
       "PlSql [3,64) tokens [1,25) term [65,66) cmd -"},
      {"byte-order mark, then a command and a / line", "\ufeff  prompt x\n/\n",
       "SqlPlus [5,13) tokens [0,0) term - cmd PROMPT\nSqlPlus [14,15) tokens [0,0) term - cmd /"},
      {"byte-order mark later is a statement's", "x;\n\ufeffprompt x",
       "Sql [0,1) tokens [0,1) term [1,2) cmd -\nSql [3,14) tokens [3,7) term - cmd -"},
      {"whenever and define", "whenever sqlerror exit failure\ndefine x = 1\nundef x",
       "SqlPlus [0,30) tokens [0,0) term - cmd WHENEVER\n"
       "SqlPlus [31,43) tokens [0,0) term - cmd DEFINE\n"
       "SqlPlus [44,51) tokens [0,0) term - cmd UNDEFINE"},
  };
  for (const SplitCase& test_case : CASES) {
    SCOPED_TRACE(test_case.name);
    const SplitResult result = split_script(test_case.text);
    EXPECT_EQ(render_items(result), test_case.items);
    expect_split_invariants(test_case.text, result);
  }
}

// Client commands that edit the buffer, ORADEBUG and numbered lines: each is a command
// line of its own, so the statement after it stays whole.
TEST(SplitScript, BufferEditCommands) {
  static const SplitCase CASES[] = {
      {"oradebug", "oradebug setmypid\nselect 1 from dual;",
       "SqlPlus [0,17) tokens [0,0) term - cmd ORADEBUG\n"
       "Sql [18,36) tokens [1,8) term [36,37) cmd -"},
      {"get", "get q.sql\nselect 1 from dual;",
       "SqlPlus [0,9) tokens [0,0) term - cmd GET\nSql [10,28) tokens [1,8) term [28,29) cmd -"},
      {"list", "list\nselect 1 from dual;",
       "SqlPlus [0,4) tokens [0,0) term - cmd LIST\nSql [5,23) tokens [1,8) term [23,24) cmd -"},
      {"l", "l\nselect 1 from dual;",
       "SqlPlus [0,1) tokens [0,0) term - cmd LIST\nSql [2,20) tokens [1,8) term [20,21) cmd -"},
      {"ed", "ed\nselect 1 from dual;",
       "SqlPlus [0,2) tokens [0,0) term - cmd EDIT\nSql [3,21) tokens [1,8) term [21,22) cmd -"},
      {"c", "c /x/y/\nselect 1 from dual;",
       "SqlPlus [0,7) tokens [0,0) term - cmd CHANGE\nSql [8,26) tokens [1,8) term [26,27) cmd -"},
      {"a, i, del, sav, store", "a  text\ni\ndel 2 3\nsav f.sql rep\nstore set s.sql\nselect 1;",
       "SqlPlus [0,7) tokens [0,0) term - cmd APPEND\n"
       "SqlPlus [8,9) tokens [0,0) term - cmd INPUT\n"
       "SqlPlus [10,17) tokens [0,0) term - cmd DEL\n"
       "SqlPlus [18,31) tokens [0,0) term - cmd SAVE\n"
       "SqlPlus [32,47) tokens [0,0) term - cmd STORE\n"
       "Sql [48,56) tokens [5,8) term [56,57) cmd -"},
      {"line number with text", "0 select 1\nselect 1 from dual;",
       "SqlPlus [0,10) tokens [0,0) term - cmd LINE\nSql [11,29) tokens [1,8) term [29,30) cmd -"},
      {"line number with semicolons", "999999 x;;\nselect 1 from dual;",
       "SqlPlus [0,10) tokens [0,0) term - cmd LINE\nSql [11,29) tokens [1,8) term [29,30) cmd -"},
      {"line number alone, tab, CR", "5\n7\tx\n12\r\nselect 1;",
       "SqlPlus [0,1) tokens [0,0) term - cmd LINE\n"
       "SqlPlus [2,5) tokens [0,0) term - cmd LINE\n"
       "SqlPlus [6,8) tokens [0,0) term - cmd LINE\n"
       "Sql [10,18) tokens [3,6) term [18,19) cmd -"},
      {"line number continues with -", "3 a -\nb\nselect 1;",
       "SqlPlus [0,7) tokens [0,0) term - cmd LINE\nSql [8,16) tokens [1,4) term [16,17) cmd -"},
      {"digits glued to a letter stay a statement", "1e5;",
       "Sql [0,3) tokens [0,1) term [3,4) cmd -"},
      {"digits glued to a dot stay a statement", "12.5;",
       "Sql [0,4) tokens [0,1) term [4,5) cmd -"},
      {"no command inside a statement", "select 1\nlist\nfrom dual;",
       "Sql [0,23) tokens [0,9) term [23,24) cmd -"},
      {"no line number inside a statement", "select\n1 from dual;",
       "Sql [0,18) tokens [0,7) term [18,19) cmd -"},
      {"alter", "alter table t add (a int);", "Sql [0,25) tokens [0,13) term [25,26) cmd -"},
      {"call", "call p();", "Sql [0,8) tokens [0,5) term [8,9) cmd -"},
      {"commit", "commit;", "Sql [0,6) tokens [0,1) term [6,7) cmd -"},
      {"comment", "comment on table t is 'x';", "Sql [0,25) tokens [0,11) term [25,26) cmd -"},
      {"delete", "delete from t;", "Sql [0,13) tokens [0,5) term [13,14) cmd -"},
      {"insert", "insert into t values (1);", "Sql [0,24) tokens [0,11) term [24,25) cmd -"},
      {"lock", "lock table t in share mode;", "Sql [0,26) tokens [0,11) term [26,27) cmd -"},
      {"savepoint", "savepoint a;", "Sql [0,11) tokens [0,3) term [11,12) cmd -"},
      {"a glued to a dot stays a command", "a.b", "SqlPlus [0,3) tokens [0,0) term - cmd APPEND"},
  };
  for (const SplitCase& test_case : CASES) {
    SCOPED_TRACE(test_case.name);
    const SplitResult result = split_script(test_case.text);
    EXPECT_EQ(render_items(result), test_case.items);
    expect_split_invariants(test_case.text, result);
  }
}

// A "." alone on its line ends the statement being entered, unterminated, and is a
// command "." itself; a later "/" line is the "/" command.
TEST(SplitScript, PeriodLine) {
  static const SplitCase CASES[] = {
      {"ends a statement", "select 1 from dual\n.\nspool out.txt\n/\n",
       "Sql [0,18) tokens [0,7) term - cmd -\n"
       "SqlPlus [19,20) tokens [0,0) term - cmd .\n"
       "SqlPlus [21,34) tokens [0,0) term - cmd SPOOL\n"
       "SqlPlus [35,36) tokens [0,0) term - cmd /"},
      {"between items", ".\nset echo on\nselect 1 from dual;",
       "SqlPlus [0,1) tokens [0,0) term - cmd .\n"
       "SqlPlus [2,13) tokens [0,0) term - cmd SET\n"
       "Sql [14,32) tokens [2,9) term [32,33) cmd -"},
      {"ends a PL/SQL unit", "begin\n  null;\n  .  \n/",
       "PlSql [0,13) tokens [0,4) term - cmd -\n"
       "SqlPlus [16,17) tokens [0,0) term - cmd .\n"
       "SqlPlus [20,21) tokens [0,0) term - cmd /"},
      {"with tabs and CR", "select 1\n\t.\t\r\nselect 2;",
       "Sql [0,8) tokens [0,3) term - cmd -\n"
       "SqlPlus [10,11) tokens [0,0) term - cmd .\n"
       "Sql [14,22) tokens [5,8) term [22,23) cmd -"},
      {"at the end of the text", "select 1\n.",
       "Sql [0,8) tokens [0,3) term - cmd -\nSqlPlus [9,10) tokens [0,0) term - cmd ."},
      {"ends an undecided CREATE", "create\n.\n",
       "Sql [0,6) tokens [0,1) term - cmd -\nSqlPlus [7,8) tokens [0,0) term - cmd ."},
      {"a dot inside a line", "select t . c from t;",
       "Sql [0,19) tokens [0,11) term [19,20) cmd -"},
      {"a dot starting a line with more text", "select t\n. c from t;",
       "Sql [0,19) tokens [0,11) term [19,20) cmd -"},
      {"a dot after a comment on its line", "select 1\n/* c */ .\nfrom dual;",
       "Sql [0,28) tokens [0,11) term [28,29) cmd -"},
      {"a dot inside a string", "select '\n.\n' from dual;",
       "Sql [0,22) tokens [0,7) term [22,23) cmd -"},
      {"two dots", "..\n", "Sql [0,2) tokens [0,1) term - cmd -"},
  };
  for (const SplitCase& test_case : CASES) {
    SCOPED_TRACE(test_case.name);
    const SplitResult result = split_script(test_case.text);
    EXPECT_EQ(render_items(result), test_case.items);
    expect_split_invariants(test_case.text, result);
  }
}

TEST(SplitScript, LineContinuationKinds) {
  struct Case {
    const char* name;
    std::string_view text;
    std::size_t token_index;
    TokenKind kind;
  };
  static const Case CASES[] = {
      {"sql minus at line end", "select 1 -\nfrom dual;", 4, TokenKind::LineContinuation},
      {"sql minus then CR LF", "select 1 -\r\nfrom dual;", 4, TokenKind::LineContinuation},
      {"sql minus followed by text", "select 1 - 2 from dual;", 4, TokenKind::Minus},
      {"sql minus at the end", "select 1 -", 4, TokenKind::LineContinuation},
      {"plsql minus at line end", "begin x := 1 -\n2; end;", 8, TokenKind::Minus},
      {"minus deciding after CREATE", "create -\ntable t (a int);", 2, TokenKind::LineContinuation},
      // Once a line of the statement has ended without "-", a line-final "-" is a minus.
      {"minus on a later line", "select a,\nb -\nc x from t;", 7, TokenKind::Minus},
      {"minus on the second line of an expression", "select 1\n- \n2 from dual;", 4,
       TokenKind::Minus},
      {"chain from the first line, first", "insert into t values (1, -\n2, -\n3);", 12,
       TokenKind::LineContinuation},
      {"chain from the first line, second", "insert into t values (1, -\n2, -\n3);", 17,
       TokenKind::LineContinuation},
      {"chain broken, its first -", "select 1 -\n+ 2\n- \nfrom dual;", 4,
       TokenKind::LineContinuation},
      {"chain broken by a line without -", "select 1 -\n+ 2\n- \nfrom dual;", 10, TokenKind::Minus},
      {"a string over two lines ends a line", "select 'a\nb' -\nfrom dual;", 4, TokenKind::Minus},
      {"a comment ends a line", "select 1 -- c\n- \nfrom dual;", 6, TokenKind::Minus},
      // Lines are read as text: a line-final "-" inside a string or a comment keeps the
      // chain going, and its own token stays as it is.
      {"chain through a string, first", "insert into t values (1-\n, 'a-\nb'-\n);\n", 10,
       TokenKind::LineContinuation},
      {"chain through a string, the string", "insert into t values (1-\n, 'a-\nb'-\n);\n", 14,
       TokenKind::String},
      {"chain through a string, last", "insert into t values (1-\n, 'a-\nb'-\n);\n", 15,
       TokenKind::LineContinuation},
      {"chain through a comment", "select 1 -- c -\n- \nfrom dual;", 6,
       TokenKind::LineContinuation},
      {"a string ending in - then a line without", "select 'a-\nb' x,\nc -\nd from t;", 9,
       TokenKind::Minus},
  };
  for (const Case& test_case : CASES) {
    SCOPED_TRACE(test_case.name);
    const SplitResult result = split_script(test_case.text);
    ASSERT_GT(result.tokens.size(), test_case.token_index);
    EXPECT_EQ(result.tokens[test_case.token_index].kind, test_case.kind);
  }
}

TEST(SplitScript, CommandsMakeNoTokensAndNoDiagnostics) {
  const std::string_view text = "prompt it's\nrem 'open\n@@x 'y\n";
  const SplitResult result = split_script(text);
  EXPECT_TRUE(result.diagnostics.empty());
  for (const Token& token : result.tokens) EXPECT_EQ(token.kind, TokenKind::Whitespace);
  // The statement's own diagnostics still come through.
  const SplitResult with_error = split_script("select 'x from dual;");
  ASSERT_EQ(with_error.diagnostics.size(), 1u);
  EXPECT_EQ(with_error.diagnostics[0].message, "unterminated string");
}

TEST(SplitScript, LongLineOfSemicolonsIsOneItemEach) {
  // One line of many ";": each item looks back over blanks only, so this stays
  // linear.
  const std::string text(200000, ';');
  const SplitResult result = split_script(text);
  ASSERT_EQ(result.items.size(), text.size());
  EXPECT_EQ(result.items.back().first_token, text.size() - 1);
  EXPECT_EQ(result.items.back().end_token, text.size() - 1);
}

TEST(SqlplusCommands, FindByAbbreviation) {
  struct Case {
    std::string_view word;
    std::string_view found;  // empty: none
  };
  static const Case CASES[] = {
      {"DESC", "DESCRIBE"},
      {"desc", "DESCRIBE"},
      {"EXEC", "EXECUTE"},
      {"R", ""},
      {"STA", "START"},
      {"STARTU", ""},
      {"STARTUP", "STARTUP"},
      {"DEF", "DEFINE"},
      {"DES", ""},
      {"EXE", ""},
      {"CL", "CLEAR"},
      {"PA", ""},
      {"REM", "REMARK"},
      {"HO", "HOST"},
      {"SHUTDOWNX", ""},
      {"SHUTDOW", ""},
      {"", ""},
      {"WHENEVER", "WHENEVER"},
      {"UNDEF", "UNDEFINE"},
      {"VAR", "VARIABLE"},
      {"A", "APPEND"},
      {"APP", "APPEND"},
      {"ACC", "ACCEPT"},
      {"C", "CHANGE"},
      {"CH", "CHANGE"},
      {"CL", "CLEAR"},
      {"CO", ""},
      {"DEL", "DEL"},
      {"DE", ""},
      {"DELE", ""},
      {"E", ""},
      {"ED", "EDIT"},
      {"EDITX", ""},
      {"GET", "GET"},
      {"GE", ""},
      {"I", "INPUT"},
      {"INPUT", "INPUT"},
      {"L", "LIST"},
      {"LIS", "LIST"},
      {"SA", ""},
      {"SAV", "SAVE"},
      {"STOR", ""},
      {"STORE", "STORE"},
      {"ORADEBU", ""},
      {"oradebug", "ORADEBUG"},
      // Statement words that begin like a command, or are longer than one.
      {"ALTER", ""},
      {"CALL", ""},
      {"COMMIT", ""},
      {"COMMENT", ""},
      {"DELETE", ""},
      {"INSERT", ""},
      {"LOCK", ""},
      {"SAVEPOINT", ""},
  };
  ASSERT_EQ(SQLPLUS_COMMANDS.size(), 43u);
  for (const Case& test_case : CASES) {
    SCOPED_TRACE(std::string(test_case.word));
    const SqlplusCommand* command = find_sqlplus_command(test_case.word);
    if (test_case.found.empty()) {
      EXPECT_EQ(command, nullptr);
    } else {
      ASSERT_NE(command, nullptr);
      EXPECT_EQ(command->name, test_case.found);
    }
  }
}

TEST(SqlplusCommands, NextCommandWord) {
  struct Case {
    std::string_view rest;
    std::string_view word;
  };
  static const Case CASES[] = {
      {"  role_x", "role"},
      {" 1abc", ""},
      {"\u00A0\u3000immediate;", "immediate"},
      {"", ""},
      {"   ", ""},
      {"transaction", "transaction"},
      {"\t\r\vRole", "Role"},
      {"é", ""},
  };
  for (const Case& test_case : CASES) {
    SCOPED_TRACE(std::string(test_case.rest));
    EXPECT_EQ(next_command_word(test_case.rest), test_case.word);
  }
}

TEST(SplitScript, ItemKindNames) {
  EXPECT_EQ(item_kind_name(ScriptItemKind::SqlPlus), "SqlPlus");
  EXPECT_EQ(script_item_kind_name(ScriptItemKind::Sql), "Sql");
  EXPECT_EQ(item_kind_name(ScriptItemKind::PlSql), "PlSql");
}

// Random texts over bytes that matter to the splitter, plus ill-formed UTF-8.
TEST(SplitScript, PropertiesHoldOnRandomText) {
  static const std::string_view FRAGMENTS[] = {
      ";",        "/",        "\n",        " ",         "\t",        "\r",       "-",
      "--",       "/*",       "*/",        "@",         "@@",        "!",        "$",
      "$$x",      "'",        "\"",        "q'[",       "]'",        "&x.",      "&",
      "set",      "prompt",   "rem",       "exec",      "begin",     "create",   "with",
      "select",   "end",      "x",         "1",         "<<",        "\xC2\xA0", "\xE3\x80\x80",
      "\xFF",     "\x80",     "\xE2\x82",  "é",         "immediate", "or",       "replace",
      "package",  "function", "\f",        "\v",        "role",      "$IF",      "\nprompt '",
      "\nrem \"", "\n@x q'[", "\nset &x.", "\ndesc /*", "wrapped",   "java",     "source",
      "as",       "mle",      "module",    "language",  "{{",        "}}",       "\n.\n"};
  std::mt19937 generator(20261207);
  std::uniform_int_distribution<std::size_t> fragment_count(0, 60);
  std::uniform_int_distribution<std::size_t> fragment_index(0, std::size(FRAGMENTS) - 1);
  std::uniform_int_distribution<int> any_byte(0, 255);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    // Every 50th text is long, so that the splitter's look-ahead runs over many windows.
    const std::size_t count = round % 50 == 0 ? 4000 : fragment_count(generator);
    for (std::size_t i = 0; i < count; ++i) {
      if (round % 5 == 1) {
        text += static_cast<char>(any_byte(generator));
      } else {
        text += FRAGMENTS[fragment_index(generator)];
      }
    }
    SCOPED_TRACE(text);
    expect_split_invariants(text, split_script(text));
    if (HasFatalFailure()) return;
  }
}

// Snapshots: tests/data/split/<case>.sql beside <case>.items.

std::string first_line_excerpt(std::string_view text, const ScriptItem& item) {
  std::string_view body = text.substr(item.start, item.end - item.start);
  body = body.substr(0, body.find('\n'));
  if (body.size() > 60) {
    std::size_t cut = 60;
    while (cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) --cut;
    body = body.substr(0, cut);
  }
  while (!body.empty() && (body.back() == '\r' || body.back() == ' ')) body.remove_suffix(1);
  return std::string(body);
}

std::string render_snapshot(std::string_view text, const SplitResult& result) {
  std::string out;
  for (const ScriptItem& item : result.items) {
    out += render_item(item);
    out += " | ";
    out += first_line_excerpt(text, item);
    out += "\n";
  }
  for (const Diagnostic& diagnostic : result.diagnostics) {
    out += std::string(severity_name(diagnostic.severity)) + " " +
           span_text(diagnostic.start, diagnostic.end) + " " + std::string(diagnostic.message) +
           "\n";
  }
  return out;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool update_snapshots() {
  const char* ci = std::getenv("CI");
  if (ci != nullptr && std::string_view(ci) == "true") return false;
  const char* update = std::getenv("VELTRANE_UPDATE_SNAPSHOTS");
  return update != nullptr && std::string_view(update) == "1";
}

TEST(SplitScript, Snapshots) {
  const std::filesystem::path folder =
      std::filesystem::path(VELTRANE_SOURCE_DIR) / "tests/data/split";
  std::vector<std::filesystem::path> cases;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".sql") cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  ASSERT_FALSE(cases.empty()) << "no snapshot cases in " << folder;
  for (const auto& sql_path : cases) {
    SCOPED_TRACE(sql_path.filename().string());
    const std::string text = read_file(sql_path);
    const SplitResult result = split_script(text);
    expect_split_invariants(text, result);
    const std::string actual = render_snapshot(text, result);
    std::filesystem::path items_path = sql_path;
    items_path.replace_extension(".items");
    if (update_snapshots()) {
      std::ofstream(items_path, std::ios::binary) << actual;
      continue;
    }
    ASSERT_TRUE(std::filesystem::exists(items_path)) << "missing " << items_path;
    EXPECT_EQ(actual, read_file(items_path));
  }
}

}  // namespace
}  // namespace veltrane::lexer
