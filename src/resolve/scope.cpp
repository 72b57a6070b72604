#include "resolve/scope.hpp"

#include "syntax/stop.hpp"

namespace veltrane::resolve {

namespace {

template <class Value>
std::vector<Value>* find_list(NameMap<std::vector<Value>>& map, std::string_view name) {
  const auto found = map.find(name);
  return found == map.end() ? nullptr : &found->second;
}

template <class Value>
const std::vector<Value>* find_list(const NameMap<std::vector<Value>>& map, std::string_view name) {
  const auto found = map.find(name);
  return found == map.end() ? nullptr : &found->second;
}

template <class Value>
std::vector<Value>& list_for(NameMap<std::vector<Value>>& map, std::string_view name) {
  auto found = map.find(name);
  if (found == map.end()) found = map.emplace(std::string(name), std::vector<Value>{}).first;
  return found->second;
}

// Calls `visit` with each column an item lists: its object's and its hidden ones.
template <class Visit>
void for_each_column(const SqlItem& item, Visit visit) {
  if (item.object != nullptr) {
    for (const catalog::Column& column : item.object->columns) visit(column.name);
  }
  for (const std::string& column : item.hidden_columns) visit(column);
}

}  // namespace

void PlsqlScopes::open_frame(std::string_view owner, TypeWord owner_type, bool sees_own_spec) {
  const auto frame = static_cast<uint32_t>(frames_.size());
  frames_.push_back(Frame{entries_.size(), std::string(owner), owner_type, sees_own_spec});
  if (!owner.empty()) list_for(owners_, owner).push_back(frame);
}

void PlsqlScopes::close_frame() {
  if (frames_.empty()) syntax::stop("closing a scope frame that is not open");
  const Frame& frame = frames_.back();
  while (entries_.size() > frame.first_entry) {
    std::vector<uint32_t>* visible = find_list(visible_, entries_.back().name);
    if (visible != nullptr && !visible->empty()) visible->pop_back();
    entries_.pop_back();
  }
  if (!frame.owner.empty()) {
    std::vector<uint32_t>* owned = find_list(owners_, frame.owner);
    if (owned != nullptr && !owned->empty()) owned->pop_back();
  }
  frames_.pop_back();
}

void PlsqlScopes::enter(std::string_view name, TypeWord type) {
  if (frames_.empty()) return;
  const auto index = static_cast<uint32_t>(entries_.size());
  entries_.push_back(Entry{std::string(name), type, static_cast<uint32_t>(frames_.size() - 1)});
  list_for(visible_, name).push_back(index);
}

std::optional<TypeWord> PlsqlScopes::lookup(std::string_view name) const {
  const std::vector<uint32_t>* visible = find_list(visible_, name);
  if (visible != nullptr && !visible->empty()) return entries_[visible->back()].type;
  if (own_spec_ != nullptr) {
    if (const SpecEntry* entry = own_spec_->find(name)) return entry->type;
  }
  return std::nullopt;
}

bool PlsqlScopes::has_label(std::string_view name) const {
  const std::vector<uint32_t>* visible = find_list(visible_, name);
  if (visible == nullptr) return false;
  for (auto it = visible->rbegin(); it != visible->rend(); ++it) {
    if (entries_[*it].type == TypeWord::Label) return true;
  }
  return false;
}

std::optional<PlsqlScopes::OwnedFrame> PlsqlScopes::owned_frame(std::string_view name) const {
  const std::vector<uint32_t>* owned = find_list(owners_, name);
  if (owned == nullptr || owned->empty()) return std::nullopt;
  return OwnedFrame{owned->back(), frames_[owned->back()].owner_type};
}

std::optional<TypeWord> PlsqlScopes::lookup_in_frame(uint32_t frame, std::string_view name) const {
  if (frame >= frames_.size()) return std::nullopt;
  if (const std::vector<uint32_t>* visible = find_list(visible_, name)) {
    for (auto it = visible->rbegin(); it != visible->rend(); ++it) {
      const Entry& entry = entries_[*it];
      if (entry.frame == frame) return entry.type;
      if (entry.frame < frame) break;
    }
  }
  if (frames_[frame].sees_own_spec && own_spec_ != nullptr) {
    if (const SpecEntry* entry = own_spec_->find(name)) return entry->type;
  }
  return std::nullopt;
}

void SqlScopes::open_frame() { frames_.push_back(Frame{items_.size(), aliases_.size()}); }

void SqlScopes::close_frame() {
  if (frames_.empty()) syntax::stop("closing a SQL frame that is not open");
  const Frame& frame = frames_.back();
  const auto frame_index = static_cast<uint32_t>(frames_.size() - 1);
  while (items_.size() > frame.first_item) {
    const SqlItem& item = items_.back();
    if (!item.name.empty()) {
      std::vector<Placed>* named = find_list(items_by_name_, item.name);
      if (named != nullptr && !named->empty()) named->pop_back();
    }
    for_each_column(item, [&](const std::string& column) {
      std::vector<Placed>* listed = find_list(columns_, column);
      while (listed != nullptr && !listed->empty() && listed->back().frame == frame_index) {
        listed->pop_back();
      }
    });
    items_.pop_back();
  }
  aliases_.resize(frame.first_alias);
  frames_.pop_back();
}

void SqlScopes::add_item(SqlItem item) {
  if (frames_.empty()) return;
  const auto frame = static_cast<uint32_t>(frames_.size() - 1);
  const auto index = static_cast<uint32_t>(items_.size());
  if (!item.name.empty()) list_for(items_by_name_, item.name).push_back(Placed{frame, index});
  for_each_column(item, [&](const std::string& column) {
    list_for(columns_, column).push_back(Placed{frame, index});
  });
  items_.push_back(std::move(item));
}

void SqlScopes::add_alias(std::string name) {
  if (frames_.empty()) return;
  aliases_.push_back(std::move(name));
}

bool SqlScopes::is_alias(std::string_view name) const {
  if (frames_.empty()) return false;
  for (std::size_t index = frames_.back().first_alias; index < aliases_.size(); ++index) {
    if (aliases_[index] == name) return true;
  }
  return false;
}

ColumnSearch SqlScopes::find_column(std::string_view name, uint32_t floor) const {
  const std::vector<Placed>* listed = find_list(columns_, name);
  if (listed == nullptr || listed->empty() || listed->back().frame < floor) {
    return ColumnSearch::NotFound;
  }
  return items_[listed->back().item].opaque ? ColumnSearch::Hidden : ColumnSearch::Found;
}

const SqlItem* SqlScopes::find_item(std::string_view name, uint32_t floor) const {
  const std::vector<Placed>* named = find_list(items_by_name_, name);
  if (named == nullptr || named->empty() || named->back().frame < floor) return nullptr;
  const uint32_t frame = named->back().frame;
  uint32_t first = named->back().item;
  for (auto it = named->rbegin(); it != named->rend() && it->frame == frame; ++it) first = it->item;
  return &items_[first];
}

}  // namespace veltrane::resolve
