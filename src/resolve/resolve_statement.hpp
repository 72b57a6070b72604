#pragma once

// Name resolution of one parsed statement or PL/SQL unit.

#include <string_view>
#include <vector>

#include "parser/parse_entries.hpp"
#include "resolve/records.hpp"

namespace veltrane::resolve {

// Both record lists of one statement, each in the order the walk made them.
struct ResolvedRecords {
  std::vector<IdentifierRecord> identifiers;
  std::vector<StatementRecord> statements;
};

// Walks the statement's tree in source order with PL/SQL scopes, SQL scopes, the catalog
// and the package specifications of `context`, and records every name that resolves and
// every SQL or cursor statement. A name that resolves to nothing gets no record. `text`
// is the whole source text. Iterative: any tree depth is fine. Never fails: a statement
// with errors is walked as far as its tree goes.
[[nodiscard]] ResolvedRecords resolve_statement(const parser::ParsedStatement& statement,
                                                std::string_view text,
                                                const ResolveContext& context);

// The same walk, each identifier record handed to `sink` as it is made rather than kept: the
// statement records, in the order the walk made them.
[[nodiscard]] std::vector<StatementRecord> resolve_statement(
    const parser::ParsedStatement& statement, std::string_view text, const ResolveContext& context,
    IdentifierSink& sink);

}  // namespace veltrane::resolve
