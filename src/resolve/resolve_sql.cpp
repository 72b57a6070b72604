// SQL statements, queries, table items and column names.

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "resolve/walker.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"
#include "views/name_path.hpp"
#include "views/query_columns.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve::detail {

using syntax::NodeKind;

namespace {

std::string_view statement_word(NodeKind kind) {
  switch (kind) {
    case NodeKind::SelectStmt:
      return "SELECT";
    case NodeKind::InsertStmt:
      return "INSERT";
    case NodeKind::UpdateStmt:
      return "UPDATE";
    case NodeKind::DeleteStmt:
      return "DELETE";
    case NodeKind::MergeStmt:
      return "MERGE";
    case NodeKind::CommitStmt:
      return "COMMIT";
    case NodeKind::RollbackStmt:
      return "ROLLBACK";
    case NodeKind::SavepointStmt:
      return "SAVEPOINT";
    case NodeKind::SetTransactionStmt:
      return "SET TRANSACTION";
    case NodeKind::LockTableStmt:
      return "LOCK TABLE";
    default:
      return "CALL";
  }
}

bool is_tail_clause(std::optional<NodeKind> kind) {
  return kind == NodeKind::OrderBy || kind == NodeKind::OffsetClause ||
         kind == NodeKind::FetchClause;
}

// The target TableRef of the MERGE whose SetItem (MergeMatched > SetClause > SetItem) or
// INSERT column list (MergeNotMatched > ColumnList) `node` is; none elsewhere.
std::optional<uint32_t> merge_target(const Walker& walker, uint32_t node) {
  const syntax::Tree& tree = walker.tree_;
  for (int up = 0; up < 3; ++up) {
    node = tree.nodes[node].parent;
    if (node == syntax::NO_PARENT) return std::nullopt;
    const std::optional<NodeKind> kind = walker.kind_of(node);
    if (kind == NodeKind::MergeStmt) {
      return syntax::child_of_kind(tree, node, syntax::syntax_kind(NodeKind::TableRef));
    }
    if (kind != NodeKind::MergeMatched && kind != NodeKind::MergeNotMatched &&
        kind != NodeKind::SetClause) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// Opens, now, a frame holding the MERGE target alone, with the floor at it, so that only
// the target's columns are found there; the frame closes and the floor comes back once
// the tasks pushed after this call have run.
void open_target_frame(Walker& walker, uint32_t target) {
  walker.save_and_push_restore();
  walker.push(Step::CloseSqlFrame, NONE);
  walker.sql_floor_ = walker.sql_.frame_count();
  walker.sql_.open_frame();
  walker.sql_.add_item(walker.table_item(target, false));
}

}  // namespace

void Walker::visit_sql_statement(const Task& task, NodeKind kind) {
  switch (kind) {
    case NodeKind::InsertStmt:
      visit_insert(task);
      return;
    case NodeKind::UpdateStmt:
    case NodeKind::DeleteStmt:
    case NodeKind::MergeStmt:
      visit_dml(task, kind);
      return;
    case NodeKind::CommitStmt:
    case NodeKind::RollbackStmt:
    case NodeKind::SavepointStmt:
    case NodeKind::SetTransactionStmt:
      begin_statement(statement_word(kind), task.node);
      return;
    case NodeKind::CallStmt:
      begin_statement(statement_word(kind), task.node);
      visit_targets_after_word(Task{Step::Visit, 0, task.node, NONE, NONE}, "INTO");
      return;
    default:  // SELECT, LOCK TABLE
      begin_statement(statement_word(kind), task.node);
      push_children(task.node, 0, NONE);
      return;
  }
}

void Walker::visit_dml(const Task& task, NodeKind kind) {
  begin_statement(statement_word(kind), task.node);
  sql_.open_frame();
  // Pass 1 (the table items), then pass 2 (the rest), then the frame closes.
  const auto in_pass1 = [&](uint32_t child) {
    const std::optional<NodeKind> child_kind = kind_of(child);
    return child_kind == NodeKind::TableRef || child_kind == NodeKind::FromClause ||
           child_kind == NodeKind::MergeUsing || child_kind == NodeKind::MergeOn;
  };
  push_in_order([&] {
    for (const bool pass1 : {true, false}) {
      for (const syntax::Child entry : syntax::children(tree_, task.node)) {
        if (syntax::is_token_entry(entry)) continue;
        const uint32_t child = syntax::entry_index(entry);
        if (in_pass1(child) == pass1) push(Step::Visit, child);
      }
    }
    push(Step::CloseSqlFrame, NONE);
  });
}

void Walker::visit_insert(const Task& task) {
  begin_statement("INSERT", task.node);
  std::optional<uint32_t> target;
  if (const std::optional<uint32_t> into =
          syntax::child_of_kind(tree_, task.node, syntax::syntax_kind(NodeKind::InsertInto))) {
    target = syntax::child_of_kind(tree_, *into, syntax::syntax_kind(NodeKind::TableRef));
  }
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (is_kind(child, NodeKind::ReturningClause)) {
        // RETURNING against a frame holding the target alone.
        uint32_t pending = NONE;
        if (target) {
          pending = static_cast<uint32_t>(pending_items_.size());
          pending_items_.push_back(table_item(*target, false));
        }
        push(Step::OpenSqlFrame, NONE, 0, pending);
        push(Step::Visit, child);
        push(Step::CloseSqlFrame, NONE);
      } else {
        push(Step::Visit, child);
      }
    }
  });
}

void Walker::visit_insert_into(const Task& task) {
  // INTO target [(columns)] [VALUES (...)]: the columns against a frame holding the target
  // alone; a single-table VALUES has no frame, a multi-table one a frame of one opaque
  // item.
  const bool multi_table = (task.flags & MULTI_TABLE) != 0;
  push_in_order([&] {
    bool frame_open = false;
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      const std::optional<NodeKind> kind = kind_of(child);
      if (kind == NodeKind::TableRef && !frame_open) {
        push(Step::OpenSqlFrame, NONE);
        push(Step::Visit, child);
        frame_open = true;
        continue;
      }
      if (kind == NodeKind::ColumnList) {
        push(Step::Visit, child);
        continue;
      }
      if (frame_open) {
        push(Step::CloseSqlFrame, NONE);
        frame_open = false;
      }
      push(multi_table && kind == NodeKind::ValuesClause ? Step::VisitOpaqueFrame : Step::Visit,
           child);
    }
    if (frame_open) push(Step::CloseSqlFrame, NONE);
  });
}

void Walker::visit_set_item(const Task& task) {
  // SET column = value | SET (columns) = (query): the left side names columns only; in
  // MERGE's UPDATE, columns of the target only: it is walked first, in a frame holding
  // the target alone, and the right side after that frame is closed.
  const std::optional<uint32_t> target = merge_target(*this, task.node);
  uint32_t left_node = NONE;
  push_in_order([&] {
    bool left = true;
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      if (left && target) {
        left_node = syntax::entry_index(entry);
      } else {
        push(Step::Visit, syntax::entry_index(entry), left ? COLUMN_ONLY : 0);
      }
      left = false;
    }
  });
  // The left side of MERGE's SET runs first, in its frame.
  if (left_node == NONE) return;
  open_target_frame(*this, *target);
  push(Step::Visit, left_node, COLUMN_ONLY);
}

void Walker::visit_column_list(const Task& task) {
  // The columns of an INSERT target, of MERGE's INSERT and of a SET (a, b) = (...) name
  // columns only; those of MERGE's INSERT name columns of the target only, found in a
  // frame holding the target alone, above which no name is found.
  const uint32_t parent = tree_.nodes[task.node].parent;
  const std::optional<NodeKind> parent_kind =
      parent == syntax::NO_PARENT ? std::nullopt : kind_of(parent);
  if (parent_kind == NodeKind::MergeNotMatched) {
    if (const std::optional<uint32_t> target = merge_target(*this, task.node)) {
      open_target_frame(*this, *target);
      push_children(task.node, COLUMN_ONLY, task.target);
      return;
    }
  }
  const bool columns = (task.flags & COLUMN_ONLY) != 0 || parent_kind == NodeKind::InsertInto ||
                       parent_kind == NodeKind::MergeNotMatched;
  push_children(task.node, columns ? COLUMN_ONLY : task.flags & ALIAS_CLAUSE, task.target);
}

// The ForUpdate that follows a Query among its parent's children, if any.
static std::optional<uint32_t> for_update_after(const syntax::Tree& tree, uint32_t query) {
  const uint32_t parent = tree.nodes[query].parent;
  if (parent == syntax::NO_PARENT) return std::nullopt;
  bool seen = false;
  for (const syntax::Child entry : syntax::children(tree, parent)) {
    if (syntax::is_token_entry(entry)) {
      if (seen && !syntax::is_trivia(tree.tokens[syntax::entry_index(entry)].kind)) {
        return std::nullopt;
      }
      continue;
    }
    const uint32_t child = syntax::entry_index(entry);
    if (seen) {
      return views::is_node(tree, child, NodeKind::ForUpdate) ? std::optional<uint32_t>(child)
                                                              : std::nullopt;
    }
    seen = child == query;
  }
  return std::nullopt;
}

void Walker::visit_query(const Task& task, bool force_record) {
  if (force_record || !in_statement_) {
    begin_statement("SELECT", task.node);
  }
  save_and_push_restore();
  // The operands: one QueryBlock walks the Query's ORDER BY, OFFSET, FETCH and FOR UPDATE
  // as its last clauses.
  uint32_t single_block = NONE;
  uint32_t operands = 0;
  for (const syntax::Child entry : syntax::children(tree_, task.node)) {
    if (syntax::is_token_entry(entry)) continue;
    const uint32_t child = syntax::entry_index(entry);
    const std::optional<NodeKind> kind = kind_of(child);
    if (kind == NodeKind::WithClause) {
      if (syntax::child_of_kind(tree_, child, syntax::syntax_kind(NodeKind::DeclareSection))) {
        // WITH FUNCTION ...: visible to the end of the Query.
        plsql_.open_frame(NameTable::NONE, TypeWord::Label);
        push(Step::ClosePlsqlFrame, NONE);
      }
      continue;
    }
    if (is_tail_clause(kind)) continue;
    ++operands;
    if (kind == NodeKind::QueryBlock) single_block = child;
  }
  if (operands != 1) single_block = NONE;
  const std::optional<uint32_t> for_update = for_update_after(tree_, task.node);
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      const std::optional<NodeKind> kind = kind_of(child);
      if (is_tail_clause(kind)) {
        // After a set operator, the names of the first operand's select list are columns.
        if (single_block == NONE) {
          const auto pending = static_cast<uint32_t>(pending_items_.size());
          pending_items_.push_back(
              SqlItem{{}, nullptr, true, views::query_columns(tree_, task.node, text_).names});
          push(Step::VisitOpaqueFrame, child, 0, pending);
        }
        continue;
      }
      push(Step::Visit, child, child == single_block ? CLAIMS : 0);
    }
    if (for_update && single_block == NONE) push(Step::VisitOpaqueFrame, *for_update);
  });
}

void Walker::visit_query_block(const Task& task) {
  sql_.open_frame();
  // Select-list aliases, for GROUP BY, HAVING and ORDER BY.
  if (const std::optional<uint32_t> list =
          syntax::child_of_kind(tree_, task.node, syntax::syntax_kind(NodeKind::SelectList))) {
    for (const syntax::Child entry : syntax::children(tree_, *list)) {
      if (syntax::is_token_entry(entry)) continue;
      const std::optional<uint32_t> alias = syntax::child_of_kind(
          tree_, syntax::entry_index(entry), syntax::syntax_kind(NodeKind::Alias));
      if (!alias) continue;
      std::optional<uint32_t> last;
      for (const syntax::Child token : syntax::children(tree_, *alias)) {
        if (syntax::is_token_entry(token) && is_name_token(syntax::entry_index(token))) {
          last = syntax::entry_index(token);
        }
      }
      if (last) sql_.add_alias(name_of(*last));
    }
  }
  push_in_order([&] {
    // Pass 1: the items, in source order; then pass 2, the other clauses.
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (is_kind(child, NodeKind::FromClause)) push(Step::Visit, child);
    }
    push(Step::VisitBlockPass2, task.node);
    // Then the Query's ORDER BY, OFFSET, FETCH and FOR UPDATE, when this block claims them.
    if ((task.flags & CLAIMS) != 0) {
      const uint32_t query = tree_.nodes[task.node].parent;
      for (const syntax::Child entry : syntax::children(tree_, query)) {
        if (syntax::is_token_entry(entry)) continue;
        const uint32_t child = syntax::entry_index(entry);
        const std::optional<NodeKind> kind = kind_of(child);
        if (is_tail_clause(kind)) {
          push(Step::Visit, child, kind == NodeKind::OrderBy ? ALIAS_CLAUSE : 0);
        }
      }
      if (const std::optional<uint32_t> for_update = for_update_after(tree_, query)) {
        push(Step::VisitClaimed, *for_update);
      }
    }
    push(Step::CloseSqlFrame, NONE);
  });
}

void Walker::visit_query_block_pass2(const Task& task) {
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      const std::optional<NodeKind> kind = kind_of(child);
      if (kind == NodeKind::FromClause) continue;
      const bool alias_clause = kind == NodeKind::GroupBy || kind == NodeKind::Having;
      push(Step::Visit, child, alias_clause ? ALIAS_CLAUSE : 0);
    }
  });
}

void Walker::visit_opaque_frame(const Task& task) {
  sql_.open_frame();
  sql_.add_item(task.extra == NONE ? SqlItem{} : std::move(pending_items_[task.extra]));
  push_in_order([&] {
    push(is_kind(task.node, NodeKind::ForUpdate) ? Step::VisitClaimed : Step::Visit, task.node,
         task.flags);
    push(Step::CloseSqlFrame, NONE);
  });
}

void Walker::visit_insert_when(const Task& task) {
  // WHEN condition THEN INTO ...: the condition against one opaque item.
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (is_kind(child, NodeKind::InsertInto)) {
        push(Step::Visit, child, MULTI_TABLE);
      } else {
        push(Step::VisitOpaqueFrame, child);
      }
    }
  });
}

void Walker::visit_multi_insert(const Task& task) {
  // INSERT ALL | FIRST ... and ELSE INTO ...: each INTO a multi-table one.
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      push(Step::Visit, syntax::entry_index(entry), MULTI_TABLE);
    }
  });
}

void Walker::visit_error_logging(const Task& task) {
  // LOG ERRORS INTO table (tag) REJECT LIMIT n: the table name is no column.
  push_in_order([&] {
    bool table_name = true;
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (table_name && is_kind(child, NodeKind::NameRef)) {
        table_name = false;
        continue;
      }
      push(Step::Visit, child);
    }
  });
}

void Walker::visit_arg_tail(const Task& task) {
  // The mining functions' clauses that an argument's tail reads as names: COST MODEL
  // [AUTO] (PREDICTION(m COST MODEL USING *)) and OF ANOMALY (PREDICTION_PROBABILITY(OF
  // ANOMALY, 0 USING *)). Their words name nothing; the other entries are walked as the
  // children of any other node.
  const std::span<const syntax::Child> entries = syntax::children(tree_, task.node);
  constexpr std::size_t MOST_WORDS = 4;
  std::array<std::size_t, MOST_WORDS> words{};
  std::size_t word_count = 0;
  const auto mark = [&](std::size_t position) {
    if (word_count < MOST_WORDS) words[word_count++] = position;
  };
  bool after_of = false;
  bool after_model = false;
  constexpr std::size_t NO_COST = ~std::size_t{0};
  std::size_t cost = NO_COST;  // the position of a COST just before
  for (std::size_t position = 0; position < entries.size(); ++position) {
    const uint32_t index = syntax::entry_index(entries[position]);
    if (syntax::is_token_entry(entries[position])) {
      if (syntax::is_trivia(tree_.tokens[index].kind)) continue;
      after_of = is_word_token(index, "OF");
      after_model = false;
      cost = NO_COST;
      continue;
    }
    const uint32_t word = WalkNames::lone_word(tree_, index);
    const bool is_model = word != NONE && cost != NO_COST && is_word_token(word, "MODEL");
    if (word != NONE && ((after_of && is_word_token(word, "ANOMALY")) ||
                         (after_model && is_word_token(word, "AUTO")))) {
      mark(position);
    } else if (is_model) {
      mark(cost);
      mark(position);
    }
    after_of = false;
    after_model = is_model;
    cost = word != NONE && is_word_token(word, "COST") ? position : NO_COST;
  }
  // The runs between those words, the last first, so that they run in source order.
  std::size_t end = entries.size();
  for (std::size_t skipped = word_count; skipped > 0; --skipped) {
    const std::size_t word = words[skipped - 1];
    push_entries(entries.subspan(word + 1, end - word - 1), task.flags & ALIAS_CLAUSE, task.target);
    end = word;
  }
  push_entries(entries.first(end), task.flags & ALIAS_CLAUSE, task.target);
}

void Walker::visit_trigger_on(const Task& task) {
  if (const std::optional<uint32_t> name =
          syntax::child_of_kind(tree_, task.node, syntax::syntax_kind(NodeKind::NameRef))) {
    trigger_table(*name);
  }
}

SqlItem Walker::table_item(uint32_t table_ref, bool record) {
  SqlItem item;
  std::optional<uint32_t> primary;
  bool opaque_form = false;
  for (const syntax::Child entry : syntax::children(tree_, table_ref)) {
    const uint32_t index = syntax::entry_index(entry);
    if (syntax::is_token_entry(entry)) {
      if (is_word_token(index, "ONLY")) opaque_form = true;
      continue;
    }
    const std::optional<NodeKind> kind = kind_of(index);
    if (kind == NodeKind::Alias) {
      for (const syntax::Child token : syntax::children(tree_, index)) {
        if (syntax::is_token_entry(token) && is_name_token(syntax::entry_index(token))) {
          item.name = read_name(syntax::entry_index(token));
        }
      }
    } else if (kind == NodeKind::PivotClause || kind == NodeKind::UnpivotClause ||
               kind == NodeKind::MatchRecognize) {
      opaque_form = true;
    } else if (!primary) {
      primary = index;
    }
  }
  if (primary && is_kind(*primary, NodeKind::SubqueryRef)) {
    item.hidden_columns = subquery_columns(*primary);
    return item;
  }
  if (!primary || !is_kind(*primary, NodeKind::NameRef)) return item;
  const NumberedPath path = read_path(*primary);
  if (path.parts.empty()) return item;
  if (item.name.empty()) item.name = path.parts.back().text;
  if (!path.plain || path.star || path.link || path.parts.size() > 2) return item;
  const NumberedPart& last = path.parts.back();
  if (path.parts.size() == 1) {
    if (const std::optional<uint32_t> cte = visible_cte(last.text)) {
      item.hidden_columns = cte_columns(*cte);
      return item;
    }
  }
  const catalog::Resolved resolved =
      lookup_object(path.parts.size() == 2 ? &path.parts[0] : nullptr, last);
  if (resolved.synonym == nullptr && resolved.object == nullptr) return item;
  std::optional<TypeWord> word;
  if (resolved.synonym != nullptr) {
    word = TypeWord::Synonym;
  } else {
    word = object_type_word(resolved.object->kind);
  }
  if (record && word) add_identifier(last.text, last.token, *word, IdentifierUsage::Reference);
  if (resolved.object != nullptr && !resolved.object->columns_pending &&
      object_type_word(resolved.object->kind)) {
    item.object = resolved.object;
    item.opaque = opaque_form;
  }
  return item;
}

void Walker::visit_table_ref(const Task& task) {
  const auto pending = static_cast<uint32_t>(pending_items_.size());
  pending_items_.push_back(table_item(task.node, true));
  // The parts other than the primary name and the alias, in order; the item is added
  // before a PIVOT, UNPIVOT or MATCH_RECOGNIZE that reads its columns, else after all.
  push_in_order([&] {
    bool added = false;
    bool primary_seen = false;
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      const std::optional<NodeKind> kind = kind_of(child);
      if (kind == NodeKind::Alias) continue;
      if (kind == NodeKind::PivotClause || kind == NodeKind::UnpivotClause ||
          kind == NodeKind::MatchRecognize) {
        if (!added) push(Step::AddItem, NONE, 0, pending);
        added = true;
      } else if (!primary_seen) {
        primary_seen = true;
        if (kind == NodeKind::NameRef) continue;
      }
      push(Step::Visit, child);
    }
    if (!added) push(Step::AddItem, NONE, 0, pending);
  });
}

void Walker::trigger_table(uint32_t name_ref) {
  const NumberedPath path = read_path(name_ref);
  if (!path.plain || path.star || path.link || path.parts.empty() || path.parts.size() > 2) return;
  const NumberedPart& last = path.parts.back();
  if (is_word_token(last.token, "SCHEMA") || is_word_token(last.token, "DATABASE")) return;
  const catalog::Resolved resolved =
      lookup_object(path.parts.size() == 2 ? &path.parts[0] : nullptr, last);
  std::optional<TypeWord> word;
  if (resolved.synonym != nullptr) {
    word = TypeWord::Synonym;
  } else if (resolved.object != nullptr) {
    word = object_type_word(resolved.object->kind);
  }
  if (word) add_identifier(last.text, last.token, *word, IdentifierUsage::Reference);
}

void Walker::visit_cte(const Task& task) {
  // The query, then the name is seen.
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (is_kind(child, NodeKind::Query)) push(Step::Visit, child);
    }
    push(Step::AddCte, task.node);
  });
}

void Walker::add_cte_name(uint32_t cte) {
  for (const syntax::Child entry : syntax::children(tree_, cte)) {
    if (!syntax::is_token_entry(entry) || !is_name_token(syntax::entry_index(entry))) continue;
    std::string name(read_name(syntax::entry_index(entry)));
    auto found = cte_nodes_.find(name);
    if (found == cte_nodes_.end()) found = cte_nodes_.emplace(name, std::vector<uint32_t>{}).first;
    found->second.push_back(cte);
    ctes_.push_back(std::move(name));
    return;
  }
}

std::optional<uint32_t> Walker::visible_cte(std::string_view name) const {
  const auto found = cte_nodes_.find(name);
  if (found == cte_nodes_.end() || found->second.empty()) return std::nullopt;
  return found->second.back();
}

std::vector<std::string> Walker::subquery_columns(uint32_t subquery_ref) const {
  const std::optional<uint32_t> query =
      syntax::child_of_kind(tree_, subquery_ref, syntax::syntax_kind(NodeKind::Query));
  if (!query) return {};
  return views::query_columns(tree_, *query, text_).names;
}

std::vector<std::string> Walker::cte_columns(uint32_t cte) const {
  // name [(columns)] AS (query): the written columns, else the query's.
  if (const std::optional<uint32_t> list =
          syntax::child_of_kind(tree_, cte, syntax::syntax_kind(NodeKind::ColumnList))) {
    return views::column_list_names(tree_, *list, text_);
  }
  const std::optional<uint32_t> query =
      syntax::child_of_kind(tree_, cte, syntax::syntax_kind(NodeKind::Query));
  if (!query) return {};
  return views::query_columns(tree_, *query, text_).names;
}

void Walker::visit_name_ref(const Task& task) {
  const bool is_target = task.target == task.node;
  if (is_target || sql_.frame_count() <= sql_floor_) {
    resolve_plsql_name(task.node, is_target);
    return;
  }
  // One word alone, the most common name, is read without a list of parts.
  const uint32_t word = WalkNames::lone_word(tree_, task.node);
  if (word != NONE) {
    visit_column_word(names_.part_of(tree_, word, text_), task.flags);
    return;
  }
  const NumberedPath path = read_path(task.node);
  if (!path.plain || path.star || path.link || path.parts.empty()) return;
  const NumberedPart& first = path.parts[0];
  if (path.parts.size() == 1) {
    visit_column_word(first, task.flags);
    return;
  }
  if (path.parts.size() == 2) {
    if (const SqlItem* item = sql_.find_item(first.name, sql_floor_)) {
      const NumberedPart& column = path.parts[1];
      if (!item->opaque && item->object != nullptr &&
          std::any_of(item->object->columns.begin(), item->object->columns.end(),
                      [&](const catalog::Column& listed) { return listed.name == column.text; })) {
        add_identifier(column.text, column.token, TypeWord::Column, IdentifierUsage::Reference);
      }
      return;
    }
  }
  if ((task.flags & COLUMN_ONLY) == 0) resolve_plsql_path(path, false);
}

void Walker::visit_column_word(const NumberedPart& word, uint8_t flags) {
  // A column a frame's known item lists wins; a name no known item lists may be a PL/SQL
  // name, except where only a column can stand.
  if ((flags & ALIAS_CLAUSE) != 0 && sql_.is_alias(word.name)) return;
  switch (sql_.find_column(word.name, sql_floor_)) {
    case ColumnSearch::Found:
      add_identifier(word.text, word.token, TypeWord::Column, IdentifierUsage::Reference);
      return;
    case ColumnSearch::Hidden:
      return;
    case ColumnSearch::NotFound:
      if ((flags & COLUMN_ONLY) == 0) resolve_plsql_word(word, false);
      return;
  }
}

}  // namespace veltrane::resolve::detail
