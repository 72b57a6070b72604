#pragma once
// Version gates: constructs newer than the target Oracle version are parsed as usual
// and get one warning naming the construct and its first release. All gates stand in
// one table; the grammar fires them through check_gate.

#include <array>
#include <cstdint>
#include <string_view>

#include "lexer/oracle_version.hpp"

namespace veltrane::parser {

class Parser;

// The release test of a gate.
enum class GateTest : std::uint8_t { V12_1, V12_2, V18, V21, V23 };

// The gates, numbered as in the table below (1-22).
enum class Gate : std::uint8_t {
  IdentityColumns = 1,
  RowLimiting = 2,
  Apply = 3,
  Lateral = 4,
  WithFunction = 5,
  MatchRecognize = 6,
  AccessibleBy = 7,
  ListaggOverflow = 8,
  ConversionError = 9,
  ValidateConversion = 10,
  PrivateTemporaryTables = 11,
  SqlMacros = 12,
  ExceptAndSetAll = 13,
  IfExists = 14,
  SelectWithoutFrom = 15,
  ValuesRowConstructors = 16,
  DmlFromOrJoins = 17,
  ReturningOldNew = 18,
  VectorType = 19,
  ApproximateFetch = 20,
  PartitionedFetch = 21,
  CaseChoices = 22,
};

struct GateRow {
  std::string_view message;
  GateTest test;
};

// Row g - 1 describes gate g.
inline constexpr std::array<GateRow, 22> VERSION_GATES = {{
    {"identity columns need Oracle 12.1 or later", GateTest::V12_1},
    {"FETCH FIRST / OFFSET needs Oracle 12.1 or later", GateTest::V12_1},
    {"CROSS / OUTER APPLY needs Oracle 12.1 or later", GateTest::V12_1},
    {"LATERAL needs Oracle 12.1 or later", GateTest::V12_1},
    {"WITH FUNCTION / PROCEDURE needs Oracle 12.1 or later", GateTest::V12_1},
    {"MATCH_RECOGNIZE needs Oracle 12.1 or later", GateTest::V12_1},
    {"ACCESSIBLE BY needs Oracle 12.1 or later", GateTest::V12_1},
    {"LISTAGG ... ON OVERFLOW needs Oracle 12.2 or later", GateTest::V12_2},
    {"DEFAULT ... ON CONVERSION ERROR needs Oracle 12.2 or later", GateTest::V12_2},
    {"VALIDATE_CONVERSION needs Oracle 12.2 or later", GateTest::V12_2},
    {"private temporary tables need Oracle 18c or later", GateTest::V18},
    {"SQL macros need Oracle 21c or later", GateTest::V21},
    {"EXCEPT and MINUS ALL / INTERSECT ALL need Oracle 21c or later", GateTest::V21},
    {"IF [NOT] EXISTS needs Oracle 23ai or later", GateTest::V23},
    {"SELECT without FROM needs Oracle 23ai or later", GateTest::V23},
    {"VALUES row constructors need Oracle 23ai or later", GateTest::V23},
    {"UPDATE / DELETE with FROM or joins needs Oracle 23ai or later", GateTest::V23},
    {"RETURNING OLD / NEW needs Oracle 23ai or later", GateTest::V23},
    {"VECTOR needs Oracle 23ai or later", GateTest::V23},
    {"FETCH APPROX / EXACT needs Oracle 23ai or later", GateTest::V23},
    {"FETCH ... PARTITIONS BY needs Oracle 23ai or later", GateTest::V23},
    {"CASE value lists and dangling predicates need Oracle 23ai or later", GateTest::V23},
}};

[[nodiscard]] constexpr const GateRow& gate_row(Gate gate) {
  return VERSION_GATES[static_cast<std::size_t>(gate) - 1];
}

// True when the target version lacks what the test asks for (the gate warns).
[[nodiscard]] bool version_fails(lexer::OracleVersion version, GateTest test);

// When the parser's target version fails the gate's test, appends its warning (no
// repeat test) at the token at lookahead n, or at the empty span at the item's end
// when there is no such token. Never consumes anything. Returns whether it warned.
bool check_gate(Parser& p, Gate gate, std::uint32_t n = 0);

}  // namespace veltrane::parser
