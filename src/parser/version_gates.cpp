#include "parser/version_gates.hpp"

#include "parser/parser.hpp"

namespace veltrane::parser {

bool version_fails(lexer::OracleVersion version, GateTest test) {
  const uint32_t major = version.major;
  const uint32_t minor = version.minor;
  switch (test) {
    case GateTest::V12_1:
      return major < 12 || (major == 12 && minor == 0);
    case GateTest::V12_2:
      return major < 12 || (major == 12 && minor < 2);
    case GateTest::V18:
      return major < 18;
    case GateTest::V21:
      return major < 21;
    case GateTest::V23:
      return major < 23;
  }
  return false;
}

bool check_gate(Parser& p, Gate gate, std::uint32_t n) {
  const GateRow& row = gate_row(gate);
  if (!version_fails(p.options.version, row.test)) {
    return false;
  }
  p.push_unchecked(row.message, p.span_at(n), syntax::Severity::Warning);
  return true;
}

}  // namespace veltrane::parser
