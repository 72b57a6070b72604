#include "cli/cli.hpp"

#include <algorithm>
#include <string_view>

#include "cli/commands.hpp"
#include "cli/output.hpp"
#include "syntax/version.hpp"

namespace veltrane::cli {

namespace {

constexpr std::string_view USAGE_BEFORE_SERVE =
    "usage: veltrane lex [--dump] [--strict] PATH...\n"
    "       veltrane split [--dump | --summary] [--strict] PATH...\n"
    "       veltrane parse [--dump] [--errors] [--json] [--version V] [--strict] PATH...\n"
    "       veltrane catalog [--schema S] PATH...\n"
    "       veltrane report [--out DIR] [--format html,csv,json] [--version V] [--title T] "
    "[--fail-on-errors] PATH...\n"
    "       veltrane lab [--port N] [--no-open]      the parser in your browser (Veltrane "
    "Lab)\n";
constexpr std::string_view USAGE_SERVE_LINE = "       veltrane serve [--port N]\n";
constexpr std::string_view USAGE_AFTER_SERVE = "       veltrane --version\n";

uint8_t usage(Output& output, bool allow_serve) {
  std::string text(USAGE_BEFORE_SERVE);
  if (allow_serve) text.append(USAGE_SERVE_LINE);
  text.append(USAGE_AFTER_SERVE);
  output.err(text);
  return STATUS_USAGE;
}

uint8_t dispatch(std::span<const std::string> args, bool allow_serve, Output& output) {
  if (args.empty()) return usage(output, allow_serve);
  const std::string_view command = args.front();
  const std::span<const std::string> rest = args.subspan(1);
  if (command == "--version" || command == "version") {
    std::string line = "veltrane ";
    line.append(syntax::VERSION_TEXT);
    line.push_back('\n');
    output.out(line);
    return STATUS_DONE;
  }
  if (command == "lex") return cmd_lex(rest, false, output);
  if (command == "split") return cmd_lex(rest, true, output);
  if (command == "parse") return cmd_parse(rest, output);
  if (command == "catalog") return cmd_catalog(rest, output);
  if (command == "lab") return cmd_lab(rest, output);
  if (command == "serve" && allow_serve) return cmd_serve(rest, output);
  if (command == "report") return cmd_report(rest, output);
  return usage(output, allow_serve);
}

}  // namespace

bool has_flag(std::span<const std::string> args, std::string_view flag) {
  return std::any_of(args.begin(), args.end(),
                     [flag](const std::string& argument) { return argument == flag; });
}

uint8_t run_cli(std::span<const std::string> args, bool allow_serve) {
  Output output;
  uint8_t status = dispatch(args, allow_serve, output);
  output.flush();
  // Output that could not be written is a failed operation, never a success.
  if (status == STATUS_DONE && output.failed()) status = STATUS_FAILED;
  return status;
}

}  // namespace veltrane::cli
