#include "resolve/resolve_statement.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "resolve/walker.hpp"
#include "syntax/kinds.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree_reads.hpp"
#include "syntax/walk.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve {

namespace detail {

using syntax::NodeKind;
using syntax::TokenKind;

Walker::Walker(const syntax::Tree& tree, std::string_view text, const ResolveContext& context,
               IdentifierSink& sink)
    : tree_(tree),
      text_(text),
      context_(context),
      sink_(sink),
      plsql_(names_.table(), context.own_spec),
      sql_(names_.table()) {
  // About one token in sixty is the first of its spelling; room for one in sixteen keeps
  // the tables from growing in most trees, and sparse enough for short probes. A tree of
  // many more tokens is most often one long unit of few names, which grows its tables if
  // it needs to.
  constexpr std::size_t TOKENS_PER_NAME = 16;
  constexpr std::size_t MOST_NAMES = 4096;
  // A tree of fewer tokens than that reserves nothing: its tables start as small as a
  // reservation would make them, and many such statements read no name at all.
  const std::size_t names = std::min(tree.tokens.size() / TOKENS_PER_NAME, MOST_NAMES);
  if (names > 0) {
    names_.reserve(names);
    // The walk's stacks and lists grow in small steps otherwise, each a new block and a
    // copy; this room is what most trees of that size use.
    tasks_.reserve(64);
    lists_in_walk_.reserve(16);
    plsql_.reserve(names);
    catalog_answers_.reserve(names);
    saved_.reserve(16);
    type_name_tokens_.reserve(8);
  }
}

std::string_view Walker::read_name(uint32_t token) { return names_.text(name_of(token)); }

catalog::Resolved Walker::lookup_object(const NumberedPart* owner, const NumberedPart& name) {
  if (owner != nullptr) {
    return context_.catalog.resolve(context_.default_owner, owner->text, name.text);
  }
  if (name.name >= catalog_answers_.size()) catalog_answers_.resize(names_.table().size());
  CatalogAnswer& answer = catalog_answers_[name.name];
  if (!answer.asked) {
    answer.resolved = context_.catalog.resolve(context_.default_owner, std::nullopt, name.text);
    answer.asked = true;
  }
  return answer.resolved;
}

const PackageSpec* Walker::package_spec(std::string_view owner, std::string_view name) {
  if (context_.package_specs.empty()) return nullptr;
  key_buffer_.clear();
  key_buffer_ += owner;
  key_buffer_ += '.';
  key_buffer_ += name;
  const auto found = context_.package_specs.find(key_buffer_);
  return found == context_.package_specs.end() ? nullptr : &found->second;
}

bool Walker::is_word_token(uint32_t token, std::string_view upper_word) const {
  return views::is_word(tree_, token, text_, upper_word);
}

std::optional<uint32_t> Walker::first_significant_token(uint32_t node) {
  return syntax::edge_token(tree_, node, syntax::WalkTokens::Significant, syntax::WalkOrder::Source,
                            walk_stack_);
}

std::optional<uint32_t> Walker::last_token(uint32_t node) {
  return syntax::edge_token(tree_, node, syntax::WalkTokens::All, syntax::WalkOrder::Reverse,
                            walk_stack_);
}

uint32_t Walker::leading_name_ref(uint32_t node) const {
  uint32_t current = node;
  while (true) {
    if (is_kind(current, NodeKind::NameRef)) return current;
    std::optional<uint32_t> first;
    for (const syntax::Child entry : syntax::children(tree_, current)) {
      if (!syntax::is_token_entry(entry)) {
        first = syntax::entry_index(entry);
        break;
      }
    }
    if (!first) return NONE;
    current = *first;
  }
}

void Walker::push_entries(std::span<const syntax::Child> entries, uint8_t flags, uint32_t target) {
  // Back to front, so that the children run in source order; a leaf whose visit does
  // nothing gets no task. A child that only walks its children is entered in place: its
  // list is read to its start, with the flags its visit would give (only the alias-clause
  // flag goes on), and then the list it stands in goes on; a list with
  // nothing left before that child is not kept, so that a chain nested down its first
  // children (a + b + c ...) keeps no list per level.
  lists_in_walk_.clear();
  std::size_t position = entries.size();
  while (true) {
    if (position == 0) {
      if (lists_in_walk_.empty()) return;
      const ListInWalk& outer = lists_in_walk_.back();
      entries = outer.entries;
      position = outer.position;
      flags = outer.flags;
      lists_in_walk_.pop_back();
      continue;
    }
    const syntax::Child entry = entries[--position];
    if (syntax::is_token_entry(entry)) continue;
    const uint32_t index = syntax::entry_index(entry);
    const syntax::Node& child = tree_.nodes[index];
    // By index rather than an optional: this and the visit's read below are the walk's
    // hottest reads.
    const std::size_t kind_index = syntax::node_kind_index(child.kind);
    if (kind_index >= syntax::NODE_KIND_COUNT) continue;
    switch (CHILD_ROLES[kind_index]) {
      case ChildRole::Skip:
        continue;
      case ChildRole::Push:
        push(Step::Visit, index, flags, NONE, target);
        continue;
      case ChildRole::PushName:
        push(Step::VisitName, index, flags, NONE, target);
        continue;
      case ChildRole::PushLabeled:
        push(Step::Visit, index, flags, label_before(entries, position), target);
        continue;
      case ChildRole::Enter:
        if (position > 0) lists_in_walk_.push_back(ListInWalk{entries, position, flags});
        entries = syntax::children(tree_, index);
        position = entries.size();
        flags &= ALIAS_CLAUSE;
        continue;
    }
  }
}

uint32_t Walker::label_before(std::span<const syntax::Child> entries, std::size_t position) const {
  // The Label node written directly before the entry, with only trivia between.
  while (position-- > 0) {
    const syntax::Child entry = entries[position];
    const uint32_t index = syntax::entry_index(entry);
    if (syntax::is_token_entry(entry)) {
      if (syntax::is_trivia(tree_.tokens[index].kind)) continue;
      return NONE;
    }
    return is_kind(index, NodeKind::Label) ? index : NONE;
  }
  return NONE;
}

void Walker::save_and_push_restore() {
  saved_.push_back(Saved{parent_, sql_floor_, ctes_.size(), in_statement_});
  push(Step::Restore, NONE);
}

uint32_t Walker::add_identifier(std::string_view name, uint32_t token, TypeWord type,
                                IdentifierUsage usage) {
  const syntax::TreeToken& tree_token = tree_.tokens[token];
  const uint32_t id = next_id_++;
  // The name's text stays where the walk's names keep it.
  sink_.take(IdentifierView{name, type_word_text(type), tree_token.start, tree_token.end, id,
                            parent_, usage});
  return id;
}

uint32_t Walker::add_statement(std::string_view type, uint32_t node, uint32_t start_token) {
  // The end of the node's span: the end of its last token, trivia included.
  const std::optional<uint32_t> last = last_token(node);
  const uint32_t id = next_id_++;
  statements_.push_back(
      StatementRecord{type, tree_.tokens[start_token].start,
                      last ? tree_.tokens[*last].end : tree_.tokens[start_token].end, id, parent_});
  return id;
}

void Walker::begin_statement(std::string_view type, uint32_t node) {
  save_and_push_restore();
  in_statement_ = true;
  const std::optional<uint32_t> start = first_significant_token(node);
  if (start) parent_ = add_statement(type, node, *start);
}

std::optional<TypeWord> object_type_word(catalog::ObjectKind kind) {
  switch (kind) {
    case catalog::ObjectKind::Table:
      return TypeWord::Table;
    case catalog::ObjectKind::View:
      return TypeWord::View;
    case catalog::ObjectKind::MaterializedView:
      return TypeWord::MaterializedView;
    case catalog::ObjectKind::Sequence:
      return TypeWord::Sequence;
    case catalog::ObjectKind::Package:
      return TypeWord::Package;
    case catalog::ObjectKind::Procedure:
      return TypeWord::Procedure;
    case catalog::ObjectKind::Function:
      return TypeWord::Function;
    default:
      return std::nullopt;
  }
}

// Walker::run's switches over Step and Visit have no default, so that a value without a case
// is caught by the compiler in every build, warnings made errors or not; and -Wswitch-enum
// asks for a case of every value even beside a default, so that a default added while a
// case is dropped is caught too.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
#pragma GCC diagnostic error "-Wswitch-enum"

std::vector<StatementRecord> Walker::run() {
  if (tree_.nodes.empty()) return {};
  visit_root(tree_.root);
  while (!tasks_.empty()) {
    const uint64_t head = tasks_.back().head;
    const uint64_t tail = tasks_.back().tail;
    const Task task = unpack_task(head, tail);
    tasks_.pop_back();
    switch (task.step) {
      case Step::Visit:
        break;
      case Step::VisitName:
        visit_name_ref(task);
        continue;
      case Step::VisitSelect:
        visit_query(task, true);
        continue;
      case Step::VisitBlockPass2:
        visit_query_block_pass2(task);
        continue;
      case Step::VisitClaimed:
        push_children(task.node, task.flags, NONE);
        continue;
      case Step::VisitOpaqueFrame:
        visit_opaque_frame(task);
        continue;
      case Step::EnterEntry:
        plsql_.enter(task.node, static_cast<TypeWord>(task.extra));
        continue;
      case Step::AddItem:
        sql_.add_item(std::move(pending_items_[task.extra]));
        continue;
      case Step::AddCte:
        add_cte_name(task.node);
        continue;
      case Step::OpenSqlFrame:
        sql_.open_frame();
        if (task.extra != NONE) sql_.add_item(pending_items_[task.extra]);
        continue;
      case Step::CloseSqlFrame:
        sql_.close_frame();
        continue;
      case Step::ClosePlsqlFrame:
        plsql_.close_frame();
        continue;
      case Step::Restore: {
        if (saved_.empty()) syntax::stop("resolution state restored twice");
        const Saved saved = saved_.back();
        saved_.pop_back();
        parent_ = saved.parent;
        sql_floor_ = saved.sql_floor;
        in_statement_ = saved.in_statement;
        while (ctes_.size() > saved.cte_count) {
          auto found = cte_nodes_.find(ctes_.back());
          if (found != cte_nodes_.end() && !found->second.empty()) found->second.pop_back();
          ctes_.pop_back();
        }
        continue;
      }
    }
    // Visit: by the node's kind.
    const std::size_t kind_index = syntax::node_kind_index(tree_.nodes[task.node].kind);
    if (kind_index >= syntax::NODE_KIND_COUNT) continue;
    const auto kind = static_cast<NodeKind>(kind_index);
    // A case for every visit, and no default: a visit added or left without its case is a
    // compile error (see the pragmas above).
    switch (VISITS[kind_index]) {
      case Visit::Inert:
      case Visit::ClaimedClause:
        break;
      case Visit::Children:
        push_children(task.node, task.flags & ALIAS_CLAUSE, task.target);
        break;
      case Visit::SqlStatement:
        visit_sql_statement(task, kind);
        break;
      case Visit::Name:
        visit_name_ref(task);
        break;
      case Visit::Call:
        visit_call(task);
        break;
      case Visit::TypeName:
        resolve_type_name(task.node);
        break;
      case Visit::Declaration:
        visit_declaration(task.node);
        break;
      case Visit::Cursor:
        visit_cursor(task.node);
        break;
      case Visit::Subprogram:
        visit_subprogram(task.node);
        break;
      case Visit::Label:
        visit_label(task.node);
        break;
      case Visit::Frame:
        visit_frame_node(task, kind);
        break;
      case Visit::LabelStatement:
        visit_label_statement(task.node);
        break;
      case Visit::Assign:
        visit_assign(task);
        break;
      case Visit::Into:
        visit_targets_after_word(task, {});
        break;
      case Visit::Returning:
        visit_targets_after_word(task, "INTO");
        break;
      case Visit::Using:
        visit_using(task);
        break;
      case Visit::PlsqlStatement:
        visit_plsql_statement(task, kind);
        break;
      case Visit::Open:
        visit_open(task);
        break;
      case Visit::Query:
        visit_query(task, false);
        break;
      case Visit::QueryBlock:
        visit_query_block(task);
        break;
      case Visit::TableRef:
        visit_table_ref(task);
        break;
      case Visit::Cte:
        visit_cte(task);
        break;
      case Visit::InsertInto:
        visit_insert_into(task);
        break;
      case Visit::SetItem:
        visit_set_item(task);
        break;
      case Visit::ColumnList:
        visit_column_list(task);
        break;
      case Visit::InsertWhen:
        visit_insert_when(task);
        break;
      case Visit::MultiInsert:
        visit_multi_insert(task);
        break;
      case Visit::ErrorLogging:
        visit_error_logging(task);
        break;
      case Visit::ArgTail:
        visit_arg_tail(task);
        break;
      case Visit::TriggerOn:
        visit_trigger_on(task);
        break;
    }
  }
  return std::move(statements_);
}

#pragma GCC diagnostic pop

}  // namespace detail

std::string_view usage_name(IdentifierUsage usage) {
  const auto index = static_cast<std::size_t>(usage);
  if (index >= USAGE_NAMES.size()) syntax::stop("identifier usage out of range");
  return USAGE_NAMES[index];
}

namespace {

// Keeps every identifier record in a list, in the order they come.
class ListSink final : public IdentifierSink {
 public:
  explicit ListSink(std::vector<IdentifierRecord>& list) : list_(list) {}
  void take(const IdentifierView& record) override {
    list_.push_back(IdentifierRecord{std::string(record.name), record.type, record.start,
                                     record.end, record.id, record.parent, record.usage});
  }

 private:
  std::vector<IdentifierRecord>& list_;
};

}  // namespace

ResolvedRecords resolve_statement(const parser::ParsedStatement& statement, std::string_view text,
                                  const ResolveContext& context) {
  ResolvedRecords records;
  ListSink sink(records.identifiers);
  records.statements = resolve_statement(statement, text, context, sink);
  return records;
}

std::vector<StatementRecord> resolve_statement(const parser::ParsedStatement& statement,
                                               std::string_view text, const ResolveContext& context,
                                               IdentifierSink& sink) {
  detail::Walker walker(statement.tree, text, context, sink);
  return walker.run();
}

}  // namespace veltrane::resolve
