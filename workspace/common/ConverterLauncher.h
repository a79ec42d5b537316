// Starts the workbook converter and waits for it. The windows use a QProcess
// (an argument list, never a shell); tests may use the same.
#pragma once

#include <string>
#include <vector>

struct ConverterRun {
  bool started = false;
  int exitStatus = -1;
  std::string errorOutput;  // what the converter wrote to standard error
};

class ConverterLauncher {
 public:
  virtual ~ConverterLauncher() = default;
  virtual ConverterRun Run(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& workingDirectory) = 0;
};
