#include "views/created_object.hpp"

#include <optional>

#include "syntax/kinds.hpp"
#include "syntax/tree_reads.hpp"

namespace veltrane::views {

namespace {

bool creates_named_object(syntax::NodeKind kind) {
  using syntax::NodeKind;
  switch (kind) {
    case NodeKind::CreateTable:
    case NodeKind::CreateView:
    case NodeKind::CreateMview:
    case NodeKind::CreateIndex:
    case NodeKind::CreateSequence:
    case NodeKind::CreateSynonym:
    case NodeKind::CreatePackage:
    case NodeKind::CreatePackageBody:
    case NodeKind::CreateProcedure:
    case NodeKind::CreateFunction:
    case NodeKind::CreateTrigger:
    case NodeKind::CreateType:
    case NodeKind::CreateTypeBody:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<QualifiedName> created_object_name(const parser::ParsedStatement& statement,
                                                 std::string_view text) {
  const syntax::Tree& tree = statement.tree;
  if (tree.nodes.empty()) return std::nullopt;
  const std::optional<syntax::NodeKind> kind = syntax::as_node_kind(tree.nodes[tree.root].kind);
  if (!kind || !creates_named_object(*kind)) return std::nullopt;
  const std::optional<uint32_t> name =
      syntax::child_of_kind(tree, tree.root, syntax::syntax_kind(syntax::NodeKind::ObjectName));
  if (!name) return std::nullopt;
  return object_name(tree, *name, text);
}

}  // namespace veltrane::views
