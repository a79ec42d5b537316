// The modal progress window of a transfer or converter run. It closes itself
// when the work ends; Cancel asks the work to stop, and closing the window
// (its close button or Escape) asks first whether to stop.
#pragma once

#include <functional>

#include <QDialog>
#include <QTimer>

#include "device/TransferControl.h"

class QLabel;
class QProgressBar;
class QPushButton;

class TransferProgressDialog : public QDialog {
  Q_OBJECT

 public:
  // finished is polled every refreshMs; once it says true the window closes.
  TransferProgressDialog(const QString& title, TransferControl& control, std::function<bool()> finished, int refreshMs,
                         QWidget* parent);

  QPushButton* CancelButton() const { return cancel_; }
  QString CountText() const;
  QString TimeText() const;

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Refresh();
  void Stop();

  TransferControl& control_;
  std::function<bool()> finished_;
  QLabel* count_ = nullptr;
  QLabel* times_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer timer_;
  bool done_ = false;
};

inline constexpr const char* kMsgStopTransferQuestion =
    "Stop the transfer after the exchange in progress?\nA download then leaves the file as it was.";
