#include "workspace/app/QuitOnSignal.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>

#include "workspace/common-qt/QtTaskRunner.h"

namespace {

int gWriteEnd = -1;

// Only what is safe in a handler: the number goes down the pipe to the GUI thread.
void Handler(int signalNumber) {
  const unsigned char number = static_cast<unsigned char>(signalNumber);
  [[maybe_unused]] const ssize_t written = ::write(gWriteEnd, &number, 1);
}

}  // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gWriteEnd = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Take(); });
  connect(&waitForWorkers_, &QTimer::timeout, this, [this] {
    if (QtTaskRunner::AnyRunning()) return;
    waitForWorkers_.stop();
    QApplication::closeAllWindows();
  });
  struct sigaction action {};
  action.sa_handler = Handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
  QtTaskRunner::SetEnding(false);
  if (pipe_[0] < 0) return;
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
  gWriteEnd = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void QuitOnSignal::Take() {
  unsigned char number = 0;
  while (::read(pipe_[0], &number, 1) == 1) {
    if (signal_ == 0) signal_ = number;
  }
  QtTaskRunner::SetEnding(true);
  waitForWorkers_.start(20);
}
