// The scope indexes: SQL frames (column search across frames, blocked by opaque items,
// limited by a floor; items by name) and PL/SQL frames (latest entry, owned frames,
// frame-only lookups, the package's own declarations last).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.hpp"
#include "resolve/name_table.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/scope.hpp"

namespace veltrane::resolve {
namespace {

catalog::CatalogObject table(std::string name, std::vector<std::string> columns) {
  catalog::CatalogObject object{};
  object.owner = "APP";
  object.name = std::move(name);
  object.kind = catalog::ObjectKind::Table;
  for (std::string& column : columns) object.columns.push_back({std::move(column), "NUMBER", true});
  return object;
}

TEST(ResolveScope, ColumnSearchAcrossFrames) {
  const catalog::CatalogObject emp = table("EMP", {"ID", "NAME"});
  const catalog::CatalogObject dept = table("DEPT", {"ID", "DNAME"});
  // Frames are built from a layout: each string is one frame, each letter one item
  // (e = EMP, d = DEPT, h = DEPT hiding its columns, q = an inline view giving SAL,
  // o = opaque).
  struct Case {
    std::string_view name;
    std::vector<std::string_view> frames;
    std::string_view column;
    uint32_t floor;
    ColumnSearch expected;
  };
  const std::vector<Case> cases = {
      {"innermost known item", {"e"}, "NAME", 0, ColumnSearch::Found},
      {"known items pass outward", {"d", "e"}, "DNAME", 0, ColumnSearch::Found},
      {"every frame passed", {"d", "e"}, "SAL", 0, ColumnSearch::NotFound},
      {"a known column beside an opaque item of its frame", {"oe"}, "ID", 0, ColumnSearch::Found},
      {"an opaque frame passes the search outward", {"d", "o"}, "DNAME", 0, ColumnSearch::Found},
      {"opaque items list nothing", {"o", "eo"}, "SAL", 0, ColumnSearch::NotFound},
      {"a hidden column of the innermost item", {"e", "h"}, "DNAME", 0, ColumnSearch::Hidden},
      {"a known column inside a hiding item", {"h", "e"}, "ID", 0, ColumnSearch::Found},
      {"a column an inline view gives", {"e", "qo"}, "SAL", 0, ColumnSearch::Hidden},
      {"below the floor nothing is seen", {"d", "e"}, "DNAME", 1, ColumnSearch::NotFound},
      {"no frame", {}, "ID", 0, ColumnSearch::NotFound},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    NameTable names;
    SqlScopes scopes(names);
    for (const std::string_view frame : test.frames) {
      scopes.open_frame();
      for (const char item : frame) {
        if (item == 'o') {
          scopes.add_item(SqlItem{"X", nullptr, true, {}});
        } else if (item == 'h') {
          scopes.add_item(SqlItem{"P", &dept, true, {}});
        } else if (item == 'q') {
          scopes.add_item(SqlItem{"Q", nullptr, true, {"SAL"}});
        } else {
          const catalog::CatalogObject* object = item == 'e' ? &emp : &dept;
          scopes.add_item(SqlItem{object->name, object, false, {}});
        }
      }
    }
    EXPECT_EQ(scopes.find_column(test.column, test.floor), test.expected);
  }
}

TEST(ResolveScope, ClosingFramesForgetsTheirItems) {
  const catalog::CatalogObject emp = table("EMP", {"ID"});
  NameTable names;
  SqlScopes scopes(names);
  scopes.open_frame();
  scopes.add_item(SqlItem{"E", &emp, false, {}});
  scopes.add_alias("TOTAL");
  scopes.open_frame();
  scopes.add_item(SqlItem{"E", nullptr, true, {"ID"}});
  EXPECT_EQ(scopes.find_item("E", 0)->opaque, true);
  EXPECT_EQ(scopes.find_column("ID", 0), ColumnSearch::Hidden);
  EXPECT_FALSE(scopes.is_alias("TOTAL"));
  scopes.close_frame();
  EXPECT_EQ(scopes.find_item("E", 0)->opaque, false);
  EXPECT_EQ(scopes.find_column("ID", 0), ColumnSearch::Found);
  EXPECT_TRUE(scopes.is_alias("TOTAL"));
  scopes.close_frame();
  EXPECT_EQ(scopes.find_item("E", 0), nullptr);
  EXPECT_EQ(scopes.find_column("ID", 0), ColumnSearch::NotFound);
}

TEST(ResolveScope, PlsqlFrames) {
  const PackageSpec own("APP", "PAY", {{"G", TypeWord::Variable}, {"V", TypeWord::Constant}});
  NameTable names;
  PlsqlScopes scopes(names, &own);
  scopes.open_frame("PAY", TypeWord::Package, true);
  scopes.enter("PAY", TypeWord::Package);
  scopes.enter("V", TypeWord::Variable);
  scopes.open_frame("P", TypeWord::Procedure);
  scopes.enter("V", TypeWord::Cursor);
  scopes.enter("V", TypeWord::Exception);
  scopes.enter("L", TypeWord::Label);
  scopes.enter("L", TypeWord::Variable);

  EXPECT_EQ(scopes.lookup("V"), TypeWord::Exception);  // the latest entry wins
  EXPECT_EQ(scopes.lookup("G"), TypeWord::Variable);   // the own declarations come last
  EXPECT_EQ(scopes.lookup("X"), std::nullopt);
  EXPECT_TRUE(scopes.has_label("L"));
  const std::optional<PlsqlScopes::OwnedFrame> unit = scopes.owned_frame("PAY");
  ASSERT_TRUE(unit.has_value());
  EXPECT_EQ(unit->owner_type, TypeWord::Package);
  EXPECT_EQ(scopes.lookup_in_frame(unit->frame, "V"), TypeWord::Variable);
  EXPECT_EQ(scopes.lookup_in_frame(unit->frame, "G"), TypeWord::Variable);
  const std::optional<PlsqlScopes::OwnedFrame> inner = scopes.owned_frame("P");
  ASSERT_TRUE(inner.has_value());
  EXPECT_EQ(scopes.lookup_in_frame(inner->frame, "G"), std::nullopt);

  scopes.close_frame();
  EXPECT_EQ(scopes.lookup("V"), TypeWord::Variable);
  EXPECT_FALSE(scopes.has_label("L"));
  EXPECT_FALSE(scopes.owned_frame("P").has_value());
}

TEST(ResolveScope, NestedFramesOfOneOwner) {
  // A procedure P declared inside a procedure P: the inner frame is P's until it closes.
  NameTable names;
  PlsqlScopes scopes(names, nullptr);
  scopes.open_frame("P", TypeWord::Procedure);
  scopes.enter("A", TypeWord::Variable);
  scopes.open_frame("Q", TypeWord::Function);
  scopes.open_frame("P", TypeWord::Procedure);
  scopes.enter("A", TypeWord::Constant);
  EXPECT_EQ(scopes.owned_frame("P")->frame, 2u);
  EXPECT_EQ(scopes.lookup_in_frame(0, "A"), TypeWord::Variable);
  EXPECT_EQ(scopes.lookup_in_frame(1, "A"), std::nullopt);
  scopes.close_frame();
  EXPECT_EQ(scopes.owned_frame("P")->frame, 0u);
  EXPECT_EQ(scopes.lookup("A"), TypeWord::Variable);
  scopes.close_frame();
  scopes.close_frame();
  EXPECT_FALSE(scopes.owned_frame("P").has_value());
  EXPECT_EQ(scopes.lookup("A"), std::nullopt);
}

TEST(ResolveScope, NameTableNumbersNamesOnce) {
  // Enough names to grow the table several times; names differing in case or length only
  // are distinct.
  NameTable names;
  EXPECT_EQ(names.find("A"), NameTable::NONE);
  std::vector<std::string> written;
  for (int i = 0; i < 3000; ++i) written.push_back("N" + std::to_string(i));
  written.insert(written.end(), {"", "n1", "N1 ", "A", "AB", "ABC"});
  for (uint32_t number = 0; number < written.size(); ++number) {
    EXPECT_EQ(names.intern(written[number]), number);
  }
  EXPECT_EQ(names.size(), written.size());
  for (uint32_t number = 0; number < written.size(); ++number) {
    EXPECT_EQ(names.find(written[number]), number);
    EXPECT_EQ(names.intern(written[number]), number);
  }
  EXPECT_EQ(names.find("N3000"), NameTable::NONE);
  EXPECT_EQ(names.size(), written.size());
}

}  // namespace
}  // namespace veltrane::resolve
