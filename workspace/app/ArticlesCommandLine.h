// The command line of the articles program: which register connection to use,
// and the few jobs it can do without its windows. Qt's own options (-platform,
// -style, ...) are taken out by QApplication before this parser sees the rest.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/RegisterConnection.h"

struct ArticlesCommandLine {
  RegisterChoice registerChoice;  // USB unless --register says otherwise
  bool help = false;
  bool version = false;
  std::string makeSample;  // --make-sample PATH: write the demo register's tables there and end
  std::string database;    // --database PATH: the articles window opens with this file

  // False for the jobs that end without opening a window (--help, --version, --make-sample).
  bool NeedsWindows() const { return !help && !version && makeSample.empty(); }

  // args without the program name; nullopt with the reason in error for an
  // unknown option or a missing or bad value.
  static std::optional<ArticlesCommandLine> Parse(const std::vector<std::string>& args, std::string* error);
  static std::string Usage(const std::string& program);
};
