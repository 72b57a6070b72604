#include "resolve/scope.hpp"

#include "syntax/stop.hpp"

namespace veltrane::resolve {

namespace {

constexpr uint32_t NONE = NameTable::NONE;

// Calls `visit` with each column an item lists: its object's and its hidden ones.
template <class Visit>
void for_each_column(const SqlItem& item, Visit visit) {
  if (item.object != nullptr) {
    for (const catalog::Column& column : item.object->columns) visit(column.name);
  }
  for (const std::string& column : item.hidden_columns) visit(column);
}

}  // namespace

void PlsqlScopes::open_frame(uint32_t owner, TypeWord owner_type, bool sees_own_spec) {
  const auto frame = static_cast<uint32_t>(frames_.size());
  Frame opened{entries_.size(), NONE, NONE, owner_type, sees_own_spec};
  if (owner != NONE && !names_.text(owner).empty()) {
    opened.owner = owner;
    cover_names(latest_owned_, names_);
    opened.shadowed_owned = latest_owned_[owner];
    latest_owned_[owner] = frame;
  }
  frames_.push_back(opened);
}

void PlsqlScopes::reserve(std::size_t names) {
  entries_.reserve(names);
  frames_.reserve(16);
  latest_entry_.reserve(names);
  latest_owned_.reserve(names);
}

void PlsqlScopes::close_frame() {
  if (frames_.empty()) syntax::stop("closing a scope frame that is not open");
  const Frame& frame = frames_.back();
  while (entries_.size() > frame.first_entry) {
    const Entry& entry = entries_.back();
    latest_entry_[entry.name] = entry.shadowed;
    entries_.pop_back();
  }
  if (frame.owner != NONE) latest_owned_[frame.owner] = frame.shadowed_owned;
  frames_.pop_back();
}

void PlsqlScopes::enter(uint32_t name, TypeWord type) {
  if (frames_.empty()) return;
  cover_names(latest_entry_, names_);
  const auto index = static_cast<uint32_t>(entries_.size());
  entries_.push_back(
      Entry{name, static_cast<uint32_t>(frames_.size() - 1), latest_entry_[name], type});
  latest_entry_[name] = index;
}

std::optional<TypeWord> PlsqlScopes::own_spec_type(std::string_view name) const {
  if (own_spec_ != nullptr) {
    if (const SpecEntry* entry = own_spec_->find(name)) return entry->type;
  }
  return std::nullopt;
}

std::optional<TypeWord> PlsqlScopes::lookup(std::string_view name) const {
  const uint32_t number = names_.find(name);
  return number == NONE ? own_spec_type(name) : lookup(number);
}

bool PlsqlScopes::has_label(uint32_t name) const {
  for (uint32_t index = latest_entry(name); index != NONE; index = entries_[index].shadowed) {
    if (entries_[index].type == TypeWord::Label) return true;
  }
  return false;
}

std::optional<PlsqlScopes::OwnedFrame> PlsqlScopes::owned_frame(uint32_t name) const {
  if (name >= latest_owned_.size()) return std::nullopt;
  const uint32_t frame = latest_owned_[name];
  if (frame == NONE) return std::nullopt;
  return OwnedFrame{frame, frames_[frame].owner_type};
}

uint32_t PlsqlScopes::entry_in_frame(uint32_t frame, uint32_t name) const {
  for (uint32_t index = latest_entry(name); index != NONE; index = entries_[index].shadowed) {
    const Entry& entry = entries_[index];
    if (entry.frame == frame) return index;
    if (entry.frame < frame) break;
  }
  return NONE;
}

std::optional<TypeWord> PlsqlScopes::lookup_in_frame(uint32_t frame, uint32_t name) const {
  if (frame >= frames_.size()) return std::nullopt;
  const uint32_t index = entry_in_frame(frame, name);
  if (index != NONE) return entries_[index].type;
  if (!frames_[frame].sees_own_spec || own_spec_ == nullptr) return std::nullopt;
  return own_spec_type(names_.text(name));
}

std::optional<TypeWord> PlsqlScopes::lookup_in_frame(uint32_t frame, std::string_view name) const {
  const uint32_t number = names_.find(name);
  if (number != NONE) return lookup_in_frame(frame, number);
  if (frame >= frames_.size() || !frames_[frame].sees_own_spec) return std::nullopt;
  return own_spec_type(name);
}

void SqlScopes::open_frame() {
  frames_.push_back(Frame{items_.size(), aliases_.size(), named_.size(), listed_.size()});
}

void SqlScopes::close_frame() {
  if (frames_.empty()) syntax::stop("closing a SQL frame that is not open");
  const Frame& frame = frames_.back();
  forget(named_, latest_named_, frame.first_named);
  forget(listed_, latest_listed_, frame.first_listed);
  items_.resize(frame.first_item);
  aliases_.resize(frame.first_alias);
  frames_.pop_back();
}

void SqlScopes::place(std::vector<Placed>& places, std::vector<uint32_t>& latest,
                      std::string_view name, uint32_t item) {
  const uint32_t number = names_.intern(name);
  cover_names(latest, names_);
  const auto index = static_cast<uint32_t>(places.size());
  places.push_back(Placed{number, static_cast<uint32_t>(frames_.size() - 1), item, latest[number]});
  latest[number] = index;
}

void SqlScopes::forget(std::vector<Placed>& places, std::vector<uint32_t>& latest,
                       std::size_t first) {
  while (places.size() > first) {
    latest[places.back().name] = places.back().shadowed;
    places.pop_back();
  }
}

void SqlScopes::add_item(SqlItem item) {
  if (frames_.empty()) return;
  const auto index = static_cast<uint32_t>(items_.size());
  if (!item.name.empty()) place(named_, latest_named_, item.name, index);
  for_each_column(
      item, [&](const std::string& column) { place(listed_, latest_listed_, column, index); });
  items_.push_back(std::move(item));
}

void SqlScopes::add_alias(uint32_t name) {
  if (frames_.empty()) return;
  aliases_.push_back(name);
}

bool SqlScopes::is_alias(uint32_t name) const {
  if (frames_.empty()) return false;
  for (std::size_t index = frames_.back().first_alias; index < aliases_.size(); ++index) {
    if (aliases_[index] == name) return true;
  }
  return false;
}

ColumnSearch SqlScopes::find_column(uint32_t name, uint32_t floor) const {
  const uint32_t latest = latest_place(latest_listed_, name);
  if (latest == NONE || listed_[latest].frame < floor) return ColumnSearch::NotFound;
  return items_[listed_[latest].item].opaque ? ColumnSearch::Hidden : ColumnSearch::Found;
}

const SqlItem* SqlScopes::find_item(uint32_t name, uint32_t floor) const {
  uint32_t at = latest_place(latest_named_, name);
  if (at == NONE || named_[at].frame < floor) return nullptr;
  // The first item of that frame under the name.
  const uint32_t frame = named_[at].frame;
  uint32_t first = named_[at].item;
  for (; at != NONE && named_[at].frame == frame; at = named_[at].shadowed) first = named_[at].item;
  return &items_[first];
}

}  // namespace veltrane::resolve
