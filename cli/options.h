// kelvane-cli's command line: the options a user gave, read from argv.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kelvane::cli {

// A --var TAG=VALUE or --var-file TAG=FILE, in command-line order.
struct Variable {
  std::string tag;
  std::string valueOrFile;
  bool fromFile = false;
};

struct Options {
  std::optional<std::string> text, textFile, repeat, output;
  std::optional<bool> append;  // given as a flag, or as --append=false
  std::vector<Variable> variables;
  bool saved = false;
  bool save = false;
};

// What the command line asks for: a job's options, or an exit status when the run ends here,
// after --help or --version (0) or a usage error already reported (2).
using ParsedCommandLine = std::variant<Options, int>;

// Parses the arguments after the program's name.
ParsedCommandLine ParseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string HelpText();

}  // namespace kelvane::cli
