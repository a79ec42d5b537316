#include "reports/CReportView.h"

#include "ui_ReportView.h"

CReportView::CReportView(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::ReportView>()) {
  ui_->setupUi(this);
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::close);
}

CReportView::~CReportView() = default;

void CReportView::ShowLines(const std::vector<std::string>& lines) {
  ui_->detailList->clear();
  for (const auto& line : lines) ui_->detailList->addItem(QString::fromStdString(line));
}

std::vector<std::string> CReportView::Lines() const {
  std::vector<std::string> lines;
  for (int i = 0; i < ui_->detailList->count(); ++i) lines.push_back(ui_->detailList->item(i)->text().toStdString());
  return lines;
}
