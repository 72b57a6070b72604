// The report document and its rendering: summary, objects, the embedded page, report.json,
// the CSV tables, and the ZIP archive.

#include "report/report_data.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/document_text.hpp"
#include "report/file_analysis.hpp"
#include "report/render.hpp"
#include "report/report_template.hpp"
#include "report/zip_report.hpp"

namespace veltrane::report {
namespace {

using Json = nlohmann::json;

std::vector<ReportFile> rendered(const std::vector<SourceInput>& inputs,
                                 const std::vector<std::string>& formats,
                                 std::string_view schema = "app",
                                 std::string_view title = "Veltrane report") {
  return build_report(inputs, lexer::ParseOptions{}, schema, title, formats).outputs;
}

// The document as report.json gives it.
Json report_of(const std::vector<SourceInput>& inputs, std::string_view schema = "app",
               std::string_view title = "Veltrane report") {
  return Json::parse(rendered(inputs, {"json"}, schema, title).at(0).bytes);
}

std::vector<ReportFile> render_csv_tables(const std::vector<SourceInput>& inputs) {
  return rendered(inputs, {"csv"});
}

std::vector<std::string> keys_of(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

std::vector<std::string> names_of(const std::vector<ReportFile>& files) {
  std::vector<std::string> names;
  for (const ReportFile& file : files) names.push_back(file.name);
  return names;
}

const ReportFile& file_named(const std::vector<ReportFile>& files, std::string_view name) {
  for (const ReportFile& file : files) {
    if (file.name == name) return file;
  }
  ADD_FAILURE() << "no " << name;
  return files.front();
}

std::size_t occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(ReportData, NoInputs) {
  const Json data = report_of({}, "app", "T");
  EXPECT_EQ(keys_of(data), (std::vector<std::string>{"files", "objects", "oracle_version", "schema",
                                                     "summary", "title", "tool", "tool_version"}));
  EXPECT_EQ(data["files"], Json::array());
  EXPECT_EQ(data["objects"], Json::array());
  EXPECT_EQ(data["summary"], (Json{{"bytes", 0},
                                   {"errors", 0},
                                   {"files", 0},
                                   {"lines", 0},
                                   {"objects", 0},
                                   {"sqlplus", 0},
                                   {"statements", 0},
                                   {"warnings", 0},
                                   {"with_errors", 0}}));
  EXPECT_EQ(data["tool"], "Veltrane");
  EXPECT_EQ(data["tool_version"], "0.1.5");
  EXPECT_EQ(data["oracle_version"], "26ai");
  EXPECT_EQ(data["title"], "T");
  const std::string json_text = rendered({}, {"json"}, "app", "T").at(0).bytes;
  EXPECT_EQ(json_text.find("  \"files\": [],\n"), 2u);
  EXPECT_EQ(json_text.back(), '}');
}

TEST(ReportData, SchemaUpperCasesAsciiOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"app", "APP"}, {"my_app", "MY_APP"}, {"\xC3\xA4pp", "\xC3\xA4PP"}, {"", ""}};
  for (const auto& [schema, expected] : cases) {
    SCOPED_TRACE(schema);
    EXPECT_EQ(report_of({}, schema)["schema"], expected);
  }
}

TEST(ReportData, SummaryAndFileEntries) {
  const Json data = report_of({
      {"a.sql", "create table t (a number);\ncreate sequence s;\nselect a from t;\n"},
      {"b.sql", "set echo on\nselect from;\n"},
  });
  const Json& summary = data["summary"];
  EXPECT_EQ(summary["files"], 2);
  EXPECT_EQ(summary["statements"], 4);
  EXPECT_EQ(summary["with_errors"], 1);
  EXPECT_EQ(summary["sqlplus"], 1);
  EXPECT_EQ(summary["lines"], 5);
  EXPECT_EQ(summary["bytes"], 63 + 25);
  EXPECT_EQ(summary["objects"], 2);
  EXPECT_FALSE(summary.contains("nodes"));
  const Json& file = data["files"][0];
  EXPECT_EQ(keys_of(file),
            (std::vector<std::string>{"bytes", "counts", "items", "lines", "name", "version"}));
  EXPECT_TRUE(file["counts"].contains("nodes"));
  for (const Json& item : file["items"]) {
    EXPECT_FALSE(item.contains("micros"));
    EXPECT_TRUE(item.contains("nodes"));
  }
}

TEST(ReportData, ObjectsFromOneCatalogAcrossInputs) {
  const Json data = report_of({
      {"one.sql", "create table t (a number);\nalter session set current_schema = hr;\n"},
      {"two.sql",
       "create table t (a number, b number);\ncreate table app.t (a number, b number, c "
       "date);\ncreate trigger app.a_trg before insert on app.t begin null; end;\n/\ncreate "
       "table zed.z (a number);\n"},
  });
  std::vector<std::string> listed;
  for (const Json& object : data["objects"]) {
    EXPECT_EQ(keys_of(object),
              (std::vector<std::string>{"columns", "members", "name", "owner", "type"}));
    listed.push_back(object["type"].get<std::string>() + " " + object["owner"].get<std::string>() +
                     "." + object["name"].get<std::string>() + " " +
                     std::to_string(object["columns"].get<int>()));
  }
  // APP.T is listed once, as last defined; HR.T comes from the schema the first input
  // left in force; the trigger follows every other object.
  EXPECT_EQ(listed, (std::vector<std::string>{"TABLE APP.T 3", "TABLE HR.T 2", "TABLE ZED.Z 1",
                                              "TRIGGER APP.A_TRG 0"}));
  EXPECT_EQ(data["schema"], "APP");
}

TEST(ReportData, TheSameInputsGiveTheSameBytes) {
  const std::vector<SourceInput> inputs = {
      {"a.sql", "create table t (a number);\nselect a from t where b = 1;\n"},
      {"b.sql", "begin\n  null;\nend;\n/\nselect (1 from dual;\n"},
  };
  const std::vector<std::string> formats = {"csv", "json"};
  const std::vector<ReportFile> first = rendered(inputs, formats);
  const std::vector<ReportFile> second = rendered(inputs, formats);
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    SCOPED_TRACE(first[i].name);
    EXPECT_EQ(first[i].bytes, second[i].bytes);
  }
}

// Both printed forms of the document, from the compact text cut in pieces anywhere but
// inside a string, read back as the library prints the value.
TEST(ReportRender, EmbeddedAndIndentedTextsEqualTheLibraryDumps) {
  const Json values[] = {
      nullptr,
      Json::array(),
      Json::object(),
      "quote \" backslash \\ tab \t nul " + std::string(1, '\0') + " \x7f caf\xC3\xA9 [{,:}]",
      "</script> <!-- \\/ \\u003c \\</ <\\/ <",
      Json{{"b", Json::array({1, -2, 3.5, 0.0, 1e300, true, false, nullptr})},
           {"a", Json::object()},
           {"c", Json{{"d", Json::array({Json::array(), Json::object(), "x\\\"y</"})}}}},
      report_of({{"a.sql", "create table t (a number);\nselect \"x\ty\" from t;\nselect (;\n"},
                 {"b.sql", "prompt \x01\n"}}),
  };
  for (const Json& value : values) {
    SCOPED_TRACE(value.dump());
    const std::string compact = value.dump();
    std::string embedded;
    append_script_safe_json(embedded, compact);
    EXPECT_EQ(embedded.find("</"), std::string::npos);
    EXPECT_EQ(embedded.find("<!--"), std::string::npos);
    EXPECT_EQ(Json::parse(embedded), value);
    std::string indented = "kept ";
    append_indented_json(indented, embedded);
    EXPECT_EQ(indented, "kept " + value.dump(2));
  }
}

TEST(ReportRender, OutputsComeInTheirFixedOrder) {
  const std::vector<SourceInput> none;
  const std::vector<std::string> csv_files = {"files.csv", "statements.csv", "problems.csv",
                                              "tables.csv", "objects.csv"};
  struct Case {
    const char* name;
    std::vector<std::string> formats;
    std::vector<std::string> outputs;
  };
  std::vector<std::string> everything = {"report.html"};
  everything.insert(everything.end(), csv_files.begin(), csv_files.end());
  everything.push_back("report.json");
  const Case cases[] = {
      {"json then html", {"json", "html"}, {"report.html", "report.json"}},
      {"csv alone", {"csv"}, csv_files},
      {"html twice", {"html", "html"}, {"report.html"}},
      {"all", {"json", "csv", "html"}, everything},
      {"upper case is another word", {"HTML"}, {}},
      {"none", {}, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(names_of(rendered(none, test.formats)), test.outputs);
  }
}

TEST(ReportRender, TemplateHasOneDataSlot) {
  EXPECT_EQ(occurrences(REPORT_TEMPLATE, "/*__DATA__*/null"), 1u);
  EXPECT_EQ(occurrences(REPORT_TEMPLATE, "/*__CSV__*/false"), 1u);
  EXPECT_EQ(REPORT_TEMPLATE.find("<script src"), std::string_view::npos);
  EXPECT_EQ(REPORT_TEMPLATE.find("http"), std::string_view::npos);
  EXPECT_EQ(REPORT_TEMPLATE.find("innerHTML"), std::string_view::npos);
}

TEST(ReportRender, PageKnowsWhetherTheCsvFilesComeWithIt) {
  // The slot's text in the data is data, and stays.
  const std::vector<SourceInput> inputs = {{"x.sql", "select '/*__CSV__*/false' from dual;\n"}};
  for (const auto& [formats, beside] :
       {std::pair<std::vector<std::string>, std::string_view>{{"html", "json"}, "false;"},
        {{"csv", "html"}, "true;"}}) {
    const std::string page = rendered(inputs, formats).at(0).bytes;
    EXPECT_EQ(page.substr(page.find("CSV_BESIDE = ") + 13, beside.size()), beside);
    EXPECT_EQ(occurrences(page, "/*__CSV__*/false"), 1u);
  }
}

TEST(ReportRender, EmbeddedDataCannotEndTheScript) {
  const std::vector<SourceInput> inputs = {
      {"x.sql",
       "select '</script><img src=x onerror=alert(1)>' from dual;\n"
       "select '<!--<script>' from dual;\n"
       "select '/*__DATA__*/null' from dual;\n"},
  };
  const std::vector<ReportFile> files = rendered(inputs, {"html", "json"});
  const std::string& page = files.at(0).bytes;
  EXPECT_NE(page.find("<\\/script><img"), std::string::npos);
  EXPECT_EQ(page.find("</script><img"), std::string::npos);
  EXPECT_NE(page.find("\\u003c!--<script>"), std::string::npos);
  EXPECT_EQ(page.find("<!--"), std::string::npos);
  // The page's own closing tag is the only one; the slot text in the data stays.
  EXPECT_EQ(occurrences(page, "</script>"), 1u);
  EXPECT_EQ(occurrences(page, "/*__DATA__*/null"), 1u);
  EXPECT_EQ(page.find("/*__DATA__*/null"), page.find("'/*__DATA__*/null") + 1);
  // The embedded text reads back as the same value.
  const std::size_t start = page.find("const DATA = ") + 13;
  const std::size_t end = page.find(";\n(function", start);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(Json::parse(page.substr(start, end - start)), Json::parse(files.at(1).bytes));
  // report.json holds the text unchanged.
  EXPECT_NE(files.at(1).bytes.find("</script><img"), std::string::npos);
}

TEST(ReportCsv, FieldQuoting) {
  const std::pair<const char*, const char*> fields[] = {
      {"", ""},
      {"a b", "a b"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {"<b>&amp;</b>", "<b>&amp;</b>"},
      {" lead; x", " lead; x"},
      {"=1+2", "=1+2"},
  };
  for (const auto& [cell, expected] : fields) {
    SCOPED_TRACE(cell);
    std::string out;
    append_csv_field(out, cell);
    EXPECT_EQ(out, expected);
  }
}

TEST(ReportCsv, TablesOfTheWorkedExample) {
  const std::vector<SourceInput> inputs = {
      {"t.sql", "create table t (a number);\ncreate sequence s;\nselect a from t;\n"}};
  const std::vector<ReportFile> files = render_csv_tables(inputs);
  EXPECT_EQ(names_of(files),
            (std::vector<std::string>{"files.csv", "statements.csv", "problems.csv", "tables.csv",
                                      "objects.csv"}));
  EXPECT_EQ(file_named(files, "objects.csv").bytes,
            "type,owner,name,columns,members\r\nSEQUENCE,APP,S,0,0\r\nTABLE,APP,T,1,0\r\n");
  EXPECT_EQ(file_named(files, "files.csv").bytes,
            "file,bytes,lines,statements,with_errors,errors,warnings,sqlplus\r\n"
            "t.sql,63,3,3,0,0,0,0\r\n");
  EXPECT_NE(file_named(files, "statements.csv")
                .bytes.find("t.sql,3,1,3,sql,SelectStmt,0,0,T,15,true\r\n"),
            std::string::npos);
  EXPECT_EQ(file_named(files, "problems.csv").bytes,
            "file,line,col,severity,message,statement,source\r\n");
  EXPECT_EQ(file_named(files, "tables.csv").bytes,
            "table,file,line,statement\r\nT,t.sql,3,SelectStmt\r\n");
}

TEST(ReportCsv, EmptyDocumentGivesHeadsOnly) {
  for (const ReportFile& file : render_csv_tables({})) {
    SCOPED_TRACE(file.name);
    EXPECT_EQ(std::count(file.bytes.begin(), file.bytes.end(), '\n'), 1);
    EXPECT_EQ(file.bytes.substr(file.bytes.size() - 2), "\r\n");
  }
}

ItemDiagnostic diagnostic_at(uint32_t line, std::string_view message) {
  return ItemDiagnostic{line, 1, 0, 0, message};
}

// Items written by hand: sources cut at 200 characters, lines past the end, quoting, and
// two inputs of the same name, each quoting its own text.
TEST(ReportCsv, ProblemRowsQuoteTheirOwnFilesSource) {
  std::string long_line;
  for (int i = 0; i < 210; ++i) long_line.append("\xC3\xA9");
  const std::string first = "first line \r\n   second, \"quoted\"\t\r\n" + long_line + "\n";
  const std::string second = "another text with the same name\n";
  const parser::ParsedStatement unused_tree;
  AnalyzedItem item;
  item.parsed = &unused_tree;
  item.line = 2;
  item.statement = "OtherStmt";
  item.tables = {"T", "T"};
  item.errors = {diagnostic_at(2, "m, 2"), diagnostic_at(3, "m3")};
  item.warnings = {diagnostic_at(9, "m4")};

  const std::vector<std::string> csv = {"csv"};
  ReportWriter writer(csv);
  writer.begin_file("a.sql", first);
  writer.item_rows(item);
  writer.end_file(first.size(), 3, FileCounts{});
  writer.begin_file("a.sql", second);
  item.errors = {diagnostic_at(1, "m1")};
  item.warnings.clear();
  item.tables.clear();
  writer.item_rows(item);
  writer.end_file(second.size(), 1, FileCounts{});
  const std::vector<ReportFile> files = std::move(writer).finish();

  std::string cut;
  for (int i = 0; i < 200; ++i) cut.append("\xC3\xA9");
  EXPECT_EQ(file_named(files, "problems.csv").bytes,
            "file,line,col,severity,message,statement,source\r\n"
            "a.sql,2,1,error,\"m, 2\",OtherStmt,\"second, \"\"quoted\"\"\"\r\n"
            "a.sql,3,1,error,m3,OtherStmt," +
                cut +
                "\r\n"
                "a.sql,9,1,warning,m4,OtherStmt,\r\n"
                "a.sql,1,1,error,m1,OtherStmt,another text with the same name\r\n");
  EXPECT_EQ(file_named(files, "tables.csv").bytes,
            "table,file,line,statement\r\nT,a.sql,2,OtherStmt\r\nT,a.sql,2,OtherStmt\r\n");
}

std::string entry_names(const std::string& archive) {
  // The central directory as the end record gives it.
  const std::size_t end = archive.size() - 22;
  auto read = [&](std::size_t at, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
      value |= static_cast<uint32_t>(static_cast<unsigned char>(archive[at + i])) << (8 * i);
    }
    return value;
  };
  std::string names;
  std::size_t record = read(end + 16, 4);
  for (uint32_t i = 0; i < read(end + 10, 2); ++i) {
    EXPECT_EQ(archive.substr(record, 4), "PK\x01\x02");
    EXPECT_EQ(read(record + 4, 2), 0x0314u);
    EXPECT_EQ(read(record + 6, 2), 20u);
    EXPECT_EQ(read(record + 8, 2), 0u);
    EXPECT_EQ(read(record + 10, 2), 8u);
    EXPECT_EQ(read(record + 12, 2), 0x0000u);
    EXPECT_EQ(read(record + 14, 2), 0x0021u);
    EXPECT_EQ(read(record + 38, 4), 0x81A40000u);
    const uint32_t name_length = read(record + 28, 2);
    EXPECT_EQ(read(record + 30, 2), 0u);
    EXPECT_EQ(read(record + 32, 2), 0u);
    names.append(archive.substr(record + 46, name_length)).push_back(';');
    record += 46 + name_length;
  }
  return names;
}

TEST(ReportZip, EmptyListGivesTheEndRecordAlone) {
  const ZipResult result = zip_report({});
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.bytes, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST(ReportZip, EntriesAreFixedAndRepeatable) {
  const std::vector<SourceInput> inputs = {
      {"t.sql", "create table t (a number);\nselect a from t;\n"}};
  std::vector<ReportFile> files = rendered(inputs, {"html", "csv", "json"});
  files.push_back({"empty.txt", ""});
  const ZipResult first = zip_report(files);
  const ZipResult second = zip_report(files);
  ASSERT_TRUE(first.ok()) << first.error;
  EXPECT_EQ(first.bytes, second.bytes);
  EXPECT_EQ(entry_names(first.bytes),
            "veltrane-report/report.html;veltrane-report/files.csv;"
            "veltrane-report/statements.csv;veltrane-report/problems.csv;"
            "veltrane-report/tables.csv;veltrane-report/objects.csv;"
            "veltrane-report/report.json;veltrane-report/empty.txt;");
  // The first local header: no flags, version 20, the fixed date.
  EXPECT_EQ(first.bytes.substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(first.bytes.substr(4, 2), std::string("\x14\0", 2));
  EXPECT_EQ(first.bytes.substr(6, 2), std::string("\0\0", 2));
  EXPECT_EQ(first.bytes.substr(8, 2), std::string("\x08\0", 2));
}

TEST(ReportZip, ANameGivenTwiceFails) {
  const std::vector<ReportFile> files = {{"a.csv", "1"}, {"a.csv", "2"}};
  const ZipResult result = zip_report(files);
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.error, "File already exists");
  EXPECT_TRUE(result.bytes.empty());
}

}  // namespace
}  // namespace veltrane::report
