#include "app/navigator_bar.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/messages.h"

namespace vantrelis {
namespace {

constexpr const char* kButtonNames[] = {"First",  "Prior",  "Next", "Last",
                                        "Insert", "Delete", "Post", "Refresh"};

// What a screen reader announces for each button (the buttons show only a
// glyph and no tooltip): its name, then what it does.
struct Spoken {
  const char* name;
  const char* description;
};
constexpr Spoken kSpoken[] = {
    {"Premier", "Aller au premier enregistrement"},
    {"Précédent", "Aller à l'enregistrement précédent"},
    {"Suivant", "Aller à l'enregistrement suivant"},
    {"Dernier", "Aller au dernier enregistrement"},
    {"Insérer", "Insérer un enregistrement avant l'enregistrement courant"},
    {"Supprimer", "Supprimer l'enregistrement courant"},
    {"Valider", "Enregistrer les modifications de l'enregistrement ouvert"},
    {"Actualiser", "Actualiser l'affichage de la grille"},
};

// A small glyph drawn for one button, in the given colour.
QPixmap Glyph(NavigatorBar::Button which, const QColor& color) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  auto left = [&](qreal x) { p.drawPolygon(QPolygonF({{x + 5, 3.5}, {x + 5, 12.5}, {x, 8}})); };
  auto right = [&](qreal x) { p.drawPolygon(QPolygonF({{x, 3.5}, {x, 12.5}, {x + 5, 8}})); };
  switch (which) {
    case NavigatorBar::Button::First:
      p.drawRect(QRectF(4, 3.5, 1.6, 9));
      left(6);
      break;
    case NavigatorBar::Button::Prior: left(5); break;
    case NavigatorBar::Button::Next: right(6); break;
    case NavigatorBar::Button::Last:
      right(5);
      p.drawRect(QRectF(10.4, 3.5, 1.6, 9));
      break;
    case NavigatorBar::Button::Insert:
      p.drawRect(QRectF(7, 3, 2, 10));
      p.drawRect(QRectF(3, 7, 10, 2));
      break;
    case NavigatorBar::Button::Delete: p.drawRect(QRectF(3, 7, 10, 2)); break;
    case NavigatorBar::Button::Post: {
      QPen pen(color, 2);
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      p.drawPolyline(QPolygonF({{3, 8.5}, {6.5, 12}, {13, 4}}));
      break;
    }
    case NavigatorBar::Button::Refresh: {
      QPen pen(color, 1.8);
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(3.5, 3.5, 9, 9), 90 * 16, 270 * 16);
      p.setPen(Qt::NoPen);
      p.setBrush(color);
      p.drawPolygon(QPolygonF({{7, 1.5}, {10.5, 4}, {7, 6.5}}));
      break;
    }
    case NavigatorBar::Button::Count: break;
  }
  return pixmap;
}

QIcon GlyphIcon(NavigatorBar::Button which) {
  QIcon icon;
  icon.addPixmap(Glyph(which, QColor(40, 40, 40)), QIcon::Normal);
  icon.addPixmap(Glyph(which, QColor(160, 160, 160)), QIcon::Disabled);
  return icon;
}

}  // namespace

NavigatorBar::NavigatorBar(ContactGridModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_table(model->table()) {
  setObjectName(QStringLiteral("DBAdvNavigator1"));
  setFixedHeight(25);
  setAccessibleName(QStringLiteral("Navigation dans les enregistrements"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < static_cast<int>(Button::Count); ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(kButtonNames[i]));
    b->setAccessibleName(QString::fromUtf8(kSpoken[i].name));
    b->setAccessibleDescription(QString::fromUtf8(kSpoken[i].description));
    b->setAutoRaise(true);
    b->setIcon(GlyphIcon(static_cast<Button>(i)));
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(25, 25);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, [this, i] { trigger(static_cast<Button>(i)); });
    layout->addWidget(b);
    m_buttons[i] = b;
  }
  layout->addStretch(1);
  setStyleSheet(
      QStringLiteral("QToolButton { border: none; background: transparent; }"
                     "QToolButton:hover { background-color: rgb(199,199,202); }"
                     "QToolButton:pressed { background-color: rgb(210,211,216); }"));
  connect(m_model, &ContactGridModel::tableStateChanged, this, &NavigatorBar::updateButtons);
  connect(m_model, &QAbstractItemModel::modelReset, this, &NavigatorBar::updateButtons);
  updateButtons();
}

void NavigatorBar::updateButtons() {
  const bool atStart = m_table.AtStart();
  const bool atEnd = m_table.AtEnd();
  const bool open = m_table.HasOpenRow();
  button(Button::First)->setEnabled(!atStart);
  button(Button::Prior)->setEnabled(!atStart);
  button(Button::Next)->setEnabled(!atEnd);
  button(Button::Last)->setEnabled(!atEnd);
  button(Button::Insert)->setEnabled(true);
  button(Button::Delete)->setEnabled(m_table.RowCount() > 0);
  button(Button::Post)->setEnabled(open);
  button(Button::Refresh)->setEnabled(!open);
}

void NavigatorBar::trigger(Button which) {
  RunGuarded([this, which] { act(which); });
  updateButtons();
}

void NavigatorBar::act(Button which) {
  switch (which) {
    case Button::First: m_table.MoveFirst(); break;
    case Button::Prior: m_table.MovePrior(); break;
    case Button::Next: m_table.MoveNext(); break;
    case Button::Last: m_table.MoveLast(); break;
    case Button::Insert: m_table.InsertRow(); break;
    case Button::Delete:
      if (m_table.RowCount() > 0 &&
          AppDialogs().question(window(), QString::fromUtf8(messages::kDeleteRowQuestion),
                                QuestionButtons::OkCancel))
        m_table.DeleteRow();
      break;
    case Button::Post: m_table.CommitRow(); break;
    case Button::Refresh:
      m_table.SettleRow();
      emit refreshRequested();
      break;
    case Button::Count: break;
  }
}

}  // namespace vantrelis
