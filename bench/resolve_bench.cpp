// Name resolution speed over a folder of real scripts, file by file, each file resolved as
// the analysis driver resolves a script: its catalog built under the file name "script"
// from schema "APP", the specification of every CREATE PACKAGE collected, then every
// statement resolved with its default owner (the owner its CREATE writes, else "APP").
// BM_resolve times the resolution alone, over trees, catalogs and specifications made
// before the loop; BM_split_parse_resolve times every step from the text on. Usage:
// resolve_bench [benchmark flags] [corpus folder]. A missing folder skips the run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "resolve/package_spec.hpp"
#include "resolve/records.hpp"
#include "resolve/resolve_statement.hpp"
#include "syntax/kinds.hpp"
#include "syntax/lossy_utf8.hpp"
#include "views/created_object.hpp"

namespace {

#ifdef VELTRANE_CORPUS_DIR
constexpr const char* DEFAULT_CORPUS = VELTRANE_CORPUS_DIR;
#else
constexpr const char* DEFAULT_CORPUS = "../shared/corpus";
#endif

using namespace veltrane;

constexpr std::string_view SCHEMA = "APP";

using SpecMap = std::unordered_map<std::string, resolve::PackageSpec>;

// The text of every regular file under `folder`, in path order, decoded lossily as every
// face decodes its input; empty when the folder is missing or holds nothing.
std::vector<std::string> read_corpus(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return {};
  std::vector<std::filesystem::path> paths;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> files;
  for (const auto& path : paths) {
    std::ifstream input(path, std::ios::binary);
    std::ostringstream content;
    content << input.rdbuf();
    files.push_back(syntax::lossy_utf8(content.str()));
  }
  return files;
}

std::size_t total_bytes(const std::vector<std::string>& files) {
  std::size_t bytes = 0;
  for (const std::string& file : files) bytes += file.size();
  return bytes;
}

bool has_root(const parser::ParsedStatement& statement, syntax::NodeKind kind) {
  return statement.tree.nodes[statement.tree.root].kind == syntax::syntax_kind(kind);
}

// The owner and name a statement creates: the owner written, else the schema; no name for
// a statement that creates none.
struct OwnerAndName {
  std::string owner;
  std::optional<std::string> name;
};

OwnerAndName created_name(const parser::ParsedStatement& statement, std::string_view text) {
  std::optional<views::QualifiedName> created = views::created_object_name(statement, text);
  if (!created) return {std::string(SCHEMA), std::nullopt};
  return {created->owner.value_or(std::string(SCHEMA)), std::move(created->name)};
}

// Every statement of one file, parsed.
std::vector<parser::ParsedStatement> split_and_parse(std::string_view text,
                                                     const lexer::ParseOptions& options) {
  const lexer::SplitResult split = lexer::split_script(text);
  std::vector<parser::ParsedStatement> statements;
  statements.reserve(split.items.size());
  for (const lexer::ScriptItem& item : split.items) {
    std::optional<parser::ParsedStatement> parsed = parser::parse_item(text, split, item, options);
    if (parsed) statements.push_back(std::move(*parsed));
  }
  return statements;
}

// The specification of every CREATE PACKAGE, a later one replacing an earlier one.
SpecMap package_specs(std::string_view text,
                      const std::vector<parser::ParsedStatement>& statements) {
  SpecMap specs;
  for (const parser::ParsedStatement& statement : statements) {
    if (!has_root(statement, syntax::NodeKind::CreatePackage)) continue;
    const OwnerAndName key = created_name(statement, text);
    if (!key.name) continue;
    specs.insert_or_assign(resolve::package_key(key.owner, *key.name),
                           resolve::resolve_package_spec(statement, text, key.owner));
  }
  return specs;
}

// What one statement's resolution is given besides the catalog and the specifications.
struct StatementSetting {
  std::string default_owner;
  const resolve::PackageSpec* own_spec = nullptr;
};

StatementSetting statement_setting(const parser::ParsedStatement& statement, std::string_view text,
                                   const SpecMap& specs) {
  OwnerAndName key = created_name(statement, text);
  const resolve::PackageSpec* own_spec = nullptr;
  if (key.name && has_root(statement, syntax::NodeKind::CreatePackageBody)) {
    const auto found = specs.find(resolve::package_key(key.owner, *key.name));
    if (found != specs.end()) own_spec = &found->second;
  }
  return {std::move(key.owner), own_spec};
}

// One file made ready for resolution.
struct PreparedFile {
  std::string_view text;
  std::vector<parser::ParsedStatement> statements;
  catalog::Catalog catalog;
  SpecMap specs;
  std::vector<StatementSetting> settings;  // one per statement
};

// The number of records of one resolution, both kinds together.
std::size_t record_count(const resolve::ResolvedRecords& records) {
  return records.identifiers.size() + records.statements.size();
}

// Every file split, parsed, its catalog built and its specifications collected. The
// settings point into each file's `specs`, so the files are built in place.
std::vector<PreparedFile> prepare_files(const std::vector<std::string>& corpus) {
  const lexer::ParseOptions options;
  std::vector<PreparedFile> files(corpus.size());
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    PreparedFile& file = files[i];
    file.text = corpus[i];
    file.statements = split_and_parse(file.text, options);
    static_cast<void>(catalog::build_catalog(file.catalog, "script", file.text, SCHEMA, options));
    file.specs = package_specs(file.text, file.statements);
    for (const parser::ParsedStatement& statement : file.statements) {
      file.settings.push_back(statement_setting(statement, file.text, file.specs));
    }
  }
  return files;
}

void BM_resolve(benchmark::State& state, const std::vector<PreparedFile>* prepared,
                std::size_t source_bytes) {
  const std::vector<PreparedFile>& files = *prepared;
  std::size_t records = 0;
  for (auto _ : state) {
    records = 0;
    for (const PreparedFile& file : files) {
      for (std::size_t i = 0; i < file.statements.size(); ++i) {
        const resolve::ResolveContext context{file.settings[i].default_owner, file.catalog,
                                              file.settings[i].own_spec, file.specs};
        const resolve::ResolvedRecords resolved =
            resolve::resolve_statement(file.statements[i], file.text, context);
        records += record_count(resolved);
        benchmark::DoNotOptimize(resolved.identifiers.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source_bytes));
  state.counters["records"] = static_cast<double>(records);
}

// The driver's steps from the text on: split and parse, the catalog (which splits and
// parses the file again, as the driver's does), the specifications and the resolution.
void BM_split_parse_resolve(benchmark::State& state, const std::vector<std::string>* corpus) {
  const lexer::ParseOptions options;
  std::size_t records = 0;
  for (auto _ : state) {
    records = 0;
    for (const std::string& text : *corpus) {
      const std::vector<parser::ParsedStatement> statements = split_and_parse(text, options);
      catalog::Catalog catalog;
      static_cast<void>(catalog::build_catalog(catalog, "script", text, SCHEMA, options));
      const SpecMap specs = package_specs(text, statements);
      for (const parser::ParsedStatement& statement : statements) {
        const StatementSetting setting = statement_setting(statement, text, specs);
        const resolve::ResolveContext context{setting.default_owner, catalog, setting.own_spec,
                                              specs};
        const resolve::ResolvedRecords resolved =
            resolve::resolve_statement(statement, text, context);
        records += record_count(resolved);
        benchmark::DoNotOptimize(resolved.identifiers.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total_bytes(*corpus)));
  state.counters["records"] = static_cast<double>(records);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* folder = argc > 1 ? argv[1] : DEFAULT_CORPUS;
  const std::vector<std::string> corpus = read_corpus(folder);
  if (corpus.empty()) {
    std::fprintf(stderr, "resolve_bench: no scripts under %s; nothing to measure\n", folder);
    return 0;
  }
  const std::vector<PreparedFile> prepared = prepare_files(corpus);
  benchmark::RegisterBenchmark("BM_resolve", BM_resolve, &prepared, total_bytes(corpus))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_split_parse_resolve", BM_split_parse_resolve, &corpus)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
