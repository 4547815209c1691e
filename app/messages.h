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
    "La session précédente s'est interrompue avec %1 contact%2.\n"
    "« Récupérer » les ajoute à la table ; « Plus tard » les garde de côté, et la question "
    "reviendra au prochain démarrage ; « Supprimer » les efface.";
// The answers to kRecoveryQuestion, in the order of RecoveryAnswer.
inline constexpr const char* kRecoveryAnswers[] = {"Récupérer", "Plus tard", "Supprimer"};
// %1: "les N contacts" or "le contact", %2: "de la session interrompue" or
// "des N sessions interrompues".
inline constexpr const char* kRecoveryDeleteQuestion = "Supprimer définitivement %1 %2 ?";
// %1: the number of contacts (more than one).
inline constexpr const char* kUnsavedCloseQuestion =
    "La table contient %1 contacts qui n'ont pas été exportés. Quitter quand même ?";
inline constexpr const char* kUnsavedCloseQuestionOne =
    "La table contient 1 contact qui n'a pas été exporté. Quitter quand même ?";
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

// On the error output when no display can be reached (UTF-8).
inline constexpr const char* kWindowWithoutDisplay =
    "vantrelis : la fenêtre a besoin d'une session graphique, et aucune n'est accessible ici\n"
    "(ni DISPLAY ni WAYLAND_DISPLAY ne mène à un écran).\n"
    "Pour travailler sans fenêtre, utilisez vantrelis-batch (voir vantrelis-batch --help).";
inline constexpr const char* kHarvestWithoutDisplay =
    "vantrelis-batch : l'écran indiqué par DISPLAY ou WAYLAND_DISPLAY n'est pas accessible ;\n"
    "sans ces variables, la récolte se fait hors écran.";

}  // namespace vantrelis::messages
