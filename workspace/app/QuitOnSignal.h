// SIGINT and SIGTERM end the windowed program as the operator would, not in the
// middle of a write: a transfer under way stops after the exchange in
// progress, the windows close once every worker has ended, and start-up's end
// then stops the register engine.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

class QuitOnSignal : public QObject {
  Q_OBJECT

 public:
  explicit QuitOnSignal(QObject* parent = nullptr);
  ~QuitOnSignal() override;

  // The signal that ended the program, 0 for none.
  int Signal() const { return signal_; }

 private:
  void Take();

  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  QTimer waitForWorkers_;
  int signal_ = 0;
};
