#include "catalog/build_catalog.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lexer/script_splitter.hpp"
#include "lexer/sqlplus_commands.hpp"
#include "lexer/token_values.hpp"
#include "parser/item_lexer_errors.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"
#include "views/declarations.hpp"
#include "views/dictionary_text.hpp"
#include "views/name_path.hpp"
#include "views/query_columns.hpp"
#include "views/tree_words.hpp"

namespace veltrane::catalog {

namespace {

using syntax::NodeKind;
using syntax::TokenKind;
using syntax::Tree;
using views::is_name_token;
using views::is_node;
using views::is_word;
using views::node_kind_of;
using views::normal_form;
using views::token_kind_of;
using views::token_text;

// The first child node of `kind`.
std::optional<uint32_t> child_node(const Tree& tree, uint32_t node, NodeKind kind) {
  return syntax::child_of_kind(tree, node, syntax::syntax_kind(kind));
}

// Everything one statement is applied with.
struct Statement {
  const Tree& tree;
  std::string_view text;
  std::string_view file_name;
  std::string& schema;
  Catalog& catalog;
  CatalogDetail detail = CatalogDetail::Full;
};

CatalogObject new_object(const Statement& statement, ObjectKind kind,
                         const views::QualifiedName& name) {
  CatalogObject object{};
  object.owner = name.owner ? *name.owner : statement.schema;
  object.name = name.name;
  object.kind = kind;
  object.origin = std::string(statement.file_name);
  return object;
}

// ---- Columns -------------------------------------------------------------------------

// How a column definition's words change its nullability: NOT NULL, PRIMARY KEY, DEFAULT
// ON NULL and an identity column (GENERATED … AS IDENTITY) make it not nullable; NULL
// without NOT (`allow_null`) makes it nullable, unless it is the DEFAULT value; the last
// one written wins. None when the definition says nothing.
std::optional<bool> written_nullability(const Tree& tree, std::span<const uint32_t> tokens,
                                        std::string_view text, bool allow_null) {
  const auto word_at = [&](std::size_t i, std::string_view word) {
    return i < tokens.size() && is_word(tree, tokens[i], text, word);
  };
  std::optional<bool> nullable;
  bool generated = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if ((word_at(i, "NOT") && word_at(i + 1, "NULL")) ||
        (word_at(i, "PRIMARY") && word_at(i + 1, "KEY"))) {
      nullable = false;
      ++i;
    } else if (word_at(i, "DEFAULT") && word_at(i + 1, "ON") && word_at(i + 2, "NULL")) {
      nullable = false;
      i += 2;
    } else if (word_at(i, "GENERATED")) {
      generated = true;
    } else if (generated && word_at(i, "AS") && word_at(i + 1, "IDENTITY")) {
      nullable = false;
      ++i;
    } else if (allow_null && word_at(i, "NULL") && !(i > 0 && word_at(i - 1, "DEFAULT"))) {
      // DEFAULT NULL gives the column's default, not its nullability.
      nullable = true;
    }
  }
  return nullable;
}

// name type [DEFAULT …] [CONSTRAINT c] [NOT NULL | PRIMARY KEY | …]
Column read_column(const Tree& tree, uint32_t column_def, std::string_view text) {
  Column column;
  const std::vector<uint32_t> tokens = views::significant_tokens(tree, column_def);
  if (!tokens.empty()) column.name = normal_form(tree, tokens.front(), text);
  if (const std::optional<uint32_t> type = child_node(tree, column_def, NodeKind::TypeName)) {
    column.datatype = views::dictionary_text(tree, *type, text);
  }
  column.nullable = written_nullability(tree, tokens, text, false).value_or(true);
  return column;
}

Column* find_column(std::vector<Column>& columns, std::string_view name) {
  const auto found = std::find_if(columns.begin(), columns.end(),
                                  [&](const Column& column) { return column.name == name; });
  return found == columns.end() ? nullptr : &*found;
}

// Adds a column; with `replace`, one of an existing name is replaced in place.
void add_column(std::vector<Column>& columns, Column column, bool replace) {
  if (replace) {
    if (Column* existing = find_column(columns, column.name)) {
      *existing = std::move(column);
      return;
    }
  }
  columns.push_back(std::move(column));
}

// [CONSTRAINT c] PRIMARY KEY (a, b), as its significant tokens: the columns named in the
// first parenthesised list after KEY become not nullable; other constraints change nothing.
void apply_constraint(const Tree& tree, std::span<const uint32_t> tokens, std::string_view text,
                      std::vector<Column>& columns) {
  std::size_t i = 0;
  while (i + 1 < tokens.size() && !(is_word(tree, tokens[i], text, "PRIMARY") &&
                                    is_word(tree, tokens[i + 1], text, "KEY"))) {
    ++i;
  }
  if (i + 1 >= tokens.size()) return;
  i += 2;
  while (i < tokens.size() && token_kind_of(tree.tokens[tokens[i]]) != TokenKind::LParen) ++i;
  for (++i; i < tokens.size(); ++i) {
    const TokenKind kind = token_kind_of(tree.tokens[tokens[i]]);
    if (kind == TokenKind::RParen) break;
    if (!is_name_token(kind)) continue;
    if (Column* column = find_column(columns, normal_form(tree, tokens[i], text))) {
      column->nullable = false;
    }
  }
}

// The significant tokens below a ColumnDef that is a constraint written CONSTRAINTS name
// {PRIMARY KEY | UNIQUE | FOREIGN KEY | CHECK} (…), which Oracle reads as CONSTRAINT and
// the grammar as a column CONSTRAINTS of type name; none for any other ColumnDef.
std::optional<std::vector<uint32_t>> constraints_clause(const Tree& tree, uint32_t column_def,
                                                        std::string_view text) {
  std::vector<uint32_t> tokens;
  syntax::DescendantTokens walk = syntax::descendant_tokens(tree, column_def);
  while (const std::optional<uint32_t> token = walk.next()) {
    if (syntax::is_trivia(tree.tokens[*token].kind)) continue;
    if (tokens.empty() && !is_word(tree, *token, text, "CONSTRAINTS")) return std::nullopt;
    tokens.push_back(*token);
  }
  const auto word_at = [&](std::size_t i, std::string_view word) {
    return i < tokens.size() && is_word(tree, tokens[i], text, word);
  };
  if (tokens.size() < 4 || !is_name_token(token_kind_of(tree.tokens[tokens[1]]))) {
    return std::nullopt;
  }
  // The kind's words: PRIMARY KEY and FOREIGN KEY have two, then the "(" of a column list
  // (an inline constraint of a column has none) or of a condition.
  std::size_t open = 3;
  if (word_at(2, "PRIMARY") || word_at(2, "FOREIGN")) {
    if (!word_at(3, "KEY")) return std::nullopt;
    open = 4;
  } else if (!word_at(2, "UNIQUE") && !word_at(2, "CHECK")) {
    return std::nullopt;
  }
  if (open >= tokens.size() || token_kind_of(tree.tokens[tokens[open]]) != TokenKind::LParen) {
    return std::nullopt;
  }
  return tokens;
}

// The significant tokens of a Constraint node or of a ColumnDef that is a CONSTRAINTS
// clause; none for a column.
std::optional<std::vector<uint32_t>> constraint_tokens(const Tree& tree, uint32_t element,
                                                       NodeKind kind, std::string_view text) {
  if (kind == NodeKind::Constraint) return views::significant_tokens(tree, element);
  return constraints_clause(tree, element, text);
}

// A TableElements, ColumnDef or Constraint node as CREATE TABLE and ALTER TABLE … ADD
// read it.
void add_table_element(const Tree& tree, uint32_t node, std::string_view text,
                       std::vector<Column>& columns, bool replace) {
  const std::optional<NodeKind> kind = node_kind_of(tree, node);
  if (kind == NodeKind::ColumnDef || kind == NodeKind::Constraint) {
    if (const std::optional<std::vector<uint32_t>> constraint =
            constraint_tokens(tree, node, *kind, text)) {
      apply_constraint(tree, *constraint, text, columns);
    } else {
      add_column(columns, read_column(tree, node, text), replace);
    }
  } else if (kind == NodeKind::TableElements) {
    // Columns first, so that a constraint may name a column defined after it.
    std::vector<std::vector<uint32_t>> constraints;
    for (const syntax::Child entry : syntax::children(tree, node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t element = syntax::entry_index(entry);
      const std::optional<NodeKind> element_kind = node_kind_of(tree, element);
      if (element_kind != NodeKind::ColumnDef && element_kind != NodeKind::Constraint) continue;
      if (std::optional<std::vector<uint32_t>> constraint =
              constraint_tokens(tree, element, *element_kind, text)) {
        constraints.push_back(std::move(*constraint));
      } else {
        add_column(columns, read_column(tree, element, text), replace);
      }
    }
    for (const std::vector<uint32_t>& constraint : constraints) {
      apply_constraint(tree, constraint, text, columns);
    }
  }
}

// ---- CREATE TABLE, VIEW, MATERIALIZED VIEW ---------------------------------------------

// OF [owner.]type, from the OF on: the type an object table or view is made of. None for
// any other shape.
std::optional<views::QualifiedName> type_after_of(const Tree& tree,
                                                  std::span<const uint32_t> tokens,
                                                  std::string_view text) {
  const auto name_at = [&](std::size_t i) {
    return i < tokens.size() && is_name_token(token_kind_of(tree.tokens[tokens[i]]));
  };
  if (tokens.empty() || !is_word(tree, tokens[0], text, "OF") || !name_at(1)) return std::nullopt;
  views::QualifiedName name;
  name.name = normal_form(tree, tokens[1], text);
  name.name_token = tokens[1];
  if (tokens.size() > 3 && token_kind_of(tree.tokens[tokens[2]]) == TokenKind::Dot) {
    if (!name_at(3)) return std::nullopt;
    name.owner = std::move(name.name);
    name.name = normal_form(tree, tokens[3], text);
    name.name_token = tokens[3];
  }
  return name;
}

// The columns of an object table or view: the attributes of its object type, those of a
// supertype the catalog holds first. None when the catalog holds no object type of that
// name.
std::optional<std::vector<Column>> object_type_columns(const Statement& statement,
                                                       const views::QualifiedName& type_name) {
  const Catalog& catalog = statement.catalog;
  const auto object_type = [&](std::string_view owner, const std::optional<std::string>& written,
                               std::string_view name) -> const CatalogObject* {
    const CatalogObject* object = catalog.resolve(owner, written, name).object;
    return object != nullptr && object->kind == ObjectKind::Type &&
                   object->type_shape == TypeShape::Object
               ? object
               : nullptr;
  };
  const CatalogObject* type = object_type(statement.schema, type_name.owner, type_name.name);
  if (type == nullptr) return std::nullopt;
  // The type, then its supertypes, each once (a replaced type may close a loop).
  std::vector<const CatalogObject*> chain{type};
  while (chain.back()->supertype) {
    const TableName& super = *chain.back()->supertype;
    const CatalogObject* next =
        object_type(super.owner, std::optional<std::string>(super.owner), super.name);
    if (next == nullptr || std::find(chain.begin(), chain.end(), next) != chain.end()) break;
    chain.push_back(next);
  }
  std::vector<Column> columns;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const Member& member : (*it)->members) {
      if (member.kind == MemberKind::Attribute) {
        columns.push_back(Column{member.name, member.type_text, true});
      }
    }
  }
  return columns;
}

// An object table's or view's columns from the type its OF tokens name, or
// columns_pending when they name none the catalog holds.
void take_object_type_columns(const Statement& statement, std::span<const uint32_t> of_tokens,
                              CatalogObject& object) {
  std::optional<std::vector<Column>> columns;
  if (const std::optional<views::QualifiedName> type =
          type_after_of(statement.tree, of_tokens, statement.text)) {
    columns = object_type_columns(statement, *type);
  }
  if (columns) {
    object.columns = std::move(*columns);
  } else {
    object.columns_pending = true;
  }
}

// CREATE TABLE t (…) | CREATE TABLE t [(…)] AS query | CREATE TABLE t OF type …
void apply_create_table(const Statement& statement, const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  CatalogObject table = new_object(statement, ObjectKind::Table, name);
  bool after_name = false;
  // The direct tokens from an OF right after the name up to the next node.
  std::vector<uint32_t> of_tokens;
  bool reading_of = false;
  for (const syntax::Child entry : syntax::children(tree, tree.root)) {
    const uint32_t index = syntax::entry_index(entry);
    if (syntax::is_token_entry(entry)) {
      if (syntax::is_trivia(tree.tokens[index].kind)) continue;
      if (after_name && is_word(tree, index, statement.text, "OF")) reading_of = true;
      if (reading_of) of_tokens.push_back(index);
      after_name = false;
      continue;
    }
    reading_of = false;
    after_name = is_node(tree, index, NodeKind::ObjectName);
    if (is_node(tree, index, NodeKind::TableElements)) {
      add_table_element(tree, index, statement.text, table.columns, false);
    } else if (is_node(tree, index, NodeKind::Query)) {
      table.columns_pending = true;
    }
  }
  if (!of_tokens.empty()) take_object_type_columns(statement, of_tokens, table);
  store_object(statement.catalog, std::move(table));
}

// Columns of unknown type, nullable, by name.
void add_named_columns(std::vector<std::string> names, std::vector<Column>& columns) {
  for (std::string& name : names) columns.push_back(Column{std::move(name), {}, true});
}

// CREATE [MATERIALIZED] VIEW v [(a, b, …)] AS query
void apply_create_view(const Statement& statement, ObjectKind kind,
                       const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  CatalogObject view = new_object(statement, kind, name);
  // An object view: OF type … AS query.
  if (const std::optional<uint32_t> clause = child_node(tree, tree.root, NodeKind::SkippedClause)) {
    const std::vector<uint32_t> tokens = views::significant_tokens(tree, *clause);
    if (!tokens.empty() && is_word(tree, tokens[0], statement.text, "OF")) {
      take_object_type_columns(statement, tokens, view);
      store_object(statement.catalog, std::move(view));
      return;
    }
  }
  if (const std::optional<uint32_t> list = child_node(tree, tree.root, NodeKind::ColumnList)) {
    add_named_columns(views::column_list_names(tree, *list, statement.text), view.columns);
  } else if (const std::optional<uint32_t> query = child_node(tree, tree.root, NodeKind::Query)) {
    views::QueryColumns columns = views::query_columns(tree, *query, statement.text);
    add_named_columns(std::move(columns.names), view.columns);
    view.columns_pending = !columns.complete;
  } else {
    view.columns_pending = true;
  }
  store_object(statement.catalog, std::move(view));
}

// ---- Synonyms and triggers -------------------------------------------------------------

// CREATE [PUBLIC] SYNONYM [owner.]s FOR [owner.]target[@link]
void apply_create_synonym(const Statement& statement, const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  std::vector<uint32_t> names;
  bool is_public = false;
  bool before_synonym = true;
  for (const syntax::Child entry : syntax::children(tree, tree.root)) {
    const uint32_t index = syntax::entry_index(entry);
    if (!syntax::is_token_entry(entry)) {
      if (is_node(tree, index, NodeKind::ObjectName)) names.push_back(index);
      continue;
    }
    if (!before_synonym) continue;
    if (is_word(tree, index, statement.text, "SYNONYM")) {
      before_synonym = false;
    } else if (is_word(tree, index, statement.text, "PUBLIC")) {
      is_public = true;
    }
  }
  if (names.size() < 2) return;
  views::NamePath target = views::name_path(tree, names[1], statement.text);
  if (!target.plain || target.star || target.parts.empty() || target.parts.size() > 2) return;
  Synonym synonym;
  synonym.owner = is_public ? std::string("PUBLIC") : name.owner.value_or(statement.schema);
  synonym.name = name.name;
  if (target.parts.size() == 2) {
    synonym.target_owner = std::move(target.parts[0].text);
    synonym.target_name = std::move(target.parts[1].text);
  } else {
    synonym.target_owner = statement.schema;
    synonym.target_name = std::move(target.parts[0].text);
  }
  synonym.db_link = std::move(target.link);
  synonym.origin = std::string(statement.file_name);
  store_synonym(statement.catalog, std::move(synonym));
}

// CREATE TRIGGER t … ON [owner.]table …; ON SCHEMA and ON DATABASE name no table.
void apply_create_trigger(const Statement& statement, const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  CatalogObject trigger = new_object(statement, ObjectKind::Trigger, name);
  const std::optional<uint32_t> on = child_node(tree, tree.root, NodeKind::TriggerOn);
  const std::optional<uint32_t> table =
      on ? child_node(tree, *on, NodeKind::NameRef) : std::nullopt;
  if (table) {
    views::NamePath path = views::name_path(tree, *table, statement.text);
    if (path.plain && !path.star && !path.link && path.parts.size() <= 2) {
      const uint32_t last = path.parts.back().token;
      if (!is_word(tree, last, statement.text, "SCHEMA") &&
          !is_word(tree, last, statement.text, "DATABASE")) {
        TableName on_table;
        if (path.parts.size() == 2) {
          on_table.owner = std::move(path.parts[0].text);
        } else {
          on_table.owner = statement.schema;
        }
        on_table.name = std::move(path.parts.back().text);
        trigger.trigger_table = std::move(on_table);
      }
    }
  }
  store_trigger(statement.catalog, std::move(trigger));
}

// ---- Packages and types ----------------------------------------------------------------

std::string declared_type_text(const Tree& tree, uint32_t node, uint32_t name_token,
                               std::string_view text) {
  const std::optional<uint32_t> type = views::declared_type_node(tree, node, name_token);
  return type ? views::dictionary_text(tree, *type, text) : std::string();
}

std::string return_type_text(const Tree& tree, uint32_t node, std::string_view text) {
  const std::optional<uint32_t> clause = child_node(tree, node, NodeKind::ReturnClause);
  return clause ? views::return_text(tree, *clause, text) : std::string();
}

bool has_direct_word(const Tree& tree, uint32_t node, std::string_view text,
                     std::string_view upper_word) {
  for (const uint32_t token : views::significant_tokens(tree, node)) {
    if (is_word(tree, token, text, upper_word)) return true;
  }
  return false;
}

// A subprogram or method heading as a member, typed by its RETURN clause; none without a
// name. A subprogram is a Procedure or Function, a method always a Method.
std::optional<Member> subprogram_member(const Tree& tree, uint32_t node, std::string_view text,
                                        bool is_method) {
  const views::SubprogramHeading heading = views::subprogram_heading(tree, node, text);
  if (!heading.name_token) return std::nullopt;
  Member member{normal_form(tree, *heading.name_token, text), {}, MemberKind::Method};
  if (!is_method) member.kind = heading.is_function ? MemberKind::Function : MemberKind::Procedure;
  if (is_method || heading.is_function) member.type_text = return_type_text(tree, node, text);
  return member;
}

// One declaration of a package's visible part as a member; none for pragmas, errors and
// declarations without a name.
std::optional<Member> package_member(const Tree& tree, uint32_t node, std::string_view text) {
  const std::optional<NodeKind> kind = node_kind_of(tree, node);
  if (kind == NodeKind::SubprogramDecl) return subprogram_member(tree, node, text, false);
  const std::optional<uint32_t> name_token = views::declared_name_token(tree, node, text);
  if (!name_token) return std::nullopt;
  Member member{normal_form(tree, *name_token, text), {}, MemberKind::Variable};
  switch (kind.value_or(NodeKind::Error)) {
    case NodeKind::VarDecl:
      member.kind = has_direct_word(tree, node, text, "CONSTANT") ? MemberKind::Constant
                                                                  : MemberKind::Variable;
      member.type_text = declared_type_text(tree, node, *name_token, text);
      return member;
    case NodeKind::ExceptionDecl:
      member.kind = MemberKind::Exception;
      return member;
    case NodeKind::TypeDecl: {
      member.kind = MemberKind::Type;
      const std::optional<uint32_t> definition = views::declared_type_node(tree, node, *name_token);
      if (definition && is_node(tree, *definition, NodeKind::RecordDef)) {
        member.type_text = "RECORD";
      } else if (definition && (is_node(tree, *definition, NodeKind::CollectionDef) ||
                                is_node(tree, *definition, NodeKind::RefCursorDef))) {
        member.type_text = views::dictionary_text(tree, *definition, text);
      }
      return member;
    }
    case NodeKind::SubtypeDecl:
      member.kind = MemberKind::Subtype;
      member.type_text = declared_type_text(tree, node, *name_token, text);
      return member;
    case NodeKind::CursorDecl:
      member.kind = MemberKind::Cursor;
      member.type_text = return_type_text(tree, node, text);
      return member;
    default:
      return std::nullopt;
  }
}

// CREATE PACKAGE p AS declarations END;
void apply_create_package(const Statement& statement, const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  CatalogObject package = new_object(statement, ObjectKind::Package, name);
  const bool members = statement.detail == CatalogDetail::Full;
  if (const std::optional<uint32_t> section =
          members ? child_node(tree, tree.root, NodeKind::DeclareSection) : std::nullopt) {
    for (const syntax::Child entry : syntax::children(tree, *section)) {
      if (syntax::is_token_entry(entry)) continue;
      if (std::optional<Member> member =
              package_member(tree, syntax::entry_index(entry), statement.text)) {
        package.members.push_back(std::move(*member));
      }
    }
  }
  store_object(statement.catalog, std::move(package));
}

// CREATE TYPE t [UNDER s] AS OBJECT (attributes, methods) | AS TABLE OF … | AS VARRAY …
// | ;
void apply_create_type(const Statement& statement, const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  CatalogObject type = new_object(statement, ObjectKind::Type, name);
  if (const std::optional<uint32_t> collection =
          child_node(tree, tree.root, NodeKind::CollectionDef)) {
    type.type_shape = has_direct_word(tree, *collection, statement.text, "TABLE")
                          ? TypeShape::NestedTable
                          : TypeShape::Varray;
  }
  // UNDER [owner.]supertype: the second name of the root.
  std::optional<uint32_t> first_name;
  for (const syntax::Child entry : syntax::children(tree, tree.root)) {
    if (syntax::is_token_entry(entry)) continue;
    const uint32_t index = syntax::entry_index(entry);
    if (!is_node(tree, index, NodeKind::ObjectName)) continue;
    if (!first_name) {
      first_name = index;
      continue;
    }
    if (std::optional<views::QualifiedName> super =
            views::object_name(tree, index, statement.text)) {
      type.supertype = TableName{super->owner.value_or(statement.schema), std::move(super->name)};
    }
    break;
  }
  const bool full = statement.detail == CatalogDetail::Full;
  if (const std::optional<uint32_t> definition =
          child_node(tree, tree.root, NodeKind::ObjectTypeDef)) {
    for (const syntax::Child entry : syntax::children(tree, *definition)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t node = syntax::entry_index(entry);
      if (is_node(tree, node, NodeKind::AttributeDef)) {
        const std::optional<uint32_t> name_token =
            views::declared_name_token(tree, node, statement.text);
        if (!name_token) continue;
        type.members.push_back(Member{
            normal_form(tree, *name_token, statement.text),
            full ? declared_type_text(tree, node, *name_token, statement.text) : std::string(),
            MemberKind::Attribute});
      } else if (full && is_node(tree, node, NodeKind::MethodDecl)) {
        if (std::optional<Member> member = subprogram_member(tree, node, statement.text, true)) {
          type.members.push_back(std::move(*member));
        }
      }
    }
  }
  store_object(statement.catalog, std::move(type));
}

// ---- ALTER TABLE -----------------------------------------------------------------------

// MODIFY (c type [NOT NULL], …): changes existing columns only.
void modify_columns(const Tree& tree, uint32_t elements, std::string_view text,
                    std::vector<Column>& columns) {
  for (const syntax::Child entry : syntax::children(tree, elements)) {
    if (syntax::is_token_entry(entry)) continue;
    const uint32_t column_def = syntax::entry_index(entry);
    if (!is_node(tree, column_def, NodeKind::ColumnDef)) continue;
    const std::vector<uint32_t> tokens = views::significant_tokens(tree, column_def);
    if (tokens.empty()) continue;
    Column* column = find_column(columns, normal_form(tree, tokens.front(), text));
    if (!column) continue;
    if (const std::optional<uint32_t> type = child_node(tree, column_def, NodeKind::TypeName)) {
      column->datatype = views::dictionary_text(tree, *type, text);
    }
    if (const std::optional<bool> nullable = written_nullability(tree, tokens, text, true)) {
      column->nullable = *nullable;
    }
  }
}

// The words that end the type of MODIFY c type …, or stand where a type would begin.
constexpr std::array<std::string_view, 20> MODIFY_TYPE_ENDS = {
    "DEFAULT",    "NOT",     "NULL",    "CONSTRAINT", "PRIMARY",       "UNIQUE",    "CHECK",
    "REFERENCES", "ENABLE",  "DISABLE", "VISIBLE",    "INVISIBLE",     "GENERATED", "COLLATE",
    "ENCRYPT",    "DECRYPT", "SORT",    "NOSORT",     "SUBSTITUTABLE", "LOB"};

bool ends_modify_type(const Tree& tree, uint32_t token, std::string_view text) {
  if (token_kind_of(tree.tokens[token]) == TokenKind::Comma) return true;
  return std::any_of(MODIFY_TYPE_ENDS.begin(), MODIFY_TYPE_ENDS.end(),
                     [&](std::string_view word) { return is_word(tree, token, text, word); });
}

// The names in a parenthesised list starting at tokens[open] (a "(").
std::vector<std::string> listed_names(const Tree& tree, std::span<const uint32_t> tokens,
                                      std::size_t open, std::string_view text) {
  std::vector<std::string> names;
  for (std::size_t i = open + 1; i < tokens.size(); ++i) {
    const TokenKind kind = token_kind_of(tree.tokens[tokens[i]]);
    if (kind == TokenKind::RParen) break;
    if (is_name_token(kind)) names.push_back(normal_form(tree, tokens[i], text));
  }
  return names;
}

void drop_columns(std::vector<Column>& columns, const std::vector<std::string>& names) {
  std::erase_if(columns, [&](const Column& column) {
    return std::find(names.begin(), names.end(), column.name) != names.end();
  });
}

// The table an ALTER TABLE works on, which RENAME TO may move.
struct AlteredTable {
  Catalog& catalog;
  ObjectKey key;

  CatalogObject& object() { return catalog.objects.at(key); }

  // Moves the table to (owner, new_name), replacing what is there, and points the
  // triggers on it at the new name.
  void rename(std::string new_name) {
    if (new_name == key.second) return;
    CatalogObject table = std::move(object());
    catalog.objects.erase(key);
    for (auto& [trigger_key, trigger] : catalog.triggers) {
      if (trigger.trigger_table && trigger.trigger_table->owner == key.first &&
          trigger.trigger_table->name == key.second) {
        trigger.trigger_table->name = new_name;
      }
    }
    table.name = new_name;
    key.second = std::move(new_name);
    store_object(catalog, std::move(table));
  }
};

// DROP COLUMN c | DROP (c, …) | SET UNUSED COLUMN c | SET UNUSED (…) | RENAME COLUMN a TO b
// | RENAME TO n | MODIFY c [type] [NOT NULL | NULL] …; anything else changes nothing.
void apply_skipped_clause(const Tree& tree, uint32_t clause, std::string_view text,
                          AlteredTable& table) {
  const std::vector<uint32_t> tokens = views::significant_tokens(tree, clause);
  const auto word_at = [&](std::size_t i, std::string_view word) {
    return i < tokens.size() && is_word(tree, tokens[i], text, word);
  };
  const auto kind_at = [&](std::size_t i) {
    return i < tokens.size() ? std::optional<TokenKind>(token_kind_of(tree.tokens[tokens[i]]))
                             : std::nullopt;
  };
  const auto name_at = [&](std::size_t i) -> std::optional<std::string> {
    const std::optional<TokenKind> kind = kind_at(i);
    if (!kind || !is_name_token(*kind)) return std::nullopt;
    return normal_form(tree, tokens[i], text);
  };
  std::vector<Column>& columns = table.object().columns;
  // The position after DROP or SET UNUSED, where COLUMN c or (…) stands.
  std::optional<std::size_t> dropped;
  if (word_at(0, "DROP")) dropped = 1;
  if (word_at(0, "SET") && word_at(1, "UNUSED")) dropped = 2;
  if (dropped) {
    if (word_at(*dropped, "COLUMN")) {
      if (const std::optional<std::string> name = name_at(*dropped + 1)) {
        drop_columns(columns, {*name});
      }
    } else if (kind_at(*dropped) == TokenKind::LParen) {
      drop_columns(columns, listed_names(tree, tokens, *dropped, text));
    }
    return;
  }
  if (word_at(0, "RENAME") && word_at(1, "COLUMN") && word_at(3, "TO")) {
    const std::optional<std::string> from = name_at(2);
    const std::optional<std::string> to = name_at(4);
    if (!from || !to) return;
    if (Column* column = find_column(columns, *from)) column->name = *to;
    return;
  }
  if (word_at(0, "RENAME") && word_at(1, "TO")) {
    if (std::optional<std::string> to = name_at(2)) table.rename(std::move(*to));
    return;
  }
  if (word_at(0, "MODIFY") && kind_at(1) != TokenKind::LParen) {
    const std::optional<std::string> name = name_at(1);
    Column* column = name ? find_column(columns, *name) : nullptr;
    if (!column) return;
    std::size_t end = 2;
    while (end < tokens.size() && !ends_modify_type(tree, tokens[end], text)) ++end;
    if (end > 2) {
      column->datatype =
          views::dictionary_text(tree, std::span<const uint32_t>(tokens).subspan(2, end - 2), text);
    }
    if (const std::optional<bool> nullable =
            written_nullability(tree, std::span<const uint32_t>(tokens).subspan(end), text, true)) {
      column->nullable = *nullable;
    }
  }
}

// ALTER TABLE t ADD … | MODIFY (…) | other clauses, read in order.
void apply_alter_table(const Statement& statement, const views::QualifiedName& name) {
  const Tree& tree = statement.tree;
  AlteredTable table{statement.catalog,
                     ObjectKey{name.owner.value_or(statement.schema), name.name}};
  const auto found = statement.catalog.objects.find(table.key);
  if (found == statement.catalog.objects.end() || found->second.kind != ObjectKind::Table) return;
  enum class Mode : uint8_t { None, Add, Modify };
  Mode mode = Mode::None;
  for (const syntax::Child entry : syntax::children(tree, tree.root)) {
    const uint32_t index = syntax::entry_index(entry);
    if (syntax::is_token_entry(entry)) {
      if (token_kind_of(tree.tokens[index]) != TokenKind::Ident) continue;
      if (is_word(tree, index, statement.text, "ADD")) {
        mode = Mode::Add;
      } else if (is_word(tree, index, statement.text, "MODIFY")) {
        mode = Mode::Modify;
      } else {
        mode = Mode::None;
      }
      continue;
    }
    const std::optional<NodeKind> kind = node_kind_of(tree, index);
    if (kind == NodeKind::SkippedClause) {
      apply_skipped_clause(tree, index, statement.text, table);
    } else if (mode == Mode::Add && (kind == NodeKind::TableElements ||
                                     kind == NodeKind::ColumnDef || kind == NodeKind::Constraint)) {
      add_table_element(tree, index, statement.text, table.object().columns, true);
    } else if (mode == Mode::Modify && kind == NodeKind::TableElements) {
      modify_columns(tree, index, statement.text, table.object().columns);
    }
  }
}

// ---- Schema changes --------------------------------------------------------------------

// ALTER SESSION SET name = value [name = value …]: the last CURRENT_SCHEMA whose value is
// a name; reading stops at the first token that does not fit.
void apply_alter_session(Statement& statement) {
  const Tree& tree = statement.tree;
  // The significant tokens up to the first node entry, which does not fit the pairs.
  std::vector<uint32_t> tokens;
  for (const syntax::Child entry : syntax::children(tree, tree.root)) {
    if (!syntax::is_token_entry(entry)) break;
    const uint32_t token = syntax::entry_index(entry);
    if (!syntax::is_trivia(tree.tokens[token].kind)) tokens.push_back(token);
  }
  if (tokens.size() < 3 || !is_word(tree, tokens[0], statement.text, "ALTER") ||
      !is_word(tree, tokens[1], statement.text, "SESSION") ||
      !is_word(tree, tokens[2], statement.text, "SET")) {
    return;
  }
  for (std::size_t i = 3; i + 2 < tokens.size(); i += 3) {
    if (token_kind_of(tree.tokens[tokens[i]]) != TokenKind::Ident ||
        token_kind_of(tree.tokens[tokens[i + 1]]) != TokenKind::Eq) {
      return;
    }
    if (is_word(tree, tokens[i], statement.text, "CURRENT_SCHEMA") &&
        is_name_token(token_kind_of(tree.tokens[tokens[i + 2]]))) {
      statement.schema = normal_form(tree, tokens[i + 2], statement.text);
    }
  }
}

bool has_error(const parser::ParsedStatement& parsed) {
  return std::any_of(parsed.diagnostics.begin(), parsed.diagnostics.end(),
                     [](const syntax::Diagnostic& diagnostic) {
                       return diagnostic.severity == syntax::Severity::Error;
                     });
}

void apply_statement(Statement& statement) {
  const Tree& tree = statement.tree;
  if (tree.nodes.empty()) return;
  const std::optional<NodeKind> root = node_kind_of(tree, tree.root);
  if (!root) return;
  if (*root == NodeKind::OtherStmt) {
    apply_alter_session(statement);
    return;
  }
  switch (*root) {
    case NodeKind::CreateTable:
    case NodeKind::CreateView:
    case NodeKind::CreateMview:
    case NodeKind::CreateSequence:
    case NodeKind::CreateSynonym:
    case NodeKind::CreatePackage:
    case NodeKind::CreateProcedure:
    case NodeKind::CreateFunction:
    case NodeKind::CreateTrigger:
    case NodeKind::CreateType:
    case NodeKind::AlterTable:
      break;
    default:
      return;
  }
  const std::optional<uint32_t> name_node = child_node(tree, tree.root, NodeKind::ObjectName);
  if (!name_node) return;
  const std::optional<views::QualifiedName> name =
      views::object_name(tree, *name_node, statement.text);
  if (!name) return;
  switch (*root) {
    case NodeKind::CreateTable:
      apply_create_table(statement, *name);
      break;
    case NodeKind::CreateView:
      apply_create_view(statement, ObjectKind::View, *name);
      break;
    case NodeKind::CreateMview:
      apply_create_view(statement, ObjectKind::MaterializedView, *name);
      break;
    case NodeKind::CreateSequence:
      store_object(statement.catalog, new_object(statement, ObjectKind::Sequence, *name));
      break;
    case NodeKind::CreateSynonym:
      apply_create_synonym(statement, *name);
      break;
    case NodeKind::CreatePackage:
      apply_create_package(statement, *name);
      break;
    case NodeKind::CreateProcedure:
      store_object(statement.catalog, new_object(statement, ObjectKind::Procedure, *name));
      break;
    case NodeKind::CreateFunction:
      store_object(statement.catalog, new_object(statement, ObjectKind::Function, *name));
      break;
    case NodeKind::CreateTrigger:
      apply_create_trigger(statement, *name);
      break;
    case NodeKind::CreateType:
      apply_create_type(statement, *name);
      break;
    case NodeKind::AlterTable:
      apply_alter_table(statement, *name);
      break;
    default:
      break;
  }
}

// One item of the script in order: a CONNECT command changes the schema, a statement
// without error diagnostics is applied; a client command's statement slot is not read.
void apply_item(Catalog& catalog, std::string_view file_name, std::string_view text,
                const lexer::ScriptItem& item, const parser::ParsedStatement* parsed,
                std::string& schema, CatalogDetail detail) {
  if (item.kind == lexer::ScriptItemKind::SqlPlus) {
    if (item.command == "CONNECT" && item.start <= item.end && item.end <= text.size()) {
      if (std::optional<std::string> user =
              lexer::connect_user(text.substr(item.start, item.end - item.start))) {
        schema = std::move(*user);
      }
    }
    return;
  }
  if (parsed == nullptr || has_error(*parsed)) return;
  Statement statement{parsed->tree, text, file_name, schema, catalog, detail};
  apply_statement(statement);
}

}  // namespace

std::string build_catalog(Catalog& catalog, std::string_view file_name, std::string_view text,
                          std::string_view schema, const lexer::ParseOptions& options) {
  std::string current(schema);
  const lexer::SplitResult split = lexer::split_script(text);
  // One statement alive at a time: the whole script's trees are never held together.
  for (const lexer::ScriptItem& item : split.items) {
    if (item.kind == lexer::ScriptItemKind::SqlPlus) {
      apply_item(catalog, file_name, text, item, nullptr, current, CatalogDetail::Full);
      continue;
    }
    const std::optional<parser::ParsedStatement> parsed =
        parser::parse_item_with_lexer_errors(text, split, item, options);
    apply_item(catalog, file_name, text, item, parsed ? &*parsed : nullptr, current,
               CatalogDetail::Full);
  }
  return current;
}

std::string build_catalog_from_parsed(Catalog& catalog, std::string_view file_name,
                                      std::string_view text,
                                      std::span<const lexer::ScriptItem> items,
                                      std::span<const parser::ParsedStatement* const> statements,
                                      std::string_view schema, CatalogDetail detail) {
  if (items.size() != statements.size()) {
    syntax::stop("build_catalog_from_parsed: one statement slot per item expected");
  }
  std::string current(schema);
  for (std::size_t i = 0; i < items.size(); ++i) {
    apply_item(catalog, file_name, text, items[i], statements[i], current, detail);
  }
  return current;
}

}  // namespace veltrane::catalog
