// PL/SQL units, declarations and statements, PL/SQL names and the type rule.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "resolve/walker.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"
#include "views/name_path.hpp"
#include "views/tree_words.hpp"

namespace veltrane::resolve::detail {

using syntax::NodeKind;
using syntax::TokenKind;

namespace {

// The unit record's type word and usage by root kind.
struct UnitWord {
  TypeWord type;
  IdentifierUsage usage;
};

std::optional<UnitWord> unit_word(NodeKind kind) {
  switch (kind) {
    case NodeKind::CreatePackage:
      return UnitWord{TypeWord::Package, IdentifierUsage::Declaration};
    case NodeKind::CreatePackageBody:
      return UnitWord{TypeWord::Package, IdentifierUsage::Definition};
    case NodeKind::CreateProcedure:
      return UnitWord{TypeWord::Procedure, IdentifierUsage::Definition};
    case NodeKind::CreateFunction:
      return UnitWord{TypeWord::Function, IdentifierUsage::Definition};
    case NodeKind::CreateTrigger:
      return UnitWord{TypeWord::Trigger, IdentifierUsage::Definition};
    case NodeKind::CreateType:
      return UnitWord{TypeWord::Object, IdentifierUsage::Declaration};
    case NodeKind::CreateTypeBody:
      return UnitWord{TypeWord::Object, IdentifierUsage::Definition};
    default:
      return std::nullopt;
  }
}

IdentifierUsage final_usage(TypeWord type, bool is_target, bool calls) {
  if (is_target) return IdentifierUsage::Assignment;
  if (calls || is_subprogram(type)) return IdentifierUsage::Call;
  return IdentifierUsage::Reference;
}

bool object_is(const catalog::Resolved& resolved, catalog::ObjectKind kind) {
  return resolved.object != nullptr && resolved.object->kind == kind;
}

bool is_routine(const catalog::Resolved& resolved) {
  return object_is(resolved, catalog::ObjectKind::Procedure) ||
         object_is(resolved, catalog::ObjectKind::Function);
}

bool is_relation(const catalog::Resolved& resolved) {
  return object_is(resolved, catalog::ObjectKind::Table) ||
         object_is(resolved, catalog::ObjectKind::View) ||
         object_is(resolved, catalog::ObjectKind::MaterializedView);
}

// The type word of a catalog hit: SYNONYM when a synonym led there.
TypeWord hit_word(const catalog::Resolved& resolved) {
  if (resolved.synonym != nullptr) return TypeWord::Synonym;
  return object_type_word(resolved.object->kind).value_or(TypeWord::Table);
}

// The type word a catalog TYPE's own declaration record carries.
TypeWord declared_type_word(catalog::TypeShape shape) {
  switch (shape) {
    case catalog::TypeShape::NestedTable:
      return TypeWord::NestedTable;
    case catalog::TypeShape::Varray:
      return TypeWord::Varray;
    case catalog::TypeShape::Object:
      break;
  }
  return TypeWord::Object;
}

bool lists_column(const catalog::CatalogObject& object, std::string_view column) {
  return std::any_of(object.columns.begin(), object.columns.end(),
                     [&](const catalog::Column& listed) { return listed.name == column; });
}

}  // namespace

void Walker::visit_root(uint32_t root) {
  const std::optional<NodeKind> kind = kind_of(root);
  if (!kind) return;
  if (unit_word(*kind)) {
    visit_unit(root, *kind);
  } else if (*kind == NodeKind::AnonymousBlock) {
    // A frame for a label written before the block.
    plsql_.open_frame(NameTable::NONE, TypeWord::Label);
    push(Step::ClosePlsqlFrame, NONE);
    push_children(root, 0, NONE);
  } else if (is_sql_statement_kind(*kind)) {
    push(Step::Visit, root);
  } else if (*kind == NodeKind::CreateView || *kind == NodeKind::CreateMview ||
             *kind == NodeKind::CreateTable) {
    if (const std::optional<uint32_t> query =
            syntax::child_of_kind(tree_, root, syntax::syntax_kind(NodeKind::Query))) {
      push(Step::VisitSelect, *query);
    }
  }
}

void Walker::visit_unit(uint32_t root, NodeKind kind) {
  UnitWord word = *unit_word(kind);
  if (kind == NodeKind::CreateType) {
    if (const std::optional<uint32_t> collection =
            syntax::child_of_kind(tree_, root, syntax::syntax_kind(NodeKind::CollectionDef))) {
      bool holds_table = false;
      for (const syntax::Child entry : syntax::children(tree_, *collection)) {
        if (syntax::is_token_entry(entry) && is_word_token(syntax::entry_index(entry), "TABLE")) {
          holds_table = true;
        }
      }
      word.type = holds_table ? TypeWord::NestedTable : TypeWord::Varray;
    }
  }
  uint32_t name = NameTable::NONE;
  if (const std::optional<uint32_t> object_name =
          syntax::child_of_kind(tree_, root, syntax::syntax_kind(NodeKind::ObjectName))) {
    const NumberedPath path = read_path(*object_name);
    if (!path.parts.empty()) {
      const NumberedPart& last = path.parts.back();
      name = last.name;
      parent_ = add_identifier(last.text, last.token, word.type, word.usage);
    }
  }
  if (kind == NodeKind::CreateType) {
    visit_type_definition(root);
    return;
  }
  plsql_.open_frame(name, word.type, kind == NodeKind::CreatePackageBody);
  if (name != NameTable::NONE && !names_.text(name).empty()) plsql_.enter(name, word.type);
  push(Step::ClosePlsqlFrame, NONE);
  if (kind == NodeKind::CreateTrigger) {
    visit_trigger_children(root);
  } else {
    // The unit's ObjectName, recorded above, is an inert leaf: it gets no task.
    push_children(root, 0, NONE);
  }
}

void Walker::visit_type_definition(uint32_t root) {
  // AS OBJECT (attribute type, ...) | AS TABLE OF type | AS VARRAY(n) OF type: the types
  // written, under the type's record; methods and the supertype record nothing.
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, root)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (is_kind(child, NodeKind::CollectionDef)) push(Step::Visit, child);
      if (!is_kind(child, NodeKind::ObjectTypeDef)) continue;
      for (const syntax::Child member : syntax::children(tree_, child)) {
        if (syntax::is_token_entry(member)) continue;
        const uint32_t attribute = syntax::entry_index(member);
        if (is_kind(attribute, NodeKind::AttributeDef)) push(Step::Visit, attribute);
      }
    }
  });
}

void Walker::visit_trigger_children(uint32_t root) {
  push_in_order([&] {
    bool after_call = false;
    for (const syntax::Child entry : syntax::children(tree_, root)) {
      const uint32_t index = syntax::entry_index(entry);
      if (syntax::is_token_entry(entry)) {
        if (!syntax::is_trivia(tree_.tokens[index].kind)) after_call = is_word_token(index, "CALL");
        continue;
      }
      const std::optional<NodeKind> kind = kind_of(index);
      const bool body = kind == NodeKind::Block || kind == NodeKind::DeclareSection ||
                        kind == NodeKind::CompoundSection || kind == NodeKind::TriggerWhen ||
                        kind == NodeKind::TriggerOn;
      // After CALL: the routine called; a name after FOLLOWS or PRECEDES records nothing.
      if (body || after_call) push(Step::Visit, index);
      after_call = false;
    }
  });
}

void Walker::visit_declaration(uint32_t node) {
  const std::optional<Declared> declared = read_declaration(tree_, node, text_);
  if (declared) {
    const uint32_t name = name_of(declared->name_token);
    add_identifier(names_.text(name), declared->name_token, declared->type, declared->usage);
    push(Step::EnterEntry, name, 0, static_cast<uint32_t>(declared->type));
  }
  push_children(node, 0, NONE);
}

void Walker::visit_subprogram(uint32_t node) {
  const std::optional<Declared> declared = read_declaration(tree_, node, text_);
  uint32_t name = NameTable::NONE;
  uint32_t id = parent_;
  TypeWord type = TypeWord::Procedure;
  if (declared) {
    name = name_of(declared->name_token);
    type = declared->type;
    id = add_identifier(names_.text(name), declared->name_token, type, declared->usage);
    plsql_.enter(name, type);
  }
  save_and_push_restore();
  parent_ = id;
  in_statement_ = false;
  sql_floor_ = sql_.frame_count();
  plsql_.open_frame(name, type);
  push(Step::ClosePlsqlFrame, NONE);
  push_children(node, 0, NONE);
}

void Walker::visit_cursor(uint32_t node) {
  const std::optional<Declared> declared = read_declaration(tree_, node, text_);
  uint32_t id = parent_;
  if (declared) {
    const uint32_t name = name_of(declared->name_token);
    id = add_identifier(names_.text(name), declared->name_token, declared->type, declared->usage);
    push(Step::EnterEntry, name, 0, static_cast<uint32_t>(declared->type));
  }
  save_and_push_restore();
  parent_ = id;
  in_statement_ = false;
  plsql_.open_frame(NameTable::NONE, TypeWord::Cursor);
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      push(is_kind(child, NodeKind::Query) ? Step::VisitSelect : Step::Visit, child);
    }
    push(Step::ClosePlsqlFrame, NONE);
  });
}

void Walker::visit_frame_node(const Task& task, NodeKind kind) {
  uint32_t owner = NameTable::NONE;
  if (task.extra != NONE) {
    for (const syntax::Child entry : syntax::children(tree_, task.extra)) {
      if (syntax::is_token_entry(entry) && is_name_token(syntax::entry_index(entry))) {
        owner = name_of(syntax::entry_index(entry));
        break;
      }
    }
  }
  plsql_.open_frame(owner, TypeWord::Label);
  push(Step::ClosePlsqlFrame, NONE);
  if (kind == NodeKind::Block) {
    push_children(task.node, 0, NONE);
    return;
  }
  // FOR i IN controls LOOP body: the iterator's record, the controls, then the iterator is
  // entered and the body walked. The iterator of a qualified expression has no body: its
  // iterand is seen from the first node after SEQUENCE, INDEX or "=>" on.
  std::optional<uint32_t> iterator;
  bool after_keyword = false;
  bool after_choice = false;
  std::optional<uint32_t> body;
  for (const syntax::Child entry : syntax::children(tree_, task.node)) {
    const uint32_t index = syntax::entry_index(entry);
    if (syntax::is_token_entry(entry)) {
      if (syntax::is_trivia(tree_.tokens[index].kind)) continue;
      if (iterator) {
        after_choice = after_choice || is_word_token(index, "SEQUENCE") ||
                       is_word_token(index, "INDEX") ||
                       views::token_kind_of(tree_.tokens[index]) == TokenKind::Arrow;
        continue;
      }
      if (after_keyword) {
        if (is_name_token(index)) iterator = index;
        after_keyword = false;
        continue;
      }
      after_keyword = is_word_token(index, "FOR") || is_word_token(index, "FORALL");
      continue;
    }
    if (kind == NodeKind::ForLoop
            ? ((is_kind(index, NodeKind::StatementList) || after_choice) && !body)
            : true) {
      body = index;
    }
  }
  uint32_t iterator_name = NONE;
  uint32_t second_name = NONE;
  if (iterator) {
    iterator_name = name_of(*iterator);
    add_identifier(names_.text(iterator_name), *iterator, TypeWord::Iterator,
                   IdentifierUsage::Declaration);
    if (kind == NodeKind::ForLoop) {
      if (const std::optional<uint32_t> second = resolve_iterands(task.node)) {
        second_name = name_of(*second);
      }
    }
  }
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      if (body && child == *body && iterator) {
        push(Step::EnterEntry, iterator_name, 0, static_cast<uint32_t>(TypeWord::Iterator));
        if (second_name != NONE) {
          push(Step::EnterEntry, second_name, 0, static_cast<uint32_t>(TypeWord::Iterator));
        }
      }
      push(Step::Visit, child);
    }
  });
}

void Walker::visit_label(uint32_t node) {
  for (const syntax::Child entry : syntax::children(tree_, node)) {
    if (!syntax::is_token_entry(entry) || !is_name_token(syntax::entry_index(entry))) continue;
    const uint32_t token = syntax::entry_index(entry);
    const uint32_t name = name_of(token);
    add_identifier(names_.text(name), token, TypeWord::Label, IdentifierUsage::Declaration);
    plsql_.enter(name, TypeWord::Label);
    return;
  }
}

void Walker::visit_label_statement(uint32_t node) {
  // EXIT | CONTINUE | GOTO [label] [WHEN condition]
  bool first = true;
  for (const syntax::Child entry : syntax::children(tree_, node)) {
    if (!syntax::is_token_entry(entry)) continue;
    const uint32_t token = syntax::entry_index(entry);
    if (syntax::is_trivia(tree_.tokens[token].kind)) continue;
    if (first) {
      first = false;
      continue;
    }
    if (is_name_token(token) && !is_word_token(token, "WHEN")) {
      const uint32_t name = name_of(token);
      if (plsql_.has_label(name)) {
        add_identifier(names_.text(name), token, TypeWord::Label, IdentifierUsage::Reference);
      }
    }
    break;
  }
  push_children(node, 0, NONE);
}

void Walker::visit_assign(const Task& task) {
  // target := value: the target is the NameRef its first node leads to.
  const std::span<const syntax::Child> entries = syntax::children(tree_, task.node);
  for (std::size_t position = 0; position < entries.size(); ++position) {
    if (syntax::is_token_entry(entries[position])) continue;
    const uint32_t first = syntax::entry_index(entries[position]);
    if (is_kind(first, NodeKind::NameRef)) {
      // A name alone, the most common target, is what the walk would visit next: it is
      // resolved now, after the rest is pushed, rather than pushed itself.
      push_entries(entries.subspan(position + 1), 0, NONE);
      resolve_plsql_name(first, true);
    } else {
      push_entries(entries, 0, leading_name_ref(first));
    }
    return;
  }
}

void Walker::visit_targets_after_word(const Task& task, std::string_view word) {
  // Every node child is a target when `word` is empty; otherwise those after it.
  push_in_order([&] {
    bool targets = word.empty();
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      const uint32_t index = syntax::entry_index(entry);
      if (syntax::is_token_entry(entry)) {
        if (!targets && is_word_token(index, word)) targets = true;
        continue;
      }
      push(Step::Visit, index, task.flags & ALIAS_CLAUSE, NONE,
           targets ? leading_name_ref(index) : task.target);
    }
  });
}

void Walker::visit_using(const Task& task) {
  // USING [IN | OUT | IN OUT] argument, ...: an argument after OUT is a target.
  push_in_order([&] {
    bool after_out = false;
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      const uint32_t index = syntax::entry_index(entry);
      if (syntax::is_token_entry(entry)) {
        if (!syntax::is_trivia(tree_.tokens[index].kind)) after_out = is_word_token(index, "OUT");
        continue;
      }
      push(Step::Visit, index, 0, NONE, after_out ? leading_name_ref(index) : NONE);
      after_out = false;
    }
  });
}

void Walker::visit_plsql_statement(const Task& task, NodeKind kind) {
  std::string_view word = "EXECUTE IMMEDIATE";
  if (kind == NodeKind::FetchStmt) word = "FETCH";
  if (kind == NodeKind::CloseStmt) word = "CLOSE";
  begin_statement(word, task.node);
  push_children(task.node, 0, NONE);
}

void Walker::visit_open(const Task& task) {
  begin_statement("OPEN", task.node);
  push_in_order([&] {
    for (const syntax::Child entry : syntax::children(tree_, task.node)) {
      if (syntax::is_token_entry(entry)) continue;
      const uint32_t child = syntax::entry_index(entry);
      push(is_kind(child, NodeKind::Query) ? Step::VisitSelect : Step::Visit, child);
    }
  });
}

void Walker::visit_call(const Task& task) {
  // The callee (the first node child) by the PL/SQL rules only; the arguments as
  // expressions. A callee written as a name, which the walk would visit next, is resolved
  // at once after the rest is pushed rather than pushed itself.
  const std::span<const syntax::Child> entries = syntax::children(tree_, task.node);
  const uint8_t flags = task.flags & ALIAS_CLAUSE;
  for (std::size_t position = 0; position < entries.size(); ++position) {
    if (syntax::is_token_entry(entries[position])) continue;
    const uint32_t callee = syntax::entry_index(entries[position]);
    if (!is_kind(callee, NodeKind::NameRef)) break;
    push_entries(entries.subspan(position + 1), flags, task.target);
    resolve_plsql_name(callee, task.target == callee);
    return;
  }
  push_entries(entries, flags, task.target);
}

void Walker::resolve_plsql_name(uint32_t name_ref, bool is_target) {
  // One word alone, the most common name, is read without a list of parts.
  const uint32_t word = WalkNames::lone_word(tree_, name_ref);
  if (word != NONE) {
    resolve_plsql_word(names_.part_of(tree_, word, text_), is_target);
    return;
  }
  const NumberedPath path = read_path(name_ref);
  if (!path.plain || path.star || path.link || path.parts.empty()) return;
  resolve_plsql_path(path, is_target);
}

void Walker::resolve_plsql_word(const NumberedPart& word, bool is_target) {
  // A local name, else a routine the catalog holds.
  if (const std::optional<TypeWord> local = plsql_.lookup(word.name)) {
    add_identifier(word.text, word.token, *local, final_usage(*local, is_target, false));
    return;
  }
  const catalog::Resolved resolved = lookup_object(nullptr, word);
  if (is_routine(resolved)) {
    const TypeWord type = hit_word(resolved);
    add_identifier(word.text, word.token, type, final_usage(type, is_target, true));
  }
}

void Walker::resolve_plsql_path(const NumberedPath& path, bool is_target) {
  const std::span<const NumberedPart> parts = path.parts;
  const std::size_t count = parts.size();
  if (count == 1) {
    resolve_plsql_word(parts[0], is_target);
    return;
  }
  // Two parts or more from here on.
  const std::string_view first = parts[0].text;
  // A qualified local: the first part owns an open frame.
  if (const std::optional<PlsqlScopes::OwnedFrame> owned = plsql_.owned_frame(parts[0].name)) {
    add_identifier(first, parts[0].token, owned->owner_type, IdentifierUsage::Reference);
    if (const std::optional<TypeWord> member =
            plsql_.lookup_in_frame(owned->frame, parts[1].name)) {
      add_identifier(parts[1].text, parts[1].token, *member,
                     final_usage(*member, is_target, false));
    }
    return;
  }
  // A local name: fields, methods and attributes after it record nothing.
  if (const std::optional<TypeWord> local = plsql_.lookup(parts[0].name)) {
    add_identifier(first, parts[0].token, *local, final_usage(*local, is_target, false));
    return;
  }
  // A member of a package specification, with or without its owner.
  const auto member_of = [&](std::size_t package_part) -> bool {
    const PackageSpec* declarations = package_part == 0
                                          ? package_spec(context_.default_owner, parts[0].text)
                                          : package_spec(parts[0].text, parts[1].text);
    if (declarations == nullptr) return false;
    add_identifier(parts[package_part].text, parts[package_part].token, TypeWord::Package,
                   IdentifierUsage::Reference);
    const NumberedPart& member = parts[package_part + 1];
    if (const SpecEntry* entry = declarations->find(member.text)) {
      add_identifier(member.text, member.token, entry->type,
                     final_usage(entry->type, is_target, false));
    }
    return true;
  };
  if (member_of(0)) return;
  if (count >= 3 && member_of(1)) return;
  // The catalog: routines, sequences and packages.
  const auto record_hit = [&](const catalog::Resolved& resolved, const NumberedPart& part,
                              bool calls) {
    const TypeWord word = hit_word(resolved);
    add_identifier(part.text, part.token, word,
                   calls ? final_usage(word, is_target, true) : IdentifierUsage::Reference);
  };
  const auto is_sequence_word = [&](const NumberedPart& part) {
    return is_word_token(part.token, "NEXTVAL") || is_word_token(part.token, "CURRVAL");
  };
  if (count == 2) {
    const catalog::Resolved resolved = lookup_object(nullptr, parts[0]);
    if ((object_is(resolved, catalog::ObjectKind::Sequence) && is_sequence_word(parts[1])) ||
        object_is(resolved, catalog::ObjectKind::Package)) {
      record_hit(resolved, parts[0], false);
      return;
    }
    const catalog::Resolved routine = lookup_object(&parts[0], parts[1]);
    if (is_routine(routine)) record_hit(routine, parts[1], true);
  } else if (count == 3) {
    const catalog::Resolved resolved = lookup_object(&parts[0], parts[1]);
    if ((object_is(resolved, catalog::ObjectKind::Sequence) && is_sequence_word(parts[2])) ||
        object_is(resolved, catalog::ObjectKind::Package)) {
      record_hit(resolved, parts[1], false);
    }
  }
}

std::optional<uint32_t> Walker::resolve_iterands(uint32_t for_loop) {
  // FOR name [MUTABLE | IMMUTABLE] [type] [, name [MUTABLE | IMMUTABLE] [type]] IN ...: each
  // type written is read as a declaration's type is; the name after the comma is declared
  // here, the first by the caller.
  const std::span<const syntax::Child> entries = syntax::children(tree_, for_loop);
  enum class At : uint8_t { For, Name, Mode, Type } at = At::For;
  std::size_t type_start = 0;
  std::optional<uint32_t> second;
  bool after_comma = false;
  for (std::size_t position = 0; position < entries.size(); ++position) {
    // A node before IN: a shape this reads no type in.
    if (!syntax::is_token_entry(entries[position])) return second;
    const uint32_t token = syntax::entry_index(entries[position]);
    if (syntax::is_trivia(tree_.tokens[token].kind)) continue;
    switch (at) {
      case At::For:
        if (!is_word_token(token, "FOR")) return second;
        at = At::Name;
        continue;
      case At::Name:
        if (!is_name_token(token)) return second;
        if (after_comma && !second) {
          second = token;
          add_identifier(names_.text(name_of(token)), token, TypeWord::Iterator,
                         IdentifierUsage::Declaration);
        }
        type_start = position + 1;
        at = At::Mode;
        continue;
      case At::Mode:
      case At::Type: {
        const bool in = is_word_token(token, "IN");
        if (in || views::token_kind_of(tree_.tokens[token]) == TokenKind::Comma) {
          if (type_start < position) {
            resolve_type_entries(entries.subspan(type_start, position - type_start));
          }
          if (in) return second;
          after_comma = true;
          at = At::Name;
          continue;
        }
        if (at == At::Mode &&
            (is_word_token(token, "MUTABLE") || is_word_token(token, "IMMUTABLE"))) {
          type_start = position + 1;
        }
        at = At::Type;
        continue;
      }
    }
  }
  return second;
}

void Walker::resolve_type_entries(std::span<const syntax::Child> entries) {
  // name [. name]... [% TYPE | ROWTYPE]; any other shape records nothing.
  std::vector<uint32_t>& names = type_name_tokens_;
  names.clear();
  std::optional<uint32_t> attribute;
  bool expect_name = true;
  bool after_percent = false;
  for (const syntax::Child entry : entries) {
    if (!syntax::is_token_entry(entry)) return;
    const uint32_t token = syntax::entry_index(entry);
    if (syntax::is_trivia(tree_.tokens[token].kind)) continue;
    if (attribute) return;
    const TokenKind kind = views::token_kind_of(tree_.tokens[token]);
    if (after_percent) {
      if (!is_word_token(token, "TYPE") && !is_word_token(token, "ROWTYPE")) return;
      attribute = token;
      continue;
    }
    if (expect_name) {
      if (!is_name_token(token)) return;
      names.push_back(token);
      expect_name = false;
    } else if (kind == TokenKind::Dot) {
      expect_name = true;
    } else if (kind == TokenKind::Percent) {
      after_percent = true;
    } else {
      return;
    }
  }
  if (names.empty() || expect_name || (after_percent && !attribute)) return;
  // One word, the most common type name, is read without a list of parts.
  NumberedPart word;
  std::span<const NumberedPart> parts;
  if (names.size() == 1) {
    word = names_.part_of(tree_, names[0], text_);
    parts = std::span<const NumberedPart>(&word, 1);
  } else {
    parts = names_.read_tokens(tree_, names, text_);
  }
  const std::size_t count = parts.size();
  const auto package_member = [&](bool types_only) -> bool {
    if (count < 2) return false;
    const PackageSpec* declarations = package_spec(context_.default_owner, parts[0].text);
    if (declarations == nullptr) return false;
    const SpecEntry* entry = declarations->find(parts[1].text);
    if (types_only && (entry == nullptr || !is_type_entry(entry->type))) return false;
    add_identifier(parts[0].text, parts[0].token, TypeWord::Package, IdentifierUsage::Reference);
    if (entry != nullptr) {
      add_identifier(parts[1].text, parts[1].token, entry->type, IdentifierUsage::Reference);
    }
    return true;
  };
  if (!attribute) {
    if (count == 1) {
      const std::optional<TypeWord> local = plsql_.lookup(parts[0].name);
      if (local && is_type_entry(*local)) {
        add_identifier(parts[0].text, parts[0].token, *local, IdentifierUsage::Reference);
        return;
      }
    } else if (count == 2 && package_member(true)) {
      return;
    }
    // An object, nested table or varray type the catalog holds.
    if (count > 2) return;
    const catalog::Resolved resolved =
        lookup_object(count == 2 ? &parts[0] : nullptr, parts.back());
    if (!object_is(resolved, catalog::ObjectKind::Type)) return;
    add_identifier(parts.back().text, parts.back().token,
                   resolved.synonym != nullptr ? TypeWord::Synonym
                                               : declared_type_word(resolved.object->type_shape),
                   IdentifierUsage::Reference);
    return;
  }
  if (const std::optional<TypeWord> local = plsql_.lookup(parts[0].name)) {
    add_identifier(parts[0].text, parts[0].token, *local, IdentifierUsage::Reference);
    return;
  }
  if (package_member(false)) return;
  // A table, view or materialized view, and for %TYPE one of its columns.
  const bool row_type = is_word_token(*attribute, "ROWTYPE");
  const std::size_t object_parts = row_type ? count : count - 1;
  if (object_parts < 1 || object_parts > 2) return;
  const NumberedPart& object_part = parts[object_parts - 1];
  const catalog::Resolved resolved =
      lookup_object(object_parts == 2 ? &parts[0] : nullptr, object_part);
  if (!is_relation(resolved)) return;
  add_identifier(object_part.text, object_part.token, hit_word(resolved),
                 IdentifierUsage::Reference);
  if (!row_type && object_parts < count && lists_column(*resolved.object, parts.back().text)) {
    add_identifier(parts.back().text, parts.back().token, TypeWord::Column,
                   IdentifierUsage::Reference);
  }
}

}  // namespace veltrane::resolve::detail
