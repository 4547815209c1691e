#include "app/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace vantrelis {
namespace {

const QColor kInk(52, 64, 92);
const QColor kAccent(214, 140, 30);

void DrawCylinder(QPainter& p, const QRectF& r, const QColor& color) {
  const qreal cap = r.height() * 0.22;
  QPainterPath body;
  body.moveTo(r.left(), r.top() + cap / 2);
  body.lineTo(r.left(), r.bottom() - cap / 2);
  body.arcTo(QRectF(r.left(), r.bottom() - cap, r.width(), cap), 180, 180);
  body.lineTo(r.right(), r.top() + cap / 2);
  body.closeSubpath();
  QLinearGradient g(r.topLeft(), r.topRight());
  g.setColorAt(0, color.lighter(130));
  g.setColorAt(1, color.darker(120));
  p.setPen(QPen(color.darker(160), 1));
  p.setBrush(g);
  p.drawPath(body);
  p.setBrush(color.lighter(150));
  p.drawEllipse(QRectF(r.left(), r.top(), r.width(), cap));
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal width) {
  p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(from, to);
  const QPointF d = to - from;
  const qreal len = std::hypot(d.x(), d.y());
  if (len <= 0) return;
  const QPointF u(d.x() / len, d.y() / len);
  const QPointF n(-u.y(), u.x());
  const qreal head = width * 2.2;
  p.setBrush(color);
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({to + u * head * 0.6, to - u * head + n * head, to - u * head - n * head}));
}

QPixmap DrawButton(ButtonPicture picture) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (picture) {
    case ButtonPicture::Harvest: {
      // A page drawn into a tray.
      p.setPen(QPen(kInk, 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(9.5, 2.5, 13, 15));
      for (int i = 0; i < 3; ++i) p.drawLine(QPointF(12, 6.5 + 3 * i), QPointF(20, 6.5 + 3 * i));
      DrawArrow(p, {16, 13}, {16, 23}, kAccent, 3);
      p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      p.drawPolyline(QPolygonF({{4, 20}, {4, 29}, {28, 29}, {28, 20}}));
      break;
    }
    case ButtonPicture::Pause: {
      QRadialGradient g(16, 16, 15);
      g.setColorAt(0, QColor(120, 150, 210));
      g.setColorAt(1, kInk);
      p.setPen(Qt::NoPen);
      p.setBrush(g);
      p.drawEllipse(QRectF(2, 2, 28, 28));
      p.setBrush(Qt::white);
      p.drawRoundedRect(QRectF(10.5, 9, 4, 14), 1, 1);
      p.drawRoundedRect(QRectF(17.5, 9, 4, 14), 1, 1);
      break;
    }
    case ButtonPicture::Import:
      DrawCylinder(p, QRectF(4, 12, 18, 18), QColor(90, 130, 190));
      DrawArrow(p, {27, 2}, {17, 14}, QColor(40, 150, 70), 3);
      break;
    case ButtonPicture::Export:
      DrawCylinder(p, QRectF(4, 12, 18, 18), QColor(90, 130, 190));
      DrawArrow(p, {16, 12}, {27, 2}, kAccent, 3);
      break;
    case ButtonPicture::Clear:
      DrawCylinder(p, QRectF(4, 8, 18, 20), QColor(150, 150, 160));
      p.setPen(QPen(QColor(200, 40, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(18, 16), QPointF(29, 27));
      p.drawLine(QPointF(29, 16), QPointF(18, 27));
      break;
  }
  return pixmap;
}

}  // namespace

QIcon ButtonIcon(ButtonPicture picture) { return QIcon(DrawButton(picture)); }

QIcon ApplicationIcon() {
  QIcon icon;
  for (int side : {16, 32, 48, 64}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 64.0, side / 64.0);
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(255, 214, 90));
    g.setColorAt(1, QColor(226, 150, 20));
    p.setPen(QPen(QColor(150, 95, 10), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 10, 10);
    p.setPen(QPen(kInk, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{16, 16}, {32, 48}, {48, 16}}));
    icon.addPixmap(pixmap);
  }
  return icon;
}

QPixmap SplashPicture() {
  QPixmap pixmap(401, 300);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient sky(0, 0, 0, 300);
  sky.setColorAt(0, QColor(255, 236, 160));
  sky.setColorAt(1, QColor(232, 168, 40));
  p.fillRect(pixmap.rect(), sky);

  // A stack of listing cards, the tool's subject.
  for (int i = 0; i < 4; ++i) {
    const QRectF card(262 + i * 8, 56 + i * 26, 110, 70);
    p.setPen(QPen(QColor(150, 110, 40), 1));
    p.setBrush(QColor(255, 253, 245));
    p.drawRoundedRect(card, 4, 4);
    p.setPen(QPen(QColor(200, 190, 170), 3, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 3; ++line)
      p.drawLine(card.topLeft() + QPointF(12, 16 + 16 * line),
                 card.topLeft() + QPointF(88 - 16 * line, 16 + 16 * line));
  }

  QFont title = p.font();
  title.setPixelSize(40);
  title.setBold(true);
  p.setFont(title);
  p.setPen(kInk);
  p.drawText(QRect(28, 66, 226, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vantrelis"));
  QFont subtitle = p.font();
  subtitle.setPixelSize(15);
  subtitle.setBold(false);
  p.setFont(subtitle);
  p.drawText(QRect(30, 130, 224, 80), Qt::AlignLeft | Qt::TextWordWrap,
             QStringLiteral("Annuaire professionnel :\nrecherche et collecte des contacts"));
  QFont small = p.font();
  small.setPixelSize(12);
  p.setFont(small);
  p.setPen(QColor(90, 70, 30));
  p.drawText(QRect(30, 262, 340, 20), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("KorvalenCH — chargement…"));
  return pixmap;
}

}  // namespace vantrelis
