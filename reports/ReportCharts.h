// The chart panel of the reports window: the 20 best-selling articles and the
// departments, each by sales total, for the open report file.
#pragma once

#include <vector>

#include <QDate>
#include <QImage>
#include <QLocale>
#include <QString>
#include <QWidget>

#include "reports/ReportsLogic.h"

class QBarCategoryAxis;
class QChartView;
class QValueAxis;

class ReportCharts : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::size_t kTopArticles = 20;

  explicit ReportCharts(QWidget* parent = nullptr);

  void Show(const std::vector<ReportBar>& topArticles, const std::vector<ReportBar>& departments);
  // The name of the report file shown, for the caption of a saved picture.
  void SetReportName(const QString& name) { reportName_ = name; }
  // The panel as a PNG picture under a caption (what it shows, the report file,
  // the date); the file is replaced only when the picture is complete.
  bool SaveAsPng(const QString& path, QString* error, QDate date = QDate::currentDate());
  QImage Picture(QDate date) const;
  static QString Caption(const QString& reportName, QDate date);

  // The sales axis: from 0 to max in intervals of round steps (1, 2 or 5 times
  // a power of ten), with room beside the longest bar for its figure.
  struct AxisScale {
    double max = 1;
    int intervals = 1;
    int decimals = 0;  // the steps' decimals, for the labels
  };
  static AxisScale ScaleFor(double highest);
  // Figures as the charts write them: "1,234,567.5".
  static QLocale FiguresLocale();
  QValueAxis* ArticleTotalsAxis() const { return articles_.totals; }
  QValueAxis* DepartmentTotalsAxis() const { return departments_.totals; }

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
  QString reportName_;
  int articleBars_ = 0;
  int departmentBars_ = 0;
};
