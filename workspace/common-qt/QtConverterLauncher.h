// Runs the converter with QProcess: an argument list, no shell, no length limit.
// It may run on a worker thread; it looks at the stop request a few times a
// second and ends the converter past the time limit.
#pragma once

#include <chrono>

#include "workspace/common/ConverterLauncher.h"

class QtConverterLauncher : public ConverterLauncher {
 public:
  // A workbook of 49,999 articles converts in seconds; ten minutes means the
  // converter hangs.
  explicit QtConverterLauncher(std::chrono::milliseconds timeLimit = std::chrono::minutes(10))
      : timeLimit_(timeLimit) {}

  ConverterRun Run(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDirectory, const TransferControl& control) override;

 private:
  std::chrono::milliseconds timeLimit_;
};
