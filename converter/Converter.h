// One run of the converter: reads the command line and carries out the
// direction it asks for, or nothing when it names none.
#pragma once

#include "converter/Reporter.h"

class Converter {
 public:
  explicit Converter(Reporter& reporter) : reporter_(reporter) {}

  // The exit status of the run.
  int Run(int argc, const char* const* argv);

 private:
  Reporter& reporter_;
};
