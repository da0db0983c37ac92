#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/exit_status.h"
#include "platform/registry.h"

namespace kelvane::cli {

namespace {

// "TAG=VALUE", split at the first '='.
std::optional<Variable> SplitVariable(const std::string& assignment, bool fromFile) {
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos) {
    return std::nullopt;
  }
  return Variable{assignment.substr(0, equals), assignment.substr(equals + 1), fromFile};
}

}  // namespace

std::variant<Options, int> ParseOptions(int argc, char** argv) {
  CLI::App app{"Writes a block of text many times, replacing variable tags in each copy.", "kelvane-cli"};
  app.set_version_flag("--version", std::string("kelvane-cli ") + KELVANE_VERSION);

  std::string text, textFile, repeat = "1", output;
  std::vector<std::string> vars, varFiles;
  bool append = false, saved = false, save = false;
  auto* textOption = app.add_option("--text", text, "The block of text to duplicate");
  auto* textFileOption = app.add_option("--text-file", textFile, "Read the block from FILE ('-': standard input)");
  textOption->excludes(textFileOption);
  auto* repeatOption =
      app.add_option("--repeat", repeat, "How many copies to write (1 to 2147483647)")->capture_default_str();
  auto* varOption = app.add_option("--var", vars, "A variable TAG=VALUE; repeat for more")->allow_extra_args(false);
  auto* varFileOption = app.add_option("--var-file", varFiles, "A variable TAG=FILE whose values are FILE's lines")
                            ->allow_extra_args(false);
  auto* outputOption = app.add_option("--output", output, "Write to FILE instead of standard output");
  auto* appendOption = app.add_flag("--append", append, "Append to the output file instead of replacing it");
  app.add_flag("--saved", saved,
               "Run the job Kelvane saved; other options replace its parts (--var and --var-file all its "
               "variables, --append=false its append flag)");
  app.add_flag("--save", save, "Save the job as Kelvane's settings once it passes the checks, then run it");
  app.footer(
      "Values: one line per copy, a single line for every copy, or a counter such as %%count1%03d%%.\n"
      "--saved and --save share the job with Kelvane, kept in " +
      kelvane::RegistryFilePath() +
      ";\na saved job without an output file writes to standard output.\n"
      "Exit status: 0 done, 1 a file error, 2 invalid input, 130 or 143 when interrupted or\n"
      "terminated (the output then holds whole copies only).");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : kExitInvalid;
  }
  if (!saved && textOption->count() == 0 && textFileOption->count() == 0) {
    std::cerr << "One of --text, --text-file and --saved is needed.\n" << app.help();
    return kExitInvalid;
  }

  Options options;
  options.saved = saved;
  options.save = save;
  if (textOption->count() != 0) {
    options.text = text;
  }
  if (textFileOption->count() != 0) {
    options.textFile = textFile;
  }
  if (repeatOption->count() != 0) {
    options.repeat = repeat;
  }
  if (outputOption->count() != 0) {
    options.output = output;
  }
  if (appendOption->count() != 0) {
    options.append = append;
  }
  // --var and --var-file interleave on the command line; the variables keep that order.
  size_t nextVar = 0, nextVarFile = 0;
  for (const CLI::Option* option : app.parse_order()) {
    const bool fromFile = option == varFileOption;
    if (option != varOption && !fromFile) {
      continue;
    }
    const std::string& assignment = fromFile ? varFiles[nextVarFile++] : vars[nextVar++];
    std::optional<Variable> variable = SplitVariable(assignment, fromFile);
    if (!variable) {
      std::cerr << (fromFile ? "--var-file" : "--var") << " needs TAG=" << (fromFile ? "FILE" : "VALUE") << ": "
                << assignment << '\n';
      return kExitInvalid;
    }
    options.variables.push_back(std::move(*variable));
  }
  return options;
}

}  // namespace kelvane::cli
