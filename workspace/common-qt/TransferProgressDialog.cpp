#include "workspace/common-qt/TransferProgressDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "workspace/common/ProgressText.h"

TransferProgressDialog::TransferProgressDialog(const QString& title, TransferControl& control,
                                               std::function<bool()> finished, int refreshMs, QWidget* parent)
    : QDialog(parent), control_(control), finished_(std::move(finished)) {
  setWindowTitle(title);
  setModal(true);
  setObjectName("transferProgress");
  auto* layout = new QVBoxLayout(this);
  count_ = new QLabel(this);
  count_->setObjectName("progressCount");
  count_->setMinimumWidth(360);
  bar_ = new QProgressBar(this);
  times_ = new QLabel(this);
  times_->setObjectName("progressTimes");
  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setObjectName("progressCancel");
  layout->addWidget(count_);
  layout->addWidget(bar_);
  layout->addWidget(times_);
  layout->addWidget(cancel_, 0, Qt::AlignRight);
  connect(cancel_, &QPushButton::clicked, this, [this] { Stop(); });
  connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
  timer_.start(refreshMs);
  Refresh();
}

QString TransferProgressDialog::CountText() const { return count_->text(); }
QString TransferProgressDialog::TimeText() const { return times_->text(); }

void TransferProgressDialog::Refresh() {
  if (finished_()) {
    done_ = true;
    timer_.stop();
    accept();
    return;
  }
  const TransferControl::Progress progress = control_.Snapshot();
  if (!progress.what.empty()) count_->setText(QString::fromStdString(ProgressCountText(progress)));
  if (progress.total > 0) {
    // The bar counts in thousandths: QProgressBar takes int, a count may not fit.
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(std::min<std::uint64_t>(progress.done, progress.total) * 1000 / progress.total));
  } else {
    bar_->setRange(0, 0);  // moving, end not known
  }
  QString times = QString::fromStdString(ProgressTimeText(progress, TransferControl::Clock::now()));
  if (progress.stopping) times += tr("  (stopping after the exchange in progress)");
  times_->setText(times);
}

void TransferProgressDialog::Stop() {
  control_.RequestStop();
  cancel_->setEnabled(false);
  Refresh();
}

void TransferProgressDialog::reject() {
  // Escape: the work goes on unless the operator says to stop it.
  if (done_) {
    QDialog::reject();
    return;
  }
  if (control_.StopRequested()) return;
  if (QMessageBox::question(this, windowTitle(), tr(kMsgStopTransferQuestion)) == QMessageBox::Yes) Stop();
}

void TransferProgressDialog::closeEvent(QCloseEvent* event) {
  if (done_) {
    QDialog::closeEvent(event);
    return;
  }
  event->ignore();
  reject();
}
