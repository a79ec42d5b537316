// articles-cli: the transfers of the articles window without windows, for a
// nightly report download from cron or a technician on a headless machine.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "DeviceTiming.h"

class ArticlesCli {
 public:
  struct Streams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool interactive = false;  // questions may be answered at the terminal
  };

  // Exit statuses.
  static constexpr int kOk = 0;
  static constexpr int kFailed = 1;  // not everything asked for was transferred
  static constexpr int kUsage = 2;

  explicit ArticlesCli(Streams streams, DeviceTiming timing = {}, unsigned connectWaitMs = 2000)
      : streams_(streams), timing_(timing), connectWaitMs_(connectWaitMs) {}

  // args without the program name.
  int Run(const std::vector<std::string>& args);

 private:
  int Usage(const std::string& problem);

  Streams streams_;
  DeviceTiming timing_;
  unsigned connectWaitMs_;
};
