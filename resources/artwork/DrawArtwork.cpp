// Draws the register picture of the start window and the program icon in the
// sizes the desktop wants (packaging/quillbay-articles.svg is the same icon).
// Run once after a change and commit the pictures it writes:
//   g++ -std=c++20 -fPIC DrawArtwork.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw-artwork
//   QT_QPA_PLATFORM=offscreen /tmp/draw-artwork ../images
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A counter-top register seen from the front-left: customer display on a post,
// a sloped keyboard with a small operator display, the cash drawer below and a
// receipt coming out of the printer slot.
void DrawRegister(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  const QColor body(0x3b, 0x4a, 0x5c);
  const QColor bodyLight(0x56, 0x69, 0x80);
  const QColor outline(0x1d, 0x25, 0x2f);
  p.setPen(QPen(outline, 2));

  // Shadow on the counter.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 40));
  p.drawEllipse(QRectF(18, 172, 170, 18));
  p.setPen(QPen(outline, 2));

  // Customer display on its post.
  p.setBrush(bodyLight);
  p.drawRect(QRectF(138, 40, 10, 40));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(112, 14, 66, 30), 5, 5);
  QLinearGradient lcd(0, 18, 0, 40);
  lcd.setColorAt(0, QColor(0x9e, 0xe6, 0x9a));
  lcd.setColorAt(1, QColor(0x5f, 0xb8, 0x5c));
  p.setBrush(lcd);
  p.drawRect(QRectF(118, 19, 54, 19));
  p.setPen(QPen(QColor(0x1f, 0x4d, 0x1e), 2));
  // Seven-segment style "12.50" hinted by strokes.
  for (int i = 0; i < 4; ++i) {
    const double x = 124 + i * 12;
    p.drawLine(QPointF(x, 23), QPointF(x + 6, 23));
    p.drawLine(QPointF(x + 6, 23), QPointF(x + 6, 34));
    p.drawLine(QPointF(x, 34), QPointF(x + 6, 34));
  }
  p.setPen(QPen(outline, 2));

  // Receipt paper out of the printer slot.
  p.setBrush(QColor(0xfb, 0xfb, 0xf4));
  QPainterPath paper;
  paper.moveTo(34, 78);
  paper.lineTo(34, 44);
  for (int i = 0; i < 6; ++i) {
    paper.lineTo(38 + i * 6, 40 + (i % 2) * 4);
  }
  paper.lineTo(72, 44);
  paper.lineTo(72, 78);
  paper.closeSubpath();
  p.drawPath(paper);
  p.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 1.5));
  for (int i = 0; i < 4; ++i) p.drawLine(QPointF(40, 52 + i * 6), QPointF(66 - (i % 2) * 8, 52 + i * 6));
  p.setPen(QPen(outline, 2));

  // Upper body with the sloped keyboard.
  QPainterPath top;
  top.moveTo(22, 128);
  top.lineTo(30, 76);
  top.lineTo(176, 76);
  top.lineTo(186, 128);
  top.closeSubpath();
  QLinearGradient topFill(0, 76, 0, 128);
  topFill.setColorAt(0, bodyLight);
  topFill.setColorAt(1, body);
  p.setBrush(topFill);
  p.drawPath(top);
  // Printer slot.
  p.setBrush(outline);
  p.drawRect(QRectF(30, 78, 46, 4));

  // Operator display.
  p.setBrush(QColor(0x20, 0x2a, 0x35));
  p.drawRect(QRectF(88, 82, 52, 12));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x7f, 0xd1, 0xff));
  p.drawRect(QRectF(91, 85, 30, 6));
  p.setPen(QPen(outline, 1.2));

  // Keys: a grid that widens toward the front edge.
  for (int row = 0; row < 4; ++row) {
    const double y = 98 + row * 7.5;
    const double left = 36 - row * 1.8;
    const double width = 13 + row * 0.5;
    for (int col = 0; col < 9; ++col) {
      const double x = left + col * (width + 2.2);
      QColor key = QColor(0xe8, 0xec, 0xf1);
      if (col >= 7) key = QColor(0xf2, 0xb1, 0x3c);              // function keys
      if (col == 8 && row == 3) key = QColor(0x4c, 0xb0, 0x50);  // total key
      p.setBrush(key);
      p.drawRoundedRect(QRectF(x, y, width, 5.5), 1.2, 1.2);
    }
  }

  // Cash drawer.
  p.setPen(QPen(outline, 2));
  p.setBrush(body);
  p.drawRect(QRectF(18, 128, 172, 46));
  p.setBrush(bodyLight);
  p.drawRect(QRectF(26, 136, 156, 30));
  p.setBrush(QColor(0xc9, 0xd2, 0xdc));
  p.drawRoundedRect(QRectF(84, 146, 40, 8), 3, 3);
  // Drawer key lock.
  p.setBrush(QColor(0xd8, 0xb4, 0x4a));
  p.drawEllipse(QPointF(166, 150), 4, 4);
}

void DrawIcon(QPainter& p, int size) {
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 64.0;
  p.scale(s, s);
  QLinearGradient back(0, 0, 0, 64);
  back.setColorAt(0, QColor(0x2f, 0x80, 0xc9));
  back.setColorAt(1, QColor(0x1c, 0x4f, 0x85));
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  // A price tag with a hole and three bars: the article table.
  QPainterPath tag;
  tag.moveTo(14, 18);
  tag.lineTo(38, 18);
  tag.lineTo(52, 32);
  tag.lineTo(38, 46);
  tag.lineTo(14, 46);
  tag.closeSubpath();
  p.setBrush(QColor(0xfb, 0xf7, 0xe9));
  p.setPen(QPen(QColor(0x13, 0x2f, 0x4f), 2));
  p.drawPath(tag);
  p.setBrush(QColor(0x2f, 0x80, 0xc9));
  p.drawEllipse(QPointF(40, 32), 3, 3);
  p.setPen(QPen(QColor(0x13, 0x2f, 0x4f), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 26), QPointF(31, 26));
  p.drawLine(QPointF(19, 32), QPointF(34, 32));
  p.drawLine(QPointF(19, 38), QPointF(28, 38));
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

  QImage picture(200, 200, QImage::Format_RGB888);
  picture.fill(QColor(0xf4, 0xf6, 0xf8));
  {
    QPainter p(&picture);
    DrawRegister(p);
  }
  bool ok = picture.save(folder + "/register.png");

  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
      QPainter p(&icon);
      DrawIcon(p, size);
    }
    ok = icon.save(folder + QStringLiteral("/articles-%1.png").arg(size)) && ok;
  }
  return ok ? 0 : 1;
}
