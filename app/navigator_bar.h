// The record navigator: eight flat buttons that move through and change the
// contact table, enabled by the table's position and open row.
#pragma once

#include <QWidget>

#include "app/contact_grid_model.h"

class QToolButton;

namespace vantrelis {

class NavigatorBar : public QWidget {
  Q_OBJECT
 public:
  enum class Button : int { First, Prior, Next, Last, Insert, Delete, Post, Refresh, Count };

  explicit NavigatorBar(ContactGridModel* model, QWidget* parent = nullptr);

  QToolButton* button(Button which) const { return m_buttons[static_cast<int>(which)]; }
  // Applies the enable rules to the table's present state.
  void updateButtons();
  // Runs one button's action (as a click on it would).
  void trigger(Button which);

 signals:
  // Refresh asks for the grid to be redrawn.
  void refreshRequested();

 private:
  void act(Button which);

  ContactGridModel* m_model;
  ContactTable& m_table;
  QToolButton* m_buttons[static_cast<int>(Button::Count)] = {};
};

}  // namespace vantrelis
