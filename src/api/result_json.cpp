#include "api/result_json.hpp"

#include <string>
#include <vector>

#include "syntax/kinds.hpp"
#include "syntax/walk.hpp"

namespace veltrane::api {

namespace {

// The span of an open node so far: its first token's start and its last token's end.
struct OpenSpan {
  uint32_t start = 0;
  uint32_t end = 0;
  bool present = false;

  void add(uint32_t token_start, uint32_t token_end) {
    if (!present) {
      start = token_start;
      present = true;
    }
    end = token_end;
  }
};

}  // namespace

std::string_view kind_name_view(syntax::SyntaxKind kind, std::string& spare) {
  if (const auto token_kind = syntax::as_token_kind(kind)) {
    return syntax::token_kind_name(*token_kind);
  }
  if (const auto node_kind = syntax::as_node_kind(kind)) {
    return syntax::node_kind_name(*node_kind);
  }
  spare = syntax::kind_name(kind);
  return spare;
}

void token_json(syntax::JsonWriter& writer, const syntax::TreeToken& token,
                const syntax::Utf16Positions& positions) {
  std::string spare;
  writer.begin_object();
  writer.member("e", positions.offset(token.end));
  writer.member("s", positions.offset(token.start));
  writer.member("t", kind_name_view(token.kind, spare));
  writer.end_object();
}

void diagnostic_json(syntax::JsonWriter& writer, const syntax::Diagnostic& diagnostic,
                     const syntax::Utf16Positions& positions) {
  const syntax::LineCol position = positions.line_col(diagnostic.start);
  writer.begin_object();
  writer.member("col", position.column);
  writer.member("end", positions.offset(diagnostic.end));
  writer.member("line", position.line);
  writer.member("message", diagnostic.message);
  writer.member("severity", syntax::severity_name(diagnostic.severity));
  writer.member("start", positions.offset(diagnostic.start));
  writer.end_object();
}

void node_json(syntax::JsonWriter& writer, const syntax::Tree& tree, uint32_t node,
               const syntax::Utf16Positions& positions) {
  // "c" comes first, so each node opens on Enter and is closed on Leave, when the span of
  // everything below it is known; a node's span then widens its parent's.
  std::vector<OpenSpan> spans;
  std::string spare;
  syntax::TreeWalk walk(tree, node);
  while (const std::optional<syntax::WalkStep> step = walk.next()) {
    switch (step->event) {
      case syntax::WalkEvent::Enter:
        spans.emplace_back();
        writer.begin_object();
        writer.key("c");
        writer.begin_array();
        break;
      case syntax::WalkEvent::Token: {
        const syntax::TreeToken& token = tree.tokens[step->index];
        spans.back().add(token.start, token.end);
        if (!syntax::is_trivia(token.kind)) token_json(writer, token, positions);
        break;
      }
      case syntax::WalkEvent::Leave: {
        const OpenSpan span = spans.back();
        spans.pop_back();
        writer.end_array();
        writer.member("e", span.present ? positions.offset(span.end) : 0u);
        writer.member("k", kind_name_view(tree.nodes[step->index].kind, spare));
        writer.member("s", span.present ? positions.offset(span.start) : 0u);
        writer.end_object();
        if (span.present && !spans.empty()) spans.back().add(span.start, span.end);
        break;
      }
    }
  }
}

}  // namespace veltrane::api
