// The window as a desktop user meets it: Qt's own texts in French, names
// that a screen reader announces, and message boxes whose title bar holds
// only the close button.
#include <QAbstractButton>
#include <QAccessible>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>

#include "app/contact_grid.h"
#include "app/glow_button.h"
#include "app/main_window.h"
#include "app/navigator_bar.h"
#include "app/translations.h"
#include "support/auto_dialogs.h"
#include "support/session_window.h"
#include "support/test_main.h"

using namespace vantrelis;

namespace {

QString AccessibleText(QObject* object, QAccessible::Text which) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
  return iface ? iface->text(which) : QStringLiteral("<no interface>");
}

// Counts the buttons of the accessibility tree under `node` and collects
// those that have no name; the web pages' own trees are left out.
int VisitButtons(QAccessibleInterface* node, QStringList& unnamed) {
  if (node == nullptr || node->state().invisible) return 0;
  if (qobject_cast<QWebEngineView*>(node->object()) != nullptr) return 0;
  int buttons = 0;
  const QAccessible::Role role = node->role();
  if (role == QAccessible::Button || role == QAccessible::ButtonMenu) {
    ++buttons;
    if (node->text(QAccessible::Name).isEmpty())
      unnamed << (node->object() ? node->object()->objectName() : QStringLiteral("?"));
  }
  for (int i = 0; i < node->childCount(); ++i) buttons += VisitButtons(node->child(i), unnamed);
  return buttons;
}

// The texts of a Qt file dialog (not the desktop's own) as it opens.
struct FileDialogTexts {
  QString title, lookIn, fileName;
  QStringList buttons;
};

FileDialogTexts TextsOf(QFileDialog::AcceptMode mode) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  FileDialogTexts texts;
  texts.title = dialog.windowTitle();
  texts.lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text();
  texts.fileName = dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text();
  for (QAbstractButton* b : dialog.findChild<QDialogButtonBox*>()->buttons()) texts.buttons << b->text();
  texts.buttons.sort();
  return texts;
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT
 private slots:
  // French whatever the system; the desktop's own file dialogs only where
  // they speak French too.
  void programLocaleIsFrenchWhateverTheSystem_data() {
    QTest::addColumn<QString>("system");
    QTest::addColumn<bool>("nativeFileDialogs");
    QTest::addColumn<QString>("program");
    QTest::newRow("fr_FR kept") << "fr_FR" << true << "fr_FR";
    QTest::newRow("fr_CH kept") << "fr_CH" << true << "fr_CH";
    QTest::newRow("fr_BE kept") << "fr_BE" << true << "fr_BE";
    QTest::newRow("de_CH") << "de_CH" << false << "fr_CH";
    QTest::newRow("en_US") << "en_US" << false << "fr_CH";
    QTest::newRow("C") << "C" << false << "fr_CH";
  }

  void programLocaleIsFrenchWhateverTheSystem() {
    QFETCH(QString, system);
    QFETCH(QString, program);
    QFETCH(bool, nativeFileDialogs);
    QCOMPARE(ProgramLocale(QLocale(system)).name(), program);
    QCOMPARE(UseNativeFileDialogs(QLocale(system)), nativeFileDialogs);
  }

  void theProgramsFileDialogsFollowTheSystemsLanguage() {
    QtDialogs platform;
    QList<bool> qtsOwn;
    auto inspectAndCancel = [&qtsOwn] {
      QTimer::singleShot(0, [&qtsOwn] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        qtsOwn << dialog->testOption(QFileDialog::DontUseNativeDialog);
        dialog->reject();
      });
    };
    FileDialogRequest request;
    inspectAndCancel();
    QVERIFY(!platform.getSaveFileName(nullptr, request));
    inspectAndCancel();
    QVERIFY(!platform.getOpenFileName(nullptr, request));
    const bool expected = !UseNativeFileDialogs(QLocale::system());
    QCOMPARE(qtsOwn, (QList<bool>{expected, expected}));
  }

  void standardDialogsSpeakFrenchAfterStartUp() {
    // The application object of this test is the program's own.
    QCOMPARE(QLocale().language(), QLocale::French);
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Voir dans :"));
    const FileDialogTexts open = TextsOf(QFileDialog::AcceptOpen);
    QCOMPARE(open.title, QStringLiteral("Ouvrir"));
    QCOMPARE(open.lookIn, QStringLiteral("Voir dans :"));
    QCOMPARE(open.fileName, QStringLiteral("&Nom de fichier :"));
    QCOMPARE(open.buttons, (QStringList{"&Ouvrir", "Annuler"}));
    const FileDialogTexts save = TextsOf(QFileDialog::AcceptSave);
    QCOMPARE(save.title, QStringLiteral("Enregistrer sous"));
    QCOMPARE(save.buttons, (QStringList{"&Enregistrer", "Annuler"}));
  }

  void missingCataloguesAreReportedNotFatal() {
    QTemporaryDir empty;
    const QLocale before;
    QVERIFY(!InstallQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::French, QLocale::France),
                                   empty.path()));
    // The French catalogue already installed still answers.
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Voir dans :"));
    QLocale::setDefault(before);
  }

  void everyButtonAndTheGridHaveFrenchAccessibleNames() {
    qputenv("VANTRELIS_DIRECTORY", "http://127.0.0.1:9/annuaire/");
    SessionWindow form(QStringList{QStringLiteral("vantrelis")});
    form.FormCreate();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QStringList navigatorNames;
    for (int i = 0; i < static_cast<int>(NavigatorBar::Button::Count); ++i) {
      QToolButton* b = form.navigator()->button(static_cast<NavigatorBar::Button>(i));
      navigatorNames << AccessibleText(b, QAccessible::Name);
      QVERIFY2(!AccessibleText(b, QAccessible::Description).isEmpty(), qPrintable(b->objectName()));
    }
    QCOMPARE(navigatorNames, (QStringList{"Premier", "Précédent", "Suivant", "Dernier", "Insérer",
                                          "Supprimer", "Valider", "Actualiser"}));

    QStringList descriptions;
    for (const char* name :
         {"AdvGlowButton5", "SpeedButton6", "AdvGlowButton1", "AdvGlowButton2", "AdvGlowButton4"}) {
      GlowButton* b = form.glowButton(name);
      QCOMPARE(AccessibleText(b, QAccessible::Name), b->text());
      QCOMPARE(QAccessible::queryAccessibleInterface(b)->role(), QAccessible::Button);
      descriptions << AccessibleText(b, QAccessible::Description);
      // The common tooltip does not tell the buttons apart; the description does.
      QVERIFY(descriptions.back() != b->toolTip() && !descriptions.back().isEmpty());
    }
    descriptions.removeDuplicates();
    QCOMPARE(descriptions.size(), 5);

    QCOMPARE(AccessibleText(form.grid(), QAccessible::Name), QStringLiteral("Table des contacts"));
    QCOMPARE(QAccessible::queryAccessibleInterface(form.grid())->role(), QAccessible::Table);

    // Nothing a screen reader offers to press is left unnamed.
    QStringList unnamed;
    QVERIFY(VisitButtons(QAccessible::queryAccessibleInterface(&form), unnamed) >= 8 + 5);
    QCOMPARE(unnamed, QStringList());
  }

  void messageBoxesHaveOnlyTheCloseButton() {
    QtDialogs platform;
    QList<Qt::WindowFlags> seen;
    auto inspectAndAnswer = [&seen] {
      QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        seen << box->windowFlags();
        box->buttons().constFirst()->click();
      });
    };
    inspectAndAnswer();
    platform.question(nullptr, QStringLiteral("Effacer TOUTES les données ?"), QuestionButtons::YesNo);
    inspectAndAnswer();
    platform.question(nullptr, QStringLiteral("Supprimer l'enregistrement ?"), QuestionButtons::OkCancel);
    inspectAndAnswer();
    platform.errorReport(nullptr, QStringLiteral("KorvalenCH"), QStringLiteral("Erreur."));
    inspectAndAnswer();
    platform.warning(nullptr, QStringLiteral("Attention."));
    QCOMPARE(seen.size(), 4);
    for (Qt::WindowFlags flags : seen) {
      QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
      // Without CustomizeWindowHint the window manager picks its own buttons.
      QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
      QVERIFY(flags.testFlag(Qt::WindowTitleHint));
      QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
      QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
      QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
      QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    }
  }
};

VANTRELIS_GUI_TEST_MAIN(DesktopTest)
#include "desktop_test.moc"
