// `veltrane catalog [--schema S] PATH...`: one catalog from the DDL of every input file, in
// file order, each file starting in the schema the one before it ended in; the listing on
// standard output, a count line on standard error.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/build_catalog.hpp"
#include "catalog/catalog.hpp"
#include "cli/cli.hpp"
#include "cli/commands.hpp"
#include "cli/input_files.hpp"
#include "cli/output.hpp"
#include "cli/text_format.hpp"
#include "lexer/parse_options.hpp"
#include "report/file_errors.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::cli {

namespace {

constexpr std::size_t NAME_WIDTH = 30;

using syntax::ascii_upper_copy;

void append_object(std::string& sink, const catalog::CatalogObject& object) {
  sink += catalog::OBJECT_TYPE_NAMES[static_cast<std::size_t>(object.kind)];
  sink.push_back(' ');
  sink += object.owner;
  sink.push_back('.');
  sink += object.name;
  if (object.columns_pending) sink += "  (more columns after name resolution)";
  sink.push_back('\n');
  for (const catalog::Column& column : object.columns) {
    sink += "    ";
    append_padded_right(sink, column.name, NAME_WIDTH);
    sink.push_back(' ');
    sink += column.datatype;
    if (!column.nullable) sink += " NOT NULL";
    sink.push_back('\n');
  }
  for (const catalog::Member& member : object.members) {
    sink += "    ";
    append_padded_right(sink, member.name, NAME_WIDTH);
    sink.push_back(' ');
    sink += catalog::member_kind_name(member.kind);
    sink.push_back(' ');
    sink += member.type_text;
    sink.push_back('\n');
  }
  if (object.trigger_table) {
    sink += "    ON ";
    sink += object.trigger_table->owner;
    sink.push_back('.');
    sink += object.trigger_table->name;
    sink.push_back('\n');
  }
}

void append_synonym(std::string& sink, const catalog::Synonym& synonym) {
  sink += "SYNONYM ";
  sink += synonym.owner;
  sink.push_back('.');
  sink += synonym.name;
  sink += " -> ";
  sink += synonym.target_owner;
  sink.push_back('.');
  sink += synonym.target_name;
  if (synonym.db_link) {
    sink.push_back('@');
    sink += *synonym.db_link;
  }
  sink.push_back('\n');
}

// Objects, then triggers, then synonyms, each map in key order. Written object by object.
void write_listing(const catalog::Catalog& catalog, Output& output) {
  std::string lines;
  for (const auto* map : {&catalog.objects, &catalog.triggers}) {
    for (const auto& [key, object] : *map) {
      lines.clear();
      append_object(lines, object);
      output.out(lines);
    }
  }
  for (const auto& [key, synonym] : catalog.synonyms) {
    lines.clear();
    append_synonym(lines, synonym);
    output.out(lines);
  }
}

}  // namespace

uint8_t cmd_catalog(std::span<const std::string> args, Output& output) {
  std::string schema = "SYSTEM";
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--schema") {
      // A "--schema" with nothing after it is ignored.
      if (i + 1 < args.size()) schema = ascii_upper_copy(args[++i]);
      continue;
    }
    if (is_option_word(args[i])) continue;
    paths.push_back(args[i]);
  }

  const std::vector<InputFile> files = expand_paths(paths);
  uint64_t listed = 0;
  for (const InputFile& file : files) {
    if (file.listed) ++listed;
  }
  const lexer::ParseOptions options;
  catalog::Catalog catalog;
  bool unreadable = false;
  for (const InputFile& file : files) {
    const std::optional<SourceText> source = read_source_file(file, output);
    if (!source) {
      unreadable = true;
      continue;
    }
    if (source->utf16) {
      // Not read as a script: reported like a file that cannot be read.
      std::string message;
      append_for_terminal(message, file.name);
      message += ": ";
      message += report::UTF16_TEXT_MESSAGE;
      message.push_back('\n');
      output.err(message);
      unreadable = true;
      continue;
    }
    schema = catalog::build_catalog(catalog, file.name, source->text, schema, options);
  }

  write_listing(catalog, output);
  std::string summary;
  append_integer(summary, catalog.objects.size() + catalog.triggers.size());
  summary += " objects, ";
  append_integer(summary, catalog.synonyms.size());
  summary += " synonyms from ";
  append_integer(summary, listed);
  summary += " files\n";
  // err() writes the buffered listing first, so the two streams stay in order.
  output.err(summary);
  return unreadable ? STATUS_FAILED : STATUS_DONE;
}

}  // namespace veltrane::cli
