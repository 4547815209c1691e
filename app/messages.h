// The French texts of the window's message boxes and errors, in one place:
// a text asked in two places reads the same in both.
#pragma once

namespace vantrelis::messages {

// Questions (UTF-8).
inline constexpr const char* kDeleteRowQuestion = "Supprimer l'enregistrement ?";
inline constexpr const char* kClearAllQuestion = "Effacer TOUTES les données ?";
inline constexpr const char* kExportCsvQuestion = "Exporter TOUTES les données format CSV(Excel)?";
// %1: the number of rows, %2: "s" for more than one.
inline constexpr const char* kRecoveryQuestion =
    "La session précédente s'est interrompue avec %1 contact%2. Les récupérer ?";
// %1: the file's name.
inline constexpr const char* kReplaceFileQuestion = "Le fichier %1 existe déjà.\nVoulez-vous le remplacer ?";

// Errors (UTF-8).
inline constexpr const char* kDemoDirectoryFailed = "Impossible de démarrer l'annuaire de démonstration sur 127.0.0.1";
// %1: the workbook's path, %2: the system's reason.
inline constexpr const char* kWorkbookNotWritten = "Impossible d'écrire le classeur %1 : %2";
// %1: the workbook's path.
inline constexpr const char* kWorkbookNotOpened =
    "Aucun programme n'a pu ouvrir le classeur. Il a été enregistré sous %1";
inline constexpr const char* kBrowsersAttached = "La récolte de cette session a déjà ses navigateurs";
// Follows why the site data folder cannot be had.
inline constexpr const char* kPrivateProfile =
    " : cette session utilise un profil privé, qui ne garde ni cookies ni consentements";

}  // namespace vantrelis::messages
