#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include "workspace/cli/ArticlesCli.h"

int main(int argc, char** argv) {
  ArticlesCli::Streams streams;
  streams.interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
  streams.progressLine = isatty(STDERR_FILENO);
  ArticlesCli cli(streams);

  // SIGINT and SIGTERM are taken by a thread of their own, blocked everywhere
  // else (threads started later inherit the mask), so that stopping may take
  // locks and interrupt the register link, which a signal handler may not.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::atomic<bool> finished{false};
  std::thread listener([&] {
    const timespec poll{0, 100'000'000};
    while (!finished) {
      if (const int signalNumber = sigtimedwait(&stopSignals, nullptr, &poll); signalNumber > 0) cli.Stop(signalNumber);
    }
  });
  const int status = cli.Run(std::vector<std::string>(argv + 1, argv + argc));
  finished = true;
  listener.join();
  return status;
}
