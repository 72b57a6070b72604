// The catalog built from statements its caller has already parsed equals the catalog that
// build_catalog gives when it splits and parses the same text itself: the same objects,
// triggers and synonyms with every field, and the same schema at the end. Checked on
// scripts aimed at each statement kind and on every file of the corpus.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "corpus_files.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/stop.hpp"

namespace veltrane::catalog {
namespace {

// Every field of every entry, one line an entry.
std::string full_listing(const Catalog& catalog) {
  std::string out;
  for (const auto* map : {&catalog.objects, &catalog.triggers}) {
    for (const auto& [key, object] : *map) {
      out += std::string(OBJECT_TYPE_NAMES[static_cast<std::size_t>(object.kind)]) + " " +
             object.owner + "." + object.name + " from " + object.origin +
             (object.columns_pending ? " pending" : "") + "\n";
      for (const Column& column : object.columns) {
        out += "  " + column.name + " " + column.datatype + (column.nullable ? "" : " NOT NULL") +
               "\n";
      }
      for (const Member& member : object.members) {
        out += "  " + member.name + " " + std::string(member_kind_name(member.kind)) + " " +
               member.type_text + "\n";
      }
      if (object.trigger_table) {
        out += "  ON " + object.trigger_table->owner + "." + object.trigger_table->name + "\n";
      }
    }
  }
  for (const auto& [key, synonym] : catalog.synonyms) {
    out += "SYNONYM " + synonym.owner + "." + synonym.name + " -> " + synonym.target_owner + "." +
           synonym.target_name + (synonym.db_link ? "@" + *synonym.db_link : "") + " from " +
           synonym.origin + "\n";
  }
  return out;
}

struct Listing {
  std::string catalog;
  std::string schema;
};

Listing built_by_parsing(std::string_view text, const lexer::ParseOptions& options) {
  Catalog catalog;
  std::string schema = build_catalog(catalog, "f.sql", text, "APP", options);
  return {full_listing(catalog), std::move(schema)};
}

// Every item parsed first, as the analysis does, then the catalog from those statements.
Catalog catalog_from_parsed(std::string_view text, CatalogDetail detail, std::string* schema) {
  const lexer::SplitResult split = lexer::split_script(text);
  std::vector<std::optional<parser::ParsedStatement>> parsed;
  std::vector<const parser::ParsedStatement*> statements;
  parsed.reserve(split.items.size());
  for (const lexer::ScriptItem& item : split.items) {
    parsed.push_back(parser::parse_item(text, split, item, {}));
    statements.push_back(parsed.back() ? &*parsed.back() : nullptr);
  }
  Catalog catalog;
  *schema =
      build_catalog_from_parsed(catalog, "f.sql", text, split.items, statements, "APP", detail);
  return catalog;
}

Listing built_from_parsed(std::string_view text, const lexer::ParseOptions& options) {
  const lexer::SplitResult split = lexer::split_script(text);
  std::vector<std::optional<parser::ParsedStatement>> parsed;
  std::vector<const parser::ParsedStatement*> statements;
  parsed.reserve(split.items.size());
  for (const lexer::ScriptItem& item : split.items) {
    parsed.push_back(parser::parse_item(text, split, item, options));
    statements.push_back(parsed.back() ? &*parsed.back() : nullptr);
  }
  Catalog catalog;
  std::string schema =
      build_catalog_from_parsed(catalog, "f.sql", text, split.items, statements, "APP");
  return {full_listing(catalog), std::move(schema)};
}

TEST(BuildCatalogFromParsed, EqualsTheCatalogOfTheText) {
  lexer::ParseOptions debug;
  debug.ccflags["DEBUG"] = true;
  struct Case {
    const char* name;
    std::string script;
    lexer::ParseOptions options;
  };
  const std::vector<Case> cases = {
      {"empty", "", {}},
      {"tables, views and changes",
       "CREATE TABLE t (a NUMBER PRIMARY KEY, b VARCHAR2(10) NOT NULL, c DATE);\n"
       "ALTER TABLE t ADD (d NUMBER);\nALTER TABLE t MODIFY c NOT NULL;\n"
       "ALTER TABLE t RENAME COLUMN b TO bb;\nALTER TABLE t DROP COLUMN a;\n"
       "CREATE VIEW v AS SELECT bb, c x FROM t;\nCREATE MATERIALIZED VIEW m AS SELECT 1 FROM t;\n"
       "CREATE TRIGGER tr BEFORE INSERT ON t FOR EACH ROW BEGIN NULL; END;\n/\n"
       "ALTER TABLE t RENAME TO t2;\n",
       {}},
      {"schemas change on the way",
       "CREATE TABLE t1 (a NUMBER);\nCONNECT scott/tiger\nCREATE SEQUENCE s;\n"
       "ALTER SESSION SET CURRENT_SCHEMA = hr;\nCREATE SYNONYM y FOR t1;\n"
       "CREATE PUBLIC SYNONYM z FOR scott.s@far;\n",
       {}},
      {"statements with errors add nothing",
       "CREATE TABLE bad (a NUMBER;\nCREATE TABLE good (a NUMBER);\n"
       "CREATE PROCEDURE p IS BEGIN x := ; END;\n/\n",
       {}},
      {"program units and types under flags",
       "CREATE PACKAGE pk AS $IF $$debug $THEN dbg BOOLEAN; $END x NUMBER; "
       "PROCEDURE q(a NUMBER); END;\n/\nCREATE FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; "
       "END;\n/\n"
       "CREATE TYPE ty AS OBJECT (a NUMBER, MEMBER FUNCTION g RETURN NUMBER);\n/\n",
       debug},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const Listing expected = built_by_parsing(test_case.script, test_case.options);
    const Listing actual = built_from_parsed(test_case.script, test_case.options);
    EXPECT_EQ(actual.catalog, expected.catalog);
    EXPECT_EQ(actual.schema, expected.schema);
    // Each script stores something, so that an entry that stores nothing is caught.
    EXPECT_EQ(expected.catalog.empty(), test_case.script.empty());
  }
}

TEST(BuildCatalogFromParsed, EqualsTheCatalogOfEveryCorpusFile) {
  const std::vector<std::filesystem::path> paths = test_support::corpus_files();
  ASSERT_FALSE(paths.empty());
  for (const std::filesystem::path& path : paths) {
    SCOPED_TRACE(path.string());
    std::ifstream input(path, std::ios::binary);
    const std::string text = syntax::lossy_utf8(
        std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()));
    const Listing expected = built_by_parsing(text, {});
    const Listing actual = built_from_parsed(text, {});
    ASSERT_EQ(actual.catalog, expected.catalog);
    ASSERT_EQ(actual.schema, expected.schema);
  }
}

TEST(BuildCatalogFromParsed, ForResolutionLeavesOutOnlyMembersAndTheirTypes) {
  // The same catalog with package members, methods and attribute types taken out: object
  // tables still get the attributes of their type as columns, without datatypes.
  const std::string text =
      "CREATE TYPE base AS OBJECT (id NUMBER, MEMBER FUNCTION f RETURN NUMBER) NOT FINAL;\n/\n"
      "CREATE TYPE sub UNDER base (name VARCHAR2(10));\n/\n"
      "CREATE TABLE subs OF sub;\nCREATE TYPE list AS TABLE OF NUMBER;\n/\n"
      "CREATE PACKAGE pk AS x NUMBER; PROCEDURE q(a NUMBER); END;\n/\n"
      "CREATE TABLE t (a NUMBER NOT NULL);\nCREATE SYNONYM s FOR t;\n";
  std::string full_schema;
  std::string lean_schema;
  Catalog full = catalog_from_parsed(text, CatalogDetail::Full, &full_schema);
  const Catalog lean = catalog_from_parsed(text, CatalogDetail::ForResolution, &lean_schema);
  ASSERT_EQ(full.objects.at({"APP", "PK"}).members.size(), 2u);
  ASSERT_EQ(full.objects.at({"APP", "SUBS"}).columns.size(), 2u);
  for (auto& [key, object] : full.objects) {
    std::erase_if(object.members,
                  [](const Member& member) { return member.kind != MemberKind::Attribute; });
    for (Member& member : object.members) member.type_text.clear();
  }
  for (Column& column : full.objects.at({"APP", "SUBS"}).columns) column.datatype.clear();
  EXPECT_EQ(full_listing(lean), full_listing(full));
  EXPECT_EQ(lean_schema, full_schema);
}

TEST(BuildCatalogFromParsed, ReadsOnlyTheSlotsOfStatements) {
  const std::string text =
      "CREATE TABLE a (x NUMBER);\nCONNECT scott\nCREATE TABLE b (x NUMBER);\n";
  const lexer::SplitResult split = lexer::split_script(text);
  ASSERT_EQ(split.items.size(), 3u);
  const std::optional<parser::ParsedStatement> first =
      parser::parse_item(text, split, split.items[0], {});
  ASSERT_TRUE(first.has_value());
  // The command's slot holds a statement and the last statement's slot none: the command
  // still changes the schema, and only the first table is stored.
  const std::vector<const parser::ParsedStatement*> statements = {&*first, &*first, nullptr};
  Catalog catalog;
  EXPECT_EQ(build_catalog_from_parsed(catalog, "f.sql", text, split.items, statements, "APP"),
            "SCOTT");
  EXPECT_EQ(full_listing(catalog), "TABLE APP.A from f.sql\n  X NUMBER\n");

  const std::vector<const parser::ParsedStatement*> too_few = {&*first};
  EXPECT_THROW((void)build_catalog_from_parsed(catalog, "f.sql", text, split.items, too_few, "APP"),
               syntax::InternalStop);
}

}  // namespace
}  // namespace veltrane::catalog
