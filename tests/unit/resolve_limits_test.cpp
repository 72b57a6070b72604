// Resolution of very deep and very wide trees on a thread with a 1 MiB stack, and of the
// whole corpus, with the invariants every resolution keeps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "corpus_files.hpp"
#include "limits_scale.hpp"
#include "resolve_printer.hpp"
#include "small_stack.hpp"
#include "syntax/stop.hpp"

namespace veltrane::resolve {
namespace {

// Reduced builds run a tenth of the sizes.
constexpr std::size_t SCALE = test_support::LIMITS_REDUCED ? 10 : 1;

struct Totals {
  std::size_t identifiers = 0;
  std::size_t statements = 0;
  std::string broken;
};

// Resolves the script on a small stack and checks every statement's invariants. A broken
// internal invariant is reported, not thrown across the thread.
Totals resolve_on_small_stack(const std::string& script) {
  Totals totals;
  const bool ran = test_support::run_on_small_stack([&] {
    try {
      for (const test_support::ResolvedItem& item : test_support::resolve_script(script)) {
        totals.identifiers += item.records.identifiers.size();
        totals.statements += item.records.statements.size();
        const std::string broken = test_support::broken_invariant(item.statement, item.records);
        if (!broken.empty() && totals.broken.empty()) totals.broken = broken;
      }
    } catch (const syntax::InternalStop& stop) {
      totals.broken = "stopped: " + stop.message;
    }
  });
  if (!ran) totals.broken = "no thread";
  return totals;
}

std::string repeat(std::string_view piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(ResolveLimits, DeepAndWideTrees) {
  const std::string table = "CREATE TABLE t (a NUMBER);\n";
  const std::size_t chain = 1'000'000 / SCALE;
  const std::size_t wide = 100'000 / SCALE;
  std::string joins = table + "SELECT 1 FROM t t0";
  for (std::size_t i = 1; i <= wide; ++i) {
    joins += " JOIN t t" + std::to_string(i) + " ON t" + std::to_string(i) + ".a = t" +
             std::to_string(i - 1) + ".a";
  }
  joins += ";\n";
  struct Case {
    std::string_view name;
    std::string script;
    std::size_t identifiers;
    std::size_t statements;
  };
  const std::vector<Case> cases = {
      // One COLUMN record per term and the table's record.
      {"concatenation chain", table + "SELECT 1" + repeat("||a", chain) + " FROM t;\n", chain + 1,
       1},
      {"UNION ALL branches",
       table + "SELECT a FROM t" + repeat(" UNION ALL SELECT a FROM t", wide) + ";\n",
       2 * (wide + 1), 1},
      // A table record per item and two column records per ON.
      {"joins", joins, wide + 1 + 2 * wide, 1},
      // A declaration and two records per assignment: a long list made a step at a time.
      {"long unit of assignments",
       "DECLARE x NUMBER; BEGIN " + repeat("x := x + 1; ", wide) + "END;\n/\n", 1 + 2 * wide, 0},
      // The parser stops the nest at its depth limit; what it kept is walked.
      {"nested blocks and IFs",
       "DECLARE x BOOLEAN; BEGIN " + repeat("IF x THEN BEGIN ", wide) + "NULL; " +
           repeat("END; END IF; ", wide) + "END;\n/\n",
       0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const Totals totals = resolve_on_small_stack(test.script);
    EXPECT_EQ(totals.broken, "");
    if (test.identifiers != 0) {
      EXPECT_EQ(totals.identifiers, test.identifiers);
      EXPECT_EQ(totals.statements, test.statements);
    } else {
      EXPECT_GT(totals.identifiers, 0u);
    }
  }
}

// Every corpus script resolves without a stop and keeps the invariants; the record counts
// per type word are printed for the record.
TEST(ResolveLimits, Corpus) {
  const std::vector<std::filesystem::path> files =
      test_support::corpus_files([](const std::filesystem::path& path) {
        return path.extension() != ".md" && path.filename() != "LICENSE";
      });
  ASSERT_FALSE(files.empty());
  std::map<std::string, std::size_t, std::less<>> counts;
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<test_support::ResolvedItem> items;
    try {
      items = test_support::resolve_script(text);
    } catch (const syntax::InternalStop& stop) {
      ADD_FAILURE() << "stopped: " << stop.message;
      continue;
    }
    for (const test_support::ResolvedItem& item : items) {
      EXPECT_EQ(test_support::broken_invariant(item.statement, item.records), "");
      for (const IdentifierRecord& record : item.records.identifiers)
        ++counts[std::string(record.type)];
      for (const StatementRecord& record : item.records.statements) {
        ++counts["sql " + std::string(record.type)];
      }
    }
  }
  for (const auto& [type, count] : counts) std::cout << "  " << type << ": " << count << "\n";
  EXPECT_GT(counts["VARIABLE"], 0u);
  EXPECT_GT(counts["sql SELECT"], 0u);
}

}  // namespace
}  // namespace veltrane::resolve
