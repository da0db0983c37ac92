#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "platform/file_error.h"

namespace kelvane::cli {

namespace {

enum class Id { Text, TextFile, Repeat, Var, VarFile, Output, Append, Saved, Save, Help, Version };

struct OptionDef {
  Id id;
  std::string_view name;
  char letter;                   // '\0': no short form
  std::string_view placeholder;  // empty: a flag, which takes no value
  std::string_view help;
};

// The order of --help.
constexpr std::array kOptionDefs = {
    OptionDef{Id::Text, "text", 't', "TEXT", "the block of text to write again and again"},
    OptionDef{Id::TextFile, "text-file", 'f', "FILE", "read the block from FILE ('-': standard input)"},
    OptionDef{Id::Repeat, "repeat", 'n', "N", "write N copies, 1 to 2147483647 (default 1)"},
    OptionDef{Id::Var, "var", 'v', "TAG=VALUE", "replace TAG by VALUE in each copy; once per variable"},
    OptionDef{Id::VarFile, "var-file", '\0', "TAG=FILE", "a variable whose values are the lines of FILE"},
    OptionDef{Id::Output, "output", 'o', "FILE", "write to FILE ('-', or none: standard output)"},
    OptionDef{Id::Append, "append", 'a', "", "add to the end of FILE instead of replacing it"},
    OptionDef{
        Id::Saved, "saved", '\0', "",
        "run the job Kelvane saved; the options given replace\nits parts (--var and --var-file all its variables,\n"
        "--append=false its append flag)"},
    OptionDef{Id::Save, "save", '\0', "", "save the job for Kelvane once it passes the checks,\nthen run it"},
    OptionDef{Id::Help, "help", 'h', "", "show this help and exit"},
    OptionDef{Id::Version, "version", '\0', "", "show the version and exit"},
};

const OptionDef* FindLong(std::string_view name) {
  const auto* def =
      std::find_if(kOptionDefs.begin(), kOptionDefs.end(), [name](const OptionDef& s) { return s.name == name; });
  return def == kOptionDefs.end() ? nullptr : def;
}

const OptionDef* FindShort(char letter) {
  const auto* def = std::find_if(kOptionDefs.begin(), kOptionDefs.end(),
                                 [letter](const OptionDef& s) { return s.letter != '\0' && s.letter == letter; });
  return def == kOptionDefs.end() ? nullptr : def;
}

// A usage error: one line saying what is wrong, one pointing to --help.
struct UsageError {
  std::string message;
};

std::optional<bool> ParseSwitch(std::string_view value) {
  for (const std::string_view yes : {"true", "yes", "on", "1"}) {
    if (value == yes) {
      return true;
    }
  }
  for (const std::string_view no : {"false", "no", "off", "0"}) {
    if (value == no) {
      return false;
    }
  }
  return std::nullopt;
}

// "TAG=VALUE", split at the first '='.
Variable SplitVariable(const OptionDef& def, const std::string& assignment) {
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos) {
    throw UsageError{"--" + std::string(def.name) + " needs " + std::string(def.placeholder) + ", not '" + assignment +
                     "'"};
  }
  return Variable{assignment.substr(0, equals), assignment.substr(equals + 1), def.id == Id::VarFile};
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  // The options, or the exit status of --help or --version, which end the parse where they stand.
  ParsedCommandLine Parse() {
    while (next_ < args_.size()) {
      const std::string& arg = args_[next_++];
      if (arg == "--") {
        if (next_ < args_.size()) {
          Unexpected(args_[next_]);
        }
        break;
      }
      if (arg.starts_with("--")) {
        if (const std::optional<int> status = Long(arg)) {
          return *status;
        }
      } else if (arg.size() > 1 && arg[0] == '-') {
        if (const std::optional<int> status = Shorts(arg)) {
          return *status;
        }
      } else {
        Unexpected(arg);
      }
    }
    Check();
    return std::move(options_);
  }

 private:
  [[noreturn]] static void Unexpected(const std::string& arg) {
    throw UsageError{"unexpected argument '" + arg + "' (quote a value that holds blanks)"};
  }

  std::optional<int> Long(const std::string& arg) {
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const OptionDef* def = FindLong(name);
    if (def == nullptr) {
      throw UsageError{"unknown option '--" + name + "'"};
    }
    // "--name=" is an empty value, never the next argument.
    std::optional<std::string> value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    }
    if (def->placeholder.empty()) {
      return Flag(*def, "--" + name, value);
    }
    if (!value) {
      value = Following("--" + name, *def);
    }
    Store(*def, std::move(*value));
    return std::nullopt;
  }

  // A cluster such as "-an3": flags first, then at most one option that takes the rest as its value.
  std::optional<int> Shorts(const std::string& arg) {
    for (size_t i = 1; i < arg.size(); ++i) {
      const OptionDef* def = FindShort(arg[i]);
      const std::string shown = std::string("-") + arg[i];
      if (def == nullptr) {
        throw UsageError{"unknown option '" + shown + "'"};
      }
      if (def->placeholder.empty()) {
        if (const std::optional<int> status = Flag(*def, shown, std::nullopt)) {
          return status;
        }
        continue;
      }
      Store(*def, i + 1 < arg.size() ? arg.substr(i + 1) : Following(shown, *def));
      break;
    }
    return std::nullopt;
  }

  std::string Following(const std::string& shown, const OptionDef& def) {
    if (next_ >= args_.size()) {
      throw UsageError{"option '" + shown + "' needs a value (" + std::string(def.placeholder) + ")"};
    }
    return args_[next_++];
  }

  std::optional<int> Flag(const OptionDef& def, const std::string& shown, const std::optional<std::string>& value) {
    std::optional<bool> on = true;
    if (value && (def.id == Id::Help || def.id == Id::Version)) {
      throw UsageError{"option '" + shown + "' takes no value"};
    }
    if (value && !(on = ParseSwitch(*value))) {
      throw UsageError{"option '" + shown + "' takes true or false, not '" + *value + "'"};
    }
    switch (def.id) {
      case Id::Append: options_.append = *on; break;
      case Id::Saved: options_.saved = *on; break;
      case Id::Save: options_.save = *on; break;
      case Id::Help: return Print(HelpText());
      case Id::Version: return Print("kelvane-cli " KELVANE_VERSION "\n");
      default: break;
    }
    return std::nullopt;
  }

  // Help that never reached the reader (a full disk, a closed pipe) is a failure, not success.
  static int Print(const std::string& text) {
    if (!WriteText(stdout, text)) {
      ThrowFileError(errno, "standard output");
    }
    return kExitSuccess;
  }

  void Store(const OptionDef& def, std::string value) {
    switch (def.id) {
      case Id::Text: options_.text = std::move(value); break;
      case Id::TextFile: options_.textFile = std::move(value); break;
      case Id::Repeat: options_.repeat = std::move(value); break;
      case Id::Output: options_.output = std::move(value); break;
      case Id::Var:
      case Id::VarFile: options_.variables.push_back(SplitVariable(def, value)); break;
      default: break;
    }
  }

  // What no single option can tell.
  void Check() const {
    if (options_.text && options_.textFile) {
      throw UsageError{"--text and --text-file cannot be used together"};
    }
    if (!options_.saved && !options_.text && !options_.textFile) {
      throw UsageError{"one of --text, --text-file and --saved is needed"};
    }
    const auto fromStandardInput = std::count_if(options_.variables.begin(), options_.variables.end(),
                                                 [](const Variable& v) { return v.fromFile && v.valueOrFile == "-"; }) +
                                   (options_.textFile == "-" ? 1 : 0);
    if (fromStandardInput > 1) {
      throw UsageError{"standard input can be read only once, but '-' is given for more than one input"};
    }
  }

  const std::vector<std::string>& args_;
  size_t next_ = 0;
  Options options_;
};

}  // namespace

ParsedCommandLine ParseOptions(const std::vector<std::string>& args) {
  try {
    return Parser(args).Parse();
  } catch (const UsageError& error) {
    Fail(kExitInvalid, error.message);
    WriteText(stderr, "Try 'kelvane-cli --help' for more information.\n");
    return kExitInvalid;
  }
}

std::string HelpText() {
  std::string help =
      "Usage: kelvane-cli [OPTION]... (--text TEXT | --text-file FILE | --saved)\n"
      "Writes a block of text many times, replacing variable tags in each copy.\n\n";
  for (const OptionDef& def : kOptionDefs) {
    std::string left = def.letter != '\0' ? std::string("  -") + def.letter + ", " : std::string(6, ' ');
    left += "--" + std::string(def.name);
    if (!def.placeholder.empty()) {
      left += " " + std::string(def.placeholder);
    }
    constexpr size_t kColumn = 28;
    left.resize(std::max(kColumn, left.size() + 2), ' ');
    help += left;
    for (const char c : def.help) {
      help += c;
      if (c == '\n') {
        help += std::string(kColumn, ' ');
      }
    }
    help += '\n';
  }
  help +=
      "\nA value is one line per copy, a single line for every copy, or a counter such\n"
      "as %%count1%03d%% (001, 002, ...). --saved and --save share the job with\n";
  // A long place, such as the registry key, goes on a line of its own rather than past 80 columns.
  std::string kept = "Kelvane, kept in " + SavedJobPlace() + ";\n";
  if (kept.size() > 81) {
    kept.replace(kept.find(" in ") + 3, 1, "\n");
  }
  help += kept +
          "a saved job without an output file writes to standard output.\n\n"
          "Exit status: 0 done, 1 a file error, 2 invalid input, " +
          std::string(StoppedStatusHelp());
  return help;
}

}  // namespace kelvane::cli
