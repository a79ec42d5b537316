// Runs the converter with QProcess: an argument list, no shell, no length limit,
// waiting without a time limit while the caller shows the wait cursor.
#pragma once

#include "ConverterLauncher.h"

class QtConverterLauncher : public ConverterLauncher {
 public:
  ConverterRun Run(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDirectory) override;
};
