#include "workspace/common-qt/QtTaskRunner.h"

#include <algorithm>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "workspace/common-qt/TransferProgressDialog.h"
#include "device/TransferWorker.h"

void QtTaskRunner::Run(const std::string& title, const Task& task) {
  TransferControl control;
  control_ = &control;
  if (stopAll_) control.RequestStop();
  running_.push_back(this);
  {
    TransferWorker worker(task, control);
    if (showAfterMs_ > 0) {
      // Most single exchanges end at once: no window flashes up for them. The
      // window repaints meanwhile; a click in these moments waits for the end.
      QEventLoop wait;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (worker.Finished()) wait.quit();
      });
      poll.start(5);
      QTimer::singleShot(showAfterMs_, &wait, &QEventLoop::quit);
      wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!worker.Finished()) {
      QWidget* parent = parent_ ? parent_.data() : QApplication::activeWindow();
      TransferProgressDialog dialog(
          QString::fromStdString(title), control, [&worker] { return worker.Finished(); }, refreshMs_, parent);
      dialog.exec();
    }
    worker.Join();
  }
  std::erase(running_, this);
  control_ = nullptr;
}
