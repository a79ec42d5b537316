#include "reports/ReportCharts.h"

#include <algorithm>
#include <cmath>

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QVBoxLayout>
#include <QHorizontalBarSeries>
#include <QPainter>
#include <QPixmap>
#include <QBuffer>
#include <QValueAxis>

#include "data/FileReplacement.h"
#include "workspace/common/UiText.h"

namespace {
constexpr qsizetype kNameChars = 22;
}  // namespace

QLocale ReportCharts::FiguresLocale() {
  // The decimal point of the rest of the program, with the counts' thousands separator.
  return QLocale(QLocale::English, QLocale::UnitedStates);
}

ReportCharts::AxisScale ReportCharts::ScaleFor(double highest) {
  // The figure beside the longest bar needs about a fifth more room.
  const double wanted = highest > 0 ? highest * 1.25 : 1;
  const double rough = wanted / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  double step = magnitude * 10;
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (magnitude * factor >= rough) {
      step = magnitude * factor;
      break;
    }
  }
  AxisScale scale;
  scale.intervals = std::max(1, static_cast<int>(std::ceil(wanted / step - 1e-9)));
  scale.max = step * scale.intervals;
  scale.decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  return scale;
}

QString ReportCharts::Caption(const QString& reportName, QDate date) {
  const QString when = date.toString(Qt::ISODate);
  return reportName.isEmpty() ? tr("Sales report, %1").arg(when) : tr("Sales report %1, %2").arg(reportName, when);
}

ReportCharts::BarChart ReportCharts::MakeChart(QWidget* parent) {
  BarChart made;
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->legend()->hide();
  QFont small = chart->font();
  // Twenty names must fit above one another.
  small.setPointSizeF(small.pointSizeF() * 0.7);
  made.names = new QBarCategoryAxis;
  made.names->setLabelsFont(small);
  made.names->setGridLineVisible(false);
  made.names->setLineVisible(false);
  chart->addAxis(made.names, Qt::AlignLeft);
  made.totals = new QValueAxis;
  made.totals->setLabelsFont(small);
  made.totals->setLabelFormat(QStringLiteral("%.0f"));
  chart->addAxis(made.totals, Qt::AlignBottom);
  // Axis labels and bar figures with thousands separators.
  chart->setLocalizeNumbers(true);
  chart->setLocale(FiguresLocale());
  made.view = new QChartView(chart, parent);
  made.view->setRenderHint(QPainter::Antialiasing);
  made.view->setMinimumSize(480, 240);
  return made;
}

int ReportCharts::Fill(BarChart& chart, const QString& title, const std::vector<ReportBar>& bars) {
  QChart* c = chart.view->chart();
  c->removeAllSeries();
  c->setTitle(title);
  auto* set = new QBarSet(QString::fromStdString(UiText("MSG_TOTAL")));
  QStringList names;
  double highest = 0;
  // Categories run bottom-up; reversed, the best seller stands first.
  for (auto bar = bars.rbegin(); bar != bars.rend(); ++bar) {
    QString name = QString::fromStdString(bar->name);
    // The axis gives a long name no room at all; a shortened one stays readable.
    if (name.size() > kNameChars) name = name.left(kNameChars - 1) + QChar(0x2026);
    // Two articles of one name would share a bar: the category names must differ.
    while (names.contains(name)) name += QLatin1Char(' ');
    names << name;
    *set << bar->total;
    highest = std::max(highest, bar->total);
  }
  auto* series = new QHorizontalBarSeries;
  series->append(set);
  series->setBarWidth(0.7);
  series->setLabelsVisible(true);
  series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
  series->setLabelsFormat(QStringLiteral("@value"));
  series->setLabelsPrecision(10);
  set->setLabelColor(c->titleBrush().color());
  QFont small = c->font();
  small.setPointSizeF(small.pointSizeF() * 0.8);
  set->setLabelFont(small);
  c->addSeries(series);
  chart.names->clear();
  chart.names->append(names);
  const AxisScale scale = ScaleFor(highest);
  chart.totals->setRange(0, scale.max);
  chart.totals->setTickCount(scale.intervals + 1);
  chart.totals->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
  series->attachAxis(chart.names);
  series->attachAxis(chart.totals);
  return static_cast<int>(bars.size());
}

ReportCharts::ReportCharts(QWidget* parent)
    : QWidget(parent), articles_(MakeChart(this)), departments_(MakeChart(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(articles_.view, 5);
  layout->addWidget(departments_.view, 3);
  Show({}, {});
}

void ReportCharts::Show(const std::vector<ReportBar>& topArticles, const std::vector<ReportBar>& departments) {
  articleBars_ = Fill(articles_, tr("Top %1 articles by sales total").arg(kTopArticles), topArticles);
  departmentBars_ = Fill(departments_, tr("Departments by sales total"), departments);
}

QImage ReportCharts::Picture(QDate date) const {
  const QPixmap panel = const_cast<ReportCharts*>(this)->grab();
  QFont font = this->font();
  font.setPointSizeF(font.pointSizeF() * 1.3);
  font.setBold(true);
  const int band = QFontMetrics(font).height() * 2;
  const double ratio = panel.devicePixelRatio();
  QImage picture(panel.width(), panel.height() + qRound(band * ratio), QImage::Format_RGB32);
  picture.setDevicePixelRatio(ratio);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QRectF caption(0, 0, panel.width() / ratio, band);
  painter.drawText(caption, Qt::AlignCenter, Caption(reportName_, date));
  painter.drawPixmap(QPointF(0, band), panel);
  return picture;
}

bool ReportCharts::SaveAsPng(const QString& path, QString* error, QDate date) {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !Picture(date).save(&buffer, "PNG")) {
    if (error) *error = QStringLiteral("the picture could not be made");
    return false;
  }
  const IoResult saved =
      ReplaceFileWith(path.toStdString(), std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
  if (!saved && error) *error = QString::fromStdString(saved.error);
  return saved.ok;
}
