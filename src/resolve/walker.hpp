#pragma once

// The resolution walk shared by resolve_statement.cpp (the loop, records and the generic
// steps), resolve_plsql.cpp (units, declarations, PL/SQL statements, PL/SQL names and
// types) and resolve_sql.cpp (SQL statements, queries, table items and columns).
//
// The walk is one loop over an explicit stack of tasks. A handler never recurses: it
// pushes the tasks of its children in reverse order, so that they run in source order
// (push_in_order writes them in the order they run and turns them over), and a scope node
// pushes its closing task before its children. Reordered walks (the items of a query block
// before its other clauses, a declaration entered after its default) are orders of pushed
// tasks. What a visit of each node kind does is the one list visit_of.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"
#include "resolve/scope.hpp"
#include "resolve/type_words.hpp"
#include "resolve/walk_names.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/walk.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve::detail {

inline constexpr uint32_t NONE = 0xFFFFFFFFu;

// The root kinds of the SQL statements that get a statement record: queries, DML,
// transaction control, LOCK TABLE and CALL.
[[nodiscard]] constexpr bool is_sql_statement_kind(syntax::NodeKind kind) {
  switch (kind) {
    case syntax::NodeKind::SelectStmt:
    case syntax::NodeKind::InsertStmt:
    case syntax::NodeKind::UpdateStmt:
    case syntax::NodeKind::DeleteStmt:
    case syntax::NodeKind::MergeStmt:
    case syntax::NodeKind::CommitStmt:
    case syntax::NodeKind::RollbackStmt:
    case syntax::NodeKind::SavepointStmt:
    case syntax::NodeKind::SetTransactionStmt:
    case syntax::NodeKind::LockTableStmt:
    case syntax::NodeKind::CallStmt:
      return true;
    default:
      return false;
  }
}

// The kinds whose visit does nothing: literals, binds, stars and other leaves that hold no
// name, and the statements that record nothing where they stand (DDL and the like).
[[nodiscard]] constexpr bool is_inert_leaf(syntax::NodeKind kind) {
  switch (kind) {
    case syntax::NodeKind::BindRef:
    case syntax::NodeKind::Literal:
    case syntax::NodeKind::Star:
    case syntax::NodeKind::Lexical:
    case syntax::NodeKind::PartitionExt:
    case syntax::NodeKind::SearchClause:
    case syntax::NodeKind::CycleClause:
    case syntax::NodeKind::PragmaDecl:
    case syntax::NodeKind::UnitOptions:
    case syntax::NodeKind::CallSpec:
    case syntax::NodeKind::ObjectName:
      return true;
    default:
      // DDL and other statements record nothing where they stand.
      return static_cast<uint16_t>(kind) < static_cast<uint16_t>(syntax::NodeKind::Query) &&
             !is_sql_statement_kind(kind);
  }
}

// What a visit of a node does, by the node's kind: the one list of the kinds that have a
// visit of their own. Walker::run switches over these values with a case for each (a value
// without one does not compile, a default beside them or not), and what push_children does
// with a child is derived from them, so a kind cannot both have a visit and be walked
// through in its place.
enum class Visit : uint8_t {
  Inert,           // nothing (is_inert_leaf)
  Children,        // its children only, entered in place where it stands as a child
  SqlStatement,    // visit_sql_statement
  Name,            // visit_name_ref
  Call,            // visit_call
  TypeName,        // resolve_type_name
  ClaimedClause,   // nothing where it stands: walked by the Query before it
  Declaration,     // visit_declaration
  Cursor,          // visit_cursor
  Subprogram,      // visit_subprogram
  Label,           // visit_label
  Frame,           // visit_frame_node; the Label node written before it goes with it
  LabelStatement,  // visit_label_statement
  Assign,          // visit_assign
  Into,            // visit_targets_after_word, every child a target
  Returning,       // visit_targets_after_word, the children after INTO targets
  Using,           // visit_using
  PlsqlStatement,  // visit_plsql_statement
  Open,            // visit_open
  Query,           // visit_query
  QueryBlock,      // visit_query_block
  TableRef,        // visit_table_ref
  Cte,             // visit_cte
  InsertInto,      // visit_insert_into
  SetItem,         // visit_set_item
  ColumnList,      // visit_column_list
  InsertWhen,      // visit_insert_when
  MultiInsert,     // visit_multi_insert
  ErrorLogging,    // visit_error_logging
  ArgTail,         // visit_arg_tail
  TriggerOn,       // visit_trigger_on; the last: VISIT_COUNT counts to it
};

inline constexpr std::size_t VISIT_COUNT = static_cast<std::size_t>(Visit::TriggerOn) + 1;

[[nodiscard]] constexpr Visit visit_of(syntax::NodeKind kind) {
  switch (kind) {
    case syntax::NodeKind::NameRef:
      return Visit::Name;
    case syntax::NodeKind::Call:
      return Visit::Call;
    case syntax::NodeKind::TypeName:
      return Visit::TypeName;
    case syntax::NodeKind::ForUpdate:
      return Visit::ClaimedClause;
    case syntax::NodeKind::VarDecl:
    case syntax::NodeKind::Param:
    case syntax::NodeKind::ExceptionDecl:
    case syntax::NodeKind::SubtypeDecl:
    case syntax::NodeKind::TypeDecl:
      return Visit::Declaration;
    case syntax::NodeKind::CursorDecl:
      return Visit::Cursor;
    case syntax::NodeKind::SubprogramDecl:
      return Visit::Subprogram;
    case syntax::NodeKind::Label:
      return Visit::Label;
    case syntax::NodeKind::Block:
    case syntax::NodeKind::ForLoop:
    case syntax::NodeKind::ForallStmt:
      return Visit::Frame;
    case syntax::NodeKind::ExitStmt:
    case syntax::NodeKind::ContinueStmt:
    case syntax::NodeKind::GotoStmt:
      return Visit::LabelStatement;
    case syntax::NodeKind::AssignStmt:
      return Visit::Assign;
    case syntax::NodeKind::IntoClause:
      return Visit::Into;
    case syntax::NodeKind::ReturningClause:
      return Visit::Returning;
    case syntax::NodeKind::UsingClause:
      return Visit::Using;
    case syntax::NodeKind::ExecuteImmediate:
    case syntax::NodeKind::FetchStmt:
    case syntax::NodeKind::CloseStmt:
      return Visit::PlsqlStatement;
    case syntax::NodeKind::OpenStmt:
      return Visit::Open;
    case syntax::NodeKind::Query:
      return Visit::Query;
    case syntax::NodeKind::QueryBlock:
      return Visit::QueryBlock;
    case syntax::NodeKind::TableRef:
      return Visit::TableRef;
    case syntax::NodeKind::Cte:
      return Visit::Cte;
    case syntax::NodeKind::InsertInto:
      return Visit::InsertInto;
    case syntax::NodeKind::SetItem:
      return Visit::SetItem;
    case syntax::NodeKind::ColumnList:
      return Visit::ColumnList;
    case syntax::NodeKind::InsertWhen:
      return Visit::InsertWhen;
    case syntax::NodeKind::MultiInsert:
    case syntax::NodeKind::InsertElse:
      return Visit::MultiInsert;
    case syntax::NodeKind::ErrorLogging:
      return Visit::ErrorLogging;
    case syntax::NodeKind::ArgTail:
      return Visit::ArgTail;
    case syntax::NodeKind::TriggerOn:
      return Visit::TriggerOn;
    default:
      if (is_sql_statement_kind(kind)) return Visit::SqlStatement;
      return is_inert_leaf(kind) ? Visit::Inert : Visit::Children;
  }
}

// visit_of by the kind's index, for the walk's hottest read.
inline constexpr std::array<Visit, syntax::NODE_KIND_COUNT> VISITS = [] {
  std::array<Visit, syntax::NODE_KIND_COUNT> visits{};
  for (std::size_t index = 0; index < visits.size(); ++index) {
    visits[index] = visit_of(static_cast<syntax::NodeKind>(index));
  }
  return visits;
}();

// Every visit of the list is some kind's: one left without a kind is a mapping lost.
static_assert(
    [] {
      std::array<bool, VISIT_COUNT> used{};
      for (const Visit visit : VISITS) used[static_cast<std::size_t>(visit)] = true;
      for (const bool is_used : used) {
        if (!is_used) return false;
      }
      return true;
    }(),
    "a visit that no node kind has");

// What push_children does with a child, by its kind's index: a table, as it asks for
// every child.
enum class ChildRole : uint8_t {
  Skip,         // an inert leaf: no task
  Push,         // a task of its own
  PushLabeled,  // a task of its own with the Label node written before it, if any
  PushName,     // a NameRef: a VisitName task, which needs no look at its kind
  Enter,        // its children pushed in its place (Visit::Children)
};

[[nodiscard]] constexpr ChildRole child_role(Visit visit) {
  switch (visit) {
    case Visit::Inert:
      return ChildRole::Skip;
    case Visit::Children:
      return ChildRole::Enter;
    case Visit::Frame:
      return ChildRole::PushLabeled;
    case Visit::Name:
      return ChildRole::PushName;
    default:
      return ChildRole::Push;
  }
}

inline constexpr std::array<ChildRole, syntax::NODE_KIND_COUNT> CHILD_ROLES = [] {
  std::array<ChildRole, syntax::NODE_KIND_COUNT> roles{};
  for (std::size_t index = 0; index < roles.size(); ++index)
    roles[index] = child_role(VISITS[index]);
  return roles;
}();

// The type word of a catalog object that a name resolves to; none for the other kinds.
[[nodiscard]] std::optional<TypeWord> object_type_word(catalog::ObjectKind kind);

enum class Step : uint8_t {
  Visit,             // node: by its kind
  VisitName,         // node: a NameRef
  VisitSelect,       // node: a Query that gets a SELECT record wherever it stands
  VisitBlockPass2,   // node: a QueryBlock's clauses other than its items
  VisitClaimed,      // node: ORDER BY, OFFSET, FETCH or FOR UPDATE walked inside a block
  VisitOpaqueFrame,  // node: walked inside a frame holding one opaque item
  EnterEntry,        // node: name number; extra: type word
  AddItem,           // node: a TableRef; extra: its resolved item in pending_items_
  AddCte,            // node: a Cte
  OpenSqlFrame,
  CloseSqlFrame,
  ClosePlsqlFrame,
  Restore,  // pops saved_ back into the walk state
};

enum TaskFlag : uint8_t {
  ALIAS_CLAUSE = 1,  // inside GROUP BY, HAVING or ORDER BY of the innermost block
  CLAIMS = 2,        // a QueryBlock that walks its Query's ORDER BY and FOR UPDATE
  MULTI_TABLE = 4,   // an InsertInto of a multi-table INSERT
  COLUMN_ONLY = 8,   // a name where only a column can stand: never a PL/SQL name
};

struct Task {
  Step step;
  uint8_t flags;
  uint32_t node;
  uint32_t extra;   // label node (Visit of a Block or loop), type word, pending item
  uint32_t target;  // the NameRef that is an assignment target below, NONE otherwise
};

// A task as the stack keeps it: two words, each written and read whole. A task is most
// often popped right after it was pushed, and a read of the same size as the write that
// made it is served straight from that write; a read of several smaller writes waits.
struct PackedTask {
  uint64_t head;  // step, flags and node
  uint64_t tail;  // extra and target
};

[[nodiscard]] inline PackedTask pack_task(const Task& task) {
  return PackedTask{static_cast<uint64_t>(task.step) | static_cast<uint64_t>(task.flags) << 8 |
                        static_cast<uint64_t>(task.node) << 32,
                    static_cast<uint64_t>(task.extra) | static_cast<uint64_t>(task.target) << 32};
}

[[nodiscard]] inline Task unpack_task(uint64_t head, uint64_t tail) {
  return Task{static_cast<Step>(head & 0xFF), static_cast<uint8_t>(head >> 8),
              static_cast<uint32_t>(head >> 32), static_cast<uint32_t>(tail),
              static_cast<uint32_t>(tail >> 32)};
}

// The walk state that scope nodes change and restore.
struct Saved {
  uint32_t parent;
  uint32_t sql_floor;
  std::size_t cte_count;
  bool in_statement;
};

class Walker {
 public:
  // `sink` takes each identifier record as it is made.
  Walker(const syntax::Tree& tree, std::string_view text, const ResolveContext& context,
         IdentifierSink& sink);

  // Walks the tree; returns the statement records.
  [[nodiscard]] std::vector<StatementRecord> run();

  // --- shared by the three files ---
  void push(Step step, uint32_t node, uint8_t flags = 0, uint32_t extra = NONE,
            uint32_t target = NONE) {
    tasks_.push_back(pack_task(Task{step, flags, node, extra, target}));
  }
  // Pushes the node children of `node` (every entry but tokens) in reverse, so they run
  // in source order; a Block or loop gets the Label node written directly before it, and
  // an inert leaf (is_inert_leaf) gets no task. A child whose visit would only push its own
  // children (Visit::Children) has them pushed in its place, as that visit would, at
  // any depth: the tasks and their order are the same, without a task for each such child.
  void push_children(uint32_t node, uint8_t flags, uint32_t target) {
    push_entries(syntax::children(tree_, node), flags, target);
  }
  // Calls `pushes`, which pushes tasks, and turns them over, so that they run in the order
  // `pushes` pushed them: a visit writes its tasks in the order they run.
  template <class Pushes>
  void push_in_order(Pushes&& pushes) {
    const std::size_t mark = tasks_.size();
    pushes();
    std::reverse(tasks_.begin() + static_cast<std::ptrdiff_t>(mark), tasks_.end());
  }
  // push_children of some of a node's entries.
  void push_entries(std::span<const syntax::Child> entries, uint8_t flags, uint32_t target);
  // The Label node written directly before entries[position], NONE when there is none.
  [[nodiscard]] uint32_t label_before(std::span<const syntax::Child> entries,
                                      std::size_t position) const;
  // Saves the walk state; a Restore task pushed now brings it back.
  void save_and_push_restore();

  uint32_t add_identifier(std::string_view name, uint32_t token, TypeWord type,
                          IdentifierUsage usage);
  uint32_t add_statement(std::string_view type, uint32_t node, uint32_t start_token);
  // Makes the statement record and walks what is inside under it.
  void begin_statement(std::string_view type, uint32_t node);

  // The identifier normal form of a token, valid for the walk.
  [[nodiscard]] std::string_view read_name(uint32_t token);
  // The name number of a token's identifier normal form.
  [[nodiscard]] uint32_t name_of(uint32_t token) { return names_.of_token(tree_, token, text_); }
  // The path of a NameRef (or ObjectName); its list of parts is valid until the next
  // read_path, the parts' texts for the walk.
  [[nodiscard]] NumberedPath read_path(uint32_t node) {
    return names_.read_path(tree_, node, text_);
  }
  // The catalog's object or synonym for a name, with the owner part written before it if
  // any (null for none). Without an owner the answer is kept by name number: a walk asks
  // again for every built-in type and function it meets, and the catalog does not change.
  [[nodiscard]] catalog::Resolved lookup_object(const NumberedPart* owner,
                                                const NumberedPart& name);
  // The package specification kept under package_key(owner, name), if any.
  [[nodiscard]] const PackageSpec* package_spec(std::string_view owner, std::string_view name);
  // Asked for every node the walk meets: kept in the header so that it costs no call.
  [[nodiscard]] std::optional<syntax::NodeKind> kind_of(uint32_t node) const {
    return syntax::as_node_kind(tree_.nodes[node].kind);
  }
  [[nodiscard]] bool is_kind(uint32_t node, syntax::NodeKind kind) const {
    return kind_of(node) == kind;
  }
  [[nodiscard]] std::optional<uint32_t> first_significant_token(uint32_t node);
  // The last token below the node, trivia included; none when it holds no token.
  [[nodiscard]] std::optional<uint32_t> last_token(uint32_t node);
  // The NameRef reached from `node` by taking first node children.
  [[nodiscard]] uint32_t leading_name_ref(uint32_t node) const;
  [[nodiscard]] bool is_word_token(uint32_t token, std::string_view upper_word) const;
  // Kept here: asked for many tokens of declarations and type names.
  [[nodiscard]] bool is_name_token(uint32_t token) const {
    return views::is_name_token(views::token_kind_of(tree_.tokens[token]));
  }

  // --- resolve_plsql.cpp ---
  void visit_root(uint32_t root);
  void visit_unit(uint32_t root, syntax::NodeKind kind);
  void visit_type_definition(uint32_t root);
  void visit_trigger_children(uint32_t root);
  void visit_declaration(uint32_t node);
  void visit_subprogram(uint32_t node);
  void visit_cursor(uint32_t node);
  void visit_frame_node(const Task& task, syntax::NodeKind kind);
  void visit_label(uint32_t node);
  void visit_label_statement(uint32_t node);
  void visit_assign(const Task& task);
  void visit_targets_after_word(const Task& task, std::string_view word);
  void visit_using(const Task& task);
  void visit_plsql_statement(const Task& task, syntax::NodeKind kind);
  void visit_open(const Task& task);
  void visit_call(const Task& task);
  void resolve_plsql_name(uint32_t name_ref, bool is_target);
  void resolve_plsql_path(const NumberedPath& path, bool is_target);
  // resolve_plsql_path of a name of one part.
  void resolve_plsql_word(const NumberedPart& word, bool is_target);
  // The records of a type written as a TypeName node.
  void resolve_type_name(uint32_t type_name) {
    resolve_type_entries(syntax::children(tree_, type_name));
  }
  // The records of a type written as the given entries (a TypeName's children, or the
  // tokens of a typed iterand's type).
  void resolve_type_entries(std::span<const syntax::Child> entries);
  // The types of the iterands of a FOR loop or iterator, as a declaration's type, and the
  // declaration of a second iterand, whose token it gives.
  std::optional<uint32_t> resolve_iterands(uint32_t for_loop);

  // --- resolve_sql.cpp ---
  void visit_sql_statement(const Task& task, syntax::NodeKind kind);
  void visit_dml(const Task& task, syntax::NodeKind kind);
  void visit_insert(const Task& task);
  void visit_insert_into(const Task& task);
  void visit_set_item(const Task& task);
  void visit_column_list(const Task& task);
  void visit_query(const Task& task, bool force_record);
  void visit_query_block(const Task& task);
  void visit_query_block_pass2(const Task& task);
  // A task's node walked inside a frame of one opaque item (pending_items_[task.extra], or
  // an item with nothing known when NONE).
  void visit_opaque_frame(const Task& task);
  void visit_insert_when(const Task& task);
  void visit_multi_insert(const Task& task);
  void visit_error_logging(const Task& task);
  void visit_arg_tail(const Task& task);
  void visit_trigger_on(const Task& task);
  void visit_table_ref(const Task& task);
  void visit_cte(const Task& task);
  void visit_name_ref(const Task& task);
  // A name of one part where SQL frames are open, with the flags of its task.
  void visit_column_word(const NumberedPart& word, uint8_t flags);
  // The item of a TableRef; makes its record when `record` is set.
  SqlItem table_item(uint32_t table_ref, bool record);
  void trigger_table(uint32_t name_ref);
  void add_cte_name(uint32_t cte);
  // The innermost visible WITH query of that name, if any.
  [[nodiscard]] std::optional<uint32_t> visible_cte(std::string_view name) const;
  // The column names an inline view or a WITH query gives.
  [[nodiscard]] std::vector<std::string> subquery_columns(uint32_t subquery_ref) const;
  [[nodiscard]] std::vector<std::string> cte_columns(uint32_t cte) const;

  // --- state ---
  const syntax::Tree& tree_;
  std::string_view text_;
  const ResolveContext& context_;
  std::vector<StatementRecord> statements_;
  IdentifierSink& sink_;
  uint32_t next_id_ = 1;
  uint32_t parent_ = 0;
  bool in_statement_ = false;
  uint32_t sql_floor_ = 0;
  std::vector<PackedTask> tasks_;
  // The child lists push_children has entered a child of and goes on with after it, each
  // with the position it goes on from and the flags of its children.
  struct ListInWalk {
    std::span<const syntax::Child> entries;
    std::size_t position;
    uint8_t flags;
  };
  std::vector<ListInWalk> lists_in_walk_;
  syntax::WalkStack walk_stack_;            // of first_significant_token and last_token
  std::vector<uint32_t> type_name_tokens_;  // the name tokens resolve_type_name reads
  std::vector<Saved> saved_;
  std::vector<SqlItem> pending_items_;
  std::vector<std::string> ctes_;             // visible WITH query names, in the order met
  NameMap<std::vector<uint32_t>> cte_nodes_;  // name to its visible Cte nodes, oldest first
  WalkNames names_;  // numbers the names of the scopes below: declared before them
  // By name number: the catalog's answer for the name without an owner, once asked.
  struct CatalogAnswer {
    catalog::Resolved resolved;
    bool asked = false;
  };
  std::vector<CatalogAnswer> catalog_answers_;
  PlsqlScopes plsql_;
  SqlScopes sql_;
  std::string key_buffer_;  // the last package key looked up
};

}  // namespace veltrane::resolve::detail
