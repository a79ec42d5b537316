#include "ReportCharts.h"

#include <algorithm>

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QPixmap>
#include <QSaveFile>
#include <QValueAxis>

#include "UiText.h"

namespace {

// Fills chart with one horizontal bar per entry, the first at the top.
int Fill(QChart* chart, const QString& title, const std::vector<ReportBar>& bars) {
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  chart->setTitle(title);
  auto* set = new QBarSet(QString::fromStdString(UiText("MSG_TOTAL")));
  QStringList names;
  double highest = 0;
  // Categories run bottom-up; reversed, the best seller stands first.
  for (auto bar = bars.rbegin(); bar != bars.rend(); ++bar) {
    QString name = QString::fromStdString(bar->name);
    // Two articles of one name would share a bar: the category names must differ.
    while (names.contains(name)) name += QLatin1Char(' ');
    names << name;
    *set << bar->total;
    highest = std::max(highest, bar->total);
  }
  auto* series = new QHorizontalBarSeries;
  series->append(set);
  series->setLabelsVisible(true);
  series->setLabelsFormat(QStringLiteral("@value"));
  series->setLabelsPrecision(8);
  chart->addSeries(series);
  auto* categories = new QBarCategoryAxis;
  categories->append(names);
  chart->addAxis(categories, Qt::AlignLeft);
  series->attachAxis(categories);
  auto* values = new QValueAxis;
  values->setRange(0, highest > 0 ? highest * 1.15 : 1);
  values->setLabelFormat(QStringLiteral("%.0f"));
  chart->addAxis(values, Qt::AlignBottom);
  series->attachAxis(values);
  chart->legend()->hide();
  return static_cast<int>(bars.size());
}

QChartView* MakeView(QWidget* parent) {
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setMargins(QMargins(4, 4, 4, 4));
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumHeight(260);
  return view;
}

}  // namespace

ReportCharts::ReportCharts(QWidget* parent)
    : QWidget(parent), articles_(MakeView(this)), departments_(MakeView(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(articles_, 3);
  layout->addWidget(departments_, 2);
  Show({}, {});
}

void ReportCharts::Show(const std::vector<ReportBar>& topArticles, const std::vector<ReportBar>& departments) {
  articleBars_ = Fill(articles_->chart(), tr("Top %1 articles by sales total").arg(kTopArticles), topArticles);
  departmentBars_ = Fill(departments_->chart(), tr("Departments by sales total"), departments);
}

bool ReportCharts::SaveAsPng(const QString& path, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !grab().save(&file, "PNG") || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}
