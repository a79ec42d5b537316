// The command-line options of both programs in one table: the parsers of
// articles and articles-cli, their --help and the man pages (held to it by a
// test) all follow it. Adding an option is adding a row.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum Program : unsigned { kArticlesProgram = 1, kArticlesCliProgram = 2 };

struct ProgramOption {
  const char* name;       // the long name, without "--"
  char shortName;         // 0 for none
  const char* valueName;  // nullptr for a switch
  const char* help;
  unsigned programs;  // the Program bits that take it
};

// Every row, in the order the help lists them.
std::span<const ProgramOption> ProgramOptions();
// The rows one program takes.
std::vector<ProgramOption> OptionsOf(Program program);

// One option found on a command line.
struct GivenOption {
  const ProgramOption* option;  // null for an option the program does not take
  std::string text;             // the value, or for an unknown option the argument as written
  bool missing = false;         // a value was due but the arguments ended
};

// Splits args (without the program name) into the options of program, in the
// order given, and the operands; "--name VALUE", "--name=VALUE" and "-s" are
// taken. The caller decides in that order what an unknown or missing one means.
struct SplitCommandLine {
  std::vector<GivenOption> options;
  std::vector<std::string> operands;
};
SplitCommandLine SplitArguments(Program program, const std::vector<std::string>& args);
