#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vantrelis {

QLocale ProgramLocale(const QLocale& system) {
  if (system.language() == QLocale::French) return system;
  return QLocale(QLocale::French, QLocale::Switzerland);
}

bool UseNativeFileDialogs(const QLocale& system) { return system.language() == QLocale::French; }

QString QtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale, const QString& folder) {
  QLocale::setDefault(locale);
  // qtbase holds the texts of the widgets, dialogs and standard buttons;
  // "fr_CH" falls back to "fr" when there is no catalogue of its own.
  auto* translator = new QTranslator(&app);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

}  // namespace vantrelis
