// The chart panel of the reports window: the 20 best-selling articles and the
// departments, each by sales total, for the open report file.
#pragma once

#include <vector>

#include <QWidget>

#include "ReportsLogic.h"

class QBarCategoryAxis;
class QChartView;
class QValueAxis;

class ReportCharts : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::size_t kTopArticles = 20;

  explicit ReportCharts(QWidget* parent = nullptr);

  void Show(const std::vector<ReportBar>& topArticles, const std::vector<ReportBar>& departments);
  // The panel as a PNG picture; the file is replaced only when the picture is complete.
  bool SaveAsPng(const QString& path, QString* error);

  // Bars shown in the article and the department chart.
  int ArticleBars() const { return articleBars_; }
  int DepartmentBars() const { return departmentBars_; }

 private:
  // One chart of horizontal bars; its axes stay, the bars are replaced.
  struct BarChart {
    QChartView* view = nullptr;
    QBarCategoryAxis* names = nullptr;
    QValueAxis* totals = nullptr;
  };
  static BarChart MakeChart(QWidget* parent);
  static int Fill(BarChart& chart, const QString& title, const std::vector<ReportBar>& bars);

  BarChart articles_;
  BarChart departments_;
  int articleBars_ = 0;
  int departmentBars_ = 0;
};
