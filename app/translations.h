// The program speaks French: Qt's own texts (standard dialogs and buttons,
// context menus) come from Qt's French catalogues, whatever the system's
// language.
#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

namespace vantrelis {

// The program's locale: the system's when it is a French one (fr_CH, fr_FR,
// ...), else French as spoken in Switzerland.
QLocale ProgramLocale(const QLocale& system);

// Whether the desktop's own file dialogs may serve: only on a system whose
// language is French. Elsewhere they would speak the system's language (a
// GTK dialog reads "Name:", "Other Locations"); Qt's own dialogs, which the
// French catalogue translates, serve instead.
bool UseNativeFileDialogs(const QLocale& system);

// The folder of Qt's own translation catalogues on this system.
QString QtTranslationsFolder();

// Makes `locale` the default and installs Qt's catalogue for it from
// `folder`; false when no catalogue could be loaded (Qt then speaks English).
bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale, const QString& folder);

}  // namespace vantrelis
