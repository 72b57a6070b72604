// The `report` command: reads every input, builds one report document over all of them,
// renders the chosen formats and writes them into one folder, ending with a summary line
// on standard error.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.hpp"
#include "cli/commands.hpp"
#include "cli/input_files.hpp"
#include "cli/output.hpp"
#include "cli/whole_file.hpp"
#include "report/report_data.hpp"
#include "report/version_arg.hpp"
#include "syntax/lossy_utf8.hpp"
#include "syntax/unicode.hpp"

namespace veltrane::cli {

namespace {

constexpr std::string_view PREFIX = "veltrane report: ";
constexpr std::string_view NO_FILES = "veltrane report: no files (give SQL files or folders)\n";
constexpr std::string_view FORMAT_WORDS[] = {"html", "csv", "json"};

struct ReportOptions {
  std::string out = "veltrane-report";
  std::string formats = "html,csv,json";
  std::string title = "Veltrane report";
  std::string schema = "APP";
  std::optional<std::string> version;
  bool fail_on_errors = false;
  std::vector<std::string> paths;
};

// Text from the command line or a file name as a person reads it on a terminal: invalid
// UTF-8 and the control characters (C0 but tab, DEL, C1) each written as U+FFFD.
std::string person_text(std::string_view raw) {
  const std::string text = syntax::lossy_utf8(raw);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      out.append(syntax::REPLACEMENT_CHARACTER);
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out.append(syntax::REPLACEMENT_CHARACTER);
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

void message(Output& output, std::string_view text) {
  std::string line(PREFIX);
  line.append(text);
  line.push_back('\n');
  output.err(line);
}

// The folder joined with a name by one "/"; the name alone for the empty folder.
std::string output_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// Creates the folder and its missing parents (rwxrwxrwx less the umask). An existing
// folder is reused; anything else in the way is the system's error ("File exists" for the
// folder itself, "Not a directory" below a file). 0 or the error number.
int create_folders(const std::string& folder) {
  if (folder.empty()) return 0;
  if (folder.find('\0') != std::string::npos) return EINVAL;
  std::size_t position = 0;
  while (position <= folder.size()) {
    std::size_t slash = folder.find('/', position);
    if (slash == std::string::npos) slash = folder.size();
    if (slash > 0 && slash > position) {
      const std::string prefix = folder.substr(0, slash);
      if (::mkdir(prefix.c_str(), 0777) != 0) {
        const int error = errno;
        struct stat status {};
        if (error != EEXIST || ::stat(prefix.c_str(), &status) != 0) return error;
        // A file in the middle of the path: the next component's mkdir says "Not a
        // directory", which names the fault better than "File exists".
        const bool last = folder.find_first_not_of('/', slash) == std::string::npos;
        if (!S_ISDIR(status.st_mode) && last) return error;
      }
    }
    position = slash + 1;
  }
  return 0;
}

// Steps 1 and 2 of the command: the flag anywhere, then the scan. False after an unknown
// option (reported).
bool scan_arguments(std::span<const std::string> args, ReportOptions& options, Output& output) {
  options.fail_on_errors = has_flag(args, "--fail-on-errors");
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    const bool last = i + 1 == args.size();
    std::string* value = nullptr;
    if (argument == "--out") value = &options.out;
    if (argument == "--title") value = &options.title;
    if (argument == "--format") value = &options.formats;
    if (argument == "--schema") value = &options.schema;
    if (value != nullptr) {
      if (last) break;
      *value = args[++i];
      continue;
    }
    if (argument == "--version") {
      if (last) {
        options.version.reset();
        break;
      }
      options.version = args[++i];
      continue;
    }
    if (argument == "--fail-on-errors") continue;
    if (is_option_word(argument)) {
      message(output, "unknown option " + person_text(argument));
      return false;
    }
    options.paths.push_back(argument);
  }
  return true;
}

// The format words of the --format value: cut at ",", trimmed, empty pieces dropped. None
// after a word that is not one (reported).
std::optional<std::vector<std::string>> format_words(std::string_view value, Output& output) {
  const std::string text = syntax::lossy_utf8(value);
  std::vector<std::string> words;
  std::size_t position = 0;
  while (position <= text.size()) {
    std::size_t comma = text.find(',', position);
    if (comma == std::string::npos) comma = text.size();
    const std::string_view piece =
        syntax::trim_white_space(std::string_view(text).substr(position, comma - position));
    position = comma + 1;
    if (piece.empty()) continue;
    if (std::find(std::begin(FORMAT_WORDS), std::end(FORMAT_WORDS), piece) ==
        std::end(FORMAT_WORDS)) {
      message(output, "--format takes html, csv, json (not " + person_text(piece) + ")");
      return std::nullopt;
    }
    words.emplace_back(piece);
  }
  return words;
}

}  // namespace

uint8_t cmd_report(std::span<const std::string> args, Output& output) {
  ReportOptions options;
  if (!scan_arguments(args, options, output)) return STATUS_USAGE;
  const std::optional<std::vector<std::string>> formats = format_words(options.formats, output);
  if (!formats) return STATUS_USAGE;
  const std::optional<std::string_view> version_text =
      options.version ? std::optional<std::string_view>(*options.version) : std::nullopt;
  const report::VersionArg version = report::parse_version_arg(version_text);
  if (!version.ok()) {
    message(output, person_text(version.error));
    return STATUS_USAGE;
  }
  if (options.paths.empty()) {
    output.err(NO_FILES);
    return STATUS_USAGE;
  }
  const std::vector<InputFile> files = expand_paths(options.paths);
  if (std::none_of(files.begin(), files.end(), [](const InputFile& file) { return file.listed; })) {
    output.err(NO_FILES);
    return STATUS_USAGE;
  }

  std::vector<report::SourceInput> inputs;
  bool unreadable = false;
  for (const InputFile& file : files) {
    std::optional<SourceText> source = read_source_file(file, output);
    if (!source) {
      unreadable = true;
      continue;
    }
    // The read leaves room for a file larger than its size said (4 KiB at least): kept for
    // every input of a large tree, that room would outweigh the texts.
    source->text.shrink_to_fit();
    inputs.push_back(report::SourceInput{file.name, std::move(source->text), source->utf16});
  }

  const report::Report report =
      report::build_report(inputs, version.options, syntax::lossy_utf8(options.schema),
                           syntax::lossy_utf8(options.title), *formats);

  const std::string shown_folder = person_text(options.out);
  if (const int error = create_folders(options.out); error != 0) {
    message(output, shown_folder + ": " + os_error_text(error));
    return STATUS_FAILED;
  }

  for (const report::ReportFile& file : report.outputs) {
    const std::string path = output_path(options.out, file.name);
    if (const int error = write_whole_file(path, file.bytes); error != 0) {
      message(output, file.name + ": " + os_error_text(error));
      return STATUS_FAILED;
    }
  }

  const report::ReportSummary& summary = report.summary;
  std::string line;
  for (const auto& [count, words] : {std::pair<uint64_t, const char*>{summary.files, " files, "},
                                     {summary.statements, " statements, "},
                                     {summary.with_errors, " with errors, "},
                                     {summary.warnings, " warnings, "},
                                     {summary.objects, " objects created: report in "}}) {
    line.append(std::to_string(count));
    line.append(words);
  }
  line.append(shown_folder);
  if (std::find(formats->begin(), formats->end(), "html") != formats->end()) {
    line.append(" (open ");
    line.append(output_path(shown_folder, "report.html"));
    line.push_back(')');
  }
  line.push_back('\n');
  output.err(line);

  // A statement with errors, or an error of a file that belongs to no statement.
  if (options.fail_on_errors && (summary.with_errors > 0 || summary.errors > 0)) {
    return STATUS_FAILED;
  }
  return unreadable ? STATUS_FAILED : STATUS_DONE;
}

}  // namespace veltrane::cli
