// The small modeless window with the figures of one article or department,
// its lines sorted alphabetically.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

namespace Ui {
class ReportView;
}

class CReportView : public QDialog {
  Q_OBJECT

 public:
  explicit CReportView(QWidget* parent = nullptr);
  ~CReportView() override;

  void ShowLines(const std::vector<std::string>& lines);
  std::vector<std::string> Lines() const;

 private:
  std::unique_ptr<Ui::ReportView> ui_;
};
