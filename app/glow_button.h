// A two-state picture button: a mouse click flips its down state, and a
// button going down puts the others of its group (same group number, same
// parent) up without running their handlers.
#pragma once

#include <QAbstractButton>
#include <QIcon>

namespace vantrelis {

class GlowButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit GlowButton(const QString& text, QWidget* parent = nullptr);

  int groupIndex() const { return m_groupIndex; }
  void setGroupIndex(int group) { m_groupIndex = group; }
  // The latched ("down") state, distinct from the transient pressed look.
  bool isStateDown() const { return m_stateDown; }
  // Sets the down state without running any handler or touching the group.
  void setStateDown(bool down);

  QSize sizeHint() const override;

 signals:
  // The handler's signal: a click (whichever way it flipped), Space or Enter.
  void activated();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void runHandler();

  int m_groupIndex = 0;
  bool m_stateDown = false;
  bool m_pressed = false;
  bool m_hover = false;
};

}  // namespace vantrelis
