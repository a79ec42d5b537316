// Starts the workbook converter and waits for it, ending it when the person
// cancels or when it runs past its time limit. The windows use a QProcess (an
// argument list, never a shell); tests may use the same.
#pragma once

#include <string>
#include <vector>

#include "device/TransferControl.h"

struct ConverterRun {
  bool started = false;
  int exitStatus = -1;
  std::string errorOutput;  // what the converter wrote to standard error
  bool stopped = false;     // ended on a stop request
  bool timedOut = false;    // ended because it ran past the time limit
};

class ConverterLauncher {
 public:
  virtual ~ConverterLauncher() = default;
  virtual ConverterRun Run(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& workingDirectory, const TransferControl& control) = 0;
};
