#pragma once

// Highlighting rows for the Lab: one row [start, end, class] per token that gets a colour,
// with UTF-16 offsets, and the word tables that decide the class of an identifier.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "lexer/token.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "syntax/utf16_offsets.hpp"

namespace veltrane::report {

// Node kinds under which an identifier stands for a name: "kw" only when it is a reserved
// word. ConstantDecl and RecordField name no node kind and never match.
inline constexpr std::array<std::string_view, 30> NAME_CONTEXT_KINDS = {
    "NameRef",
    "Alias",
    "ColumnDef",
    "Param",
    "VarDecl",
    "Cte",
    "MrDefinition",
    "SubprogramDecl",
    "CreatePackage",
    "CreatePackageBody",
    "CreateProcedure",
    "CreateFunction",
    "CreateTrigger",
    "CreateType",
    "CreateTypeBody",
    "ForLoop",
    "PivotClause",
    "Block",
    "OtherStmt",
    "SkippedClause",
    "GrantStmt",
    "DropStmt",
    "CursorDecl",
    "TypeDecl",
    "Label",
    "ExceptionDecl",
    "ConstantDecl",
    "RecordField",
    "Arg",
    "NamedArg",
};
static_assert(NAME_CONTEXT_KINDS.size() == 30);

// Upper-case words coloured as keywords where no node kind says otherwise.
inline constexpr std::array<std::string_view, 132> CLASS_KEYWORDS = {
    "AFTER",
    "ALWAYS",
    "ANALYZE",
    "AUTHID",
    "AUTONOMOUS_TRANSACTION",
    "BEFORE",
    "BODY",
    "BULK",
    "BYTE",
    "CASCADE",
    "CHAR",
    "COLLECT",
    "COMMIT",
    "CONSTANT",
    "CONSTRAINT",
    "CROSS",
    "CUBE",
    "CURRENT",
    "CURRENT_USER",
    "CYCLE",
    "DEFINE",
    "DEFINER",
    "DETERMINISTIC",
    "DIMENSION",
    "EACH",
    "EXCEPTION",
    "EXECUTE",
    "EXIT",
    "FETCH",
    "FINAL",
    "FIRST",
    "FOLLOWING",
    "FORALL",
    "FULL",
    "FUNCTION",
    "GENERATED",
    "GROUPING",
    "IDENTITY",
    "IGNORE",
    "IMMEDIATE",
    "INCLUDING",
    "INNER",
    "INSTEAD",
    "ISOLATION",
    "JOIN",
    "KEEP",
    "KEY",
    "LAST",
    "LATERAL",
    "LEFT",
    "LIMIT",
    "LOCKED",
    "LOG",
    "LOOP",
    "MATCH",
    "MATCHED",
    "MATCH_RECOGNIZE",
    "MEASURES",
    "MERGE",
    "MODEL",
    "NATURAL",
    "NEXT",
    "NOCOPY",
    "NULLS",
    "OBJECT",
    "OFFSET",
    "ONLY",
    "OPEN",
    "OTHERS",
    "OUT",
    "OUTER",
    "OVER",
    "PACKAGE",
    "PARALLEL_ENABLE",
    "PARTITION",
    "PAST",
    "PATTERN",
    "PER",
    "PERMUTE",
    "PIPE",
    "PIPELINED",
    "PIVOT",
    "PRAGMA",
    "PRECEDING",
    "PRIMARY",
    "PROCEDURE",
    "RAISE",
    "RANGE",
    "RECORD",
    "REF",
    "REFERENCES",
    "REPLACE",
    "RESULT_CACHE",
    "RETURN",
    "RETURNING",
    "REVERSE",
    "RIGHT",
    "ROLLBACK",
    "ROLLUP",
    "ROWTYPE",
    "RULES",
    "RUNNING",
    "SAMPLE",
    "SAVEPOINT",
    "SEARCH",
    "SEED",
    "SETS",
    "SIBLINGS",
    "SKIP",
    "SUBSET",
    "SUBTYPE",
    "TEMPORARY",
    "TIES",
    "TRANSACTION",
    "TRIGGER",
    "TRUNCATE",
    "TYPE",
    "UNBOUNDED",
    "UNPIVOT",
    "UNTIL",
    "USING",
    "VERSIONS",
    "WAIT",
    "WHILE",
    "WITHIN",
    "WORK",
    "XMLTABLE",
    "JSON_TABLE",
    "ROWS",
    "ROW",
    "ONE",
    "ALL",
};
static_assert(CLASS_KEYWORDS.size() == 132);

// One highlighting row: UTF-16 offsets of the token's start and end and its class name
// ("com", "cc", "kw", "id", "type", "num", "str", "bind" or "op"; static text).
struct ClassRow {
  uint32_t start;
  uint32_t end;
  std::string_view class_name;
  friend bool operator==(const ClassRow&, const ClassRow&) = default;
};

// For one parsed item: the kind of the node that holds each token among its child
// entries, by the token's byte start; every token of the tree, trivia included.
class TokenParentKinds {
 public:
  explicit TokenParentKinds(const syntax::Tree& tree);
  // The holding node's kind for a token starting at `start`; none when no token of the
  // tree starts there.
  [[nodiscard]] std::optional<syntax::SyntaxKind> at(uint32_t start) const;

 private:
  // (start, parent kind), ascending by start: the tree keeps its tokens in source order.
  std::vector<std::pair<uint32_t, syntax::SyntaxKind>> entries_;
};

[[nodiscard]] TokenParentKinds token_parent_kinds(const syntax::Tree& tree);

// The name-context test of NAME_CONTEXT_KINDS, made once per analysis as one flag per
// node kind.
class NameContexts {
 public:
  NameContexts();
  [[nodiscard]] bool contains(syntax::SyntaxKind kind) const;

 private:
  std::array<bool, syntax::NODE_KIND_COUNT> flags_{};
};

// The class of one lexer token of a parsed item; none for whitespace and line
// continuations.
[[nodiscard]] std::optional<std::string_view> token_class(const lexer::Token& token,
                                                          std::string_view text,
                                                          const TokenParentKinds& parents,
                                                          const NameContexts& contexts);

// Appends the rows of a parsed item's tokens (its slice of the splitter's token list).
void append_item_rows(std::span<const lexer::Token> item_tokens, std::string_view text,
                      const TokenParentKinds& parents, const NameContexts& contexts,
                      const syntax::Utf16Positions& positions, std::vector<ClassRow>& rows);

// The comment pass: a "com" row for every comment of the whole token list whose start
// has no row yet.
void append_comment_rows(std::span<const lexer::Token> all_tokens,
                         const syntax::Utf16Positions& positions, std::vector<ClassRow>& rows);

// Stable sort of the rows by start.
void sort_rows_by_number(std::vector<ClassRow>& rows);

}  // namespace veltrane::report
