#include "app/glow_button.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include "app/application.h"

namespace vantrelis {

GlowButton::GlowButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
  setText(text);
  setToolTip(QStringLiteral("Commencer la recherche"));
  setIconSize(QSize(32, 32));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
}

void GlowButton::setStateDown(bool down) {
  if (m_stateDown == down) return;
  m_stateDown = down;
  update();
}

QSize GlowButton::sizeHint() const { return QSize(169, 40); }

void GlowButton::runHandler() {
  // A handler's error is reported here so that it never unwinds through Qt.
  RunGuarded([this] { emit activated(); });
}

void GlowButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  m_pressed = true;
  setFocus(Qt::MouseFocusReason);
  update();
}

void GlowButton::mouseMoveEvent(QMouseEvent* event) {
  if (m_pressed) update();
  event->accept();
}

void GlowButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_pressed) {
    event->ignore();
    return;
  }
  m_pressed = false;
  update();
  if (!rect().contains(event->position().toPoint())) return;  // released outside: nothing
  setStateDown(!m_stateDown);
  if (m_stateDown && parentWidget() != nullptr) {
    const auto siblings = parentWidget()->findChildren<GlowButton*>(Qt::FindDirectChildrenOnly);
    for (GlowButton* other : siblings) {
      if (other != this && other->m_groupIndex == m_groupIndex) other->setStateDown(false);
    }
  }
  runHandler();
}

void GlowButton::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!event->isAutoRepeat()) runHandler();
      event->accept();
      return;
    default: QAbstractButton::keyPressEvent(event);
  }
}

void GlowButton::keyReleaseEvent(QKeyEvent* event) {
  // Space is handled on press; the base class would click on release.
  if (event->key() == Qt::Key_Space) {
    event->accept();
    return;
  }
  QAbstractButton::keyReleaseEvent(event);
}

void GlowButton::enterEvent(QEnterEvent* event) {
  m_hover = true;
  update();
  QAbstractButton::enterEvent(event);
}

void GlowButton::leaveEvent(QEvent* event) {
  m_hover = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void GlowButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const bool sunken = m_stateDown || (m_pressed && underMouse());
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  if (sunken) {
    g.setColorAt(0.0, QColor(247, 210, 140));
    g.setColorAt(0.5, QColor(245, 190, 95));
    g.setColorAt(1.0, QColor(250, 220, 150));
  } else if (m_hover) {
    g.setColorAt(0.0, QColor(255, 250, 225));
    g.setColorAt(0.5, QColor(255, 231, 160));
    g.setColorAt(1.0, QColor(255, 244, 200));
  } else {
    g.setColorAt(0.0, QColor(252, 252, 250));
    g.setColorAt(0.5, QColor(232, 232, 226));
    g.setColorAt(1.0, QColor(214, 214, 206));
  }
  p.setBrush(g);
  p.setPen(sunken ? QColor(194, 138, 48) : QColor(150, 150, 140));
  p.drawRoundedRect(r, 3, 3);
  if (hasFocus()) {
    p.setPen(QPen(QColor(90, 110, 160), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 2, 2);
  }

  // The picture on the left, the caption beside it.
  const int side = qMin(iconSize().height(), height() - 6);
  int textLeft = 6;
  if (!icon().isNull() && side > 0) {
    const QRect iconRect(6, (height() - side) / 2, side, side);
    icon().paint(&p, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    textLeft = iconRect.right() + 6;
  }
  p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : palette().color(QPalette::Mid));
  p.drawText(QRect(textLeft, 0, width() - textLeft - 4, height()),
             Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text());
}

}  // namespace vantrelis
