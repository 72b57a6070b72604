#pragma once
// What every parse entry is given: the conditional-compilation flags and the
// target Oracle version.

#include <functional>
#include <map>
#include <string>
#include <variant>

#include "lexer/oracle_version.hpp"

namespace veltrane::lexer {

// The SQL NULL of a condition.
struct Null {
  friend bool operator==(const Null&, const Null&) = default;
};
// A value the code does not give (an unknown name, a comparison that does not
// compare): the branch is not taken, with a warning.
struct Unresolved {
  friend bool operator==(const Unresolved&, const Unresolved&) = default;
};

// A condition value; `index()` numbers them 0 Bool, 1 Number, 2 Text, 3 Null,
// 4 Unresolved.
using CcValue = std::variant<bool, double, std::string, Null, Unresolved>;

// Flag name (upper-cased in ASCII) to value. Transparent, so lookups may use a
// std::string_view.
using CcFlags = std::map<std::string, CcValue, std::less<>>;

// The flags and the target version (default 23.26, shown "26ai").
struct ParseOptions {
  CcFlags ccflags;
  OracleVersion version;
};

}  // namespace veltrane::lexer
