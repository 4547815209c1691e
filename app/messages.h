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
inline constexpr const char* kDemoDirectoryFailed =
    "Impossible de démarrer l'annuaire de démonstration sur 127.0.0.1";
// %1: the workbook's path, %2: the system's reason.
inline constexpr const char* kWorkbookNotWritten = "Impossible d'écrire le classeur %1 : %2";
// %1: the workbook's path.
inline constexpr const char* kWorkbookNotOpened =
    "Aucun programme n'a pu ouvrir le classeur. Il a été enregistré sous %1";
inline constexpr const char* kBrowsersAttached = "La récolte de cette session a déjà ses navigateurs";
// Follows why the site data folder cannot be had.
inline constexpr const char* kPrivateProfile =
    " : cette session utilise un profil privé, qui ne garde ni cookies ni consentements";

// The status bar once a recovery took back the rows of a session that was
// harvesting, and www shows the result page it was on.
inline constexpr const char* kResumeStatus =
    "« Aspirer » poursuit la récolte interrompue sur cette page ; les fiches déjà dans la table seront "
    "passées.";
// The same when the site gives all its result pages one address.
inline constexpr const char* kResumeElsewhereStatus =
    "« Aspirer » poursuit la récolte interrompue, mais ce site donne la même adresse à toutes ses pages de "
    "résultats : cette adresse en ouvre une autre que celle où la récolte s'était arrêtée ; les fiches "
    "déjà dans la table y seront passées.";

// The verification window shown when a site stopped a harvest.
inline constexpr const char* kVerificationTitle = "Vérification demandée par le site";
inline constexpr const char* kVerificationResume = "Reprendre";
inline constexpr const char* kVerificationStop = "Arrêter";
// Follows the message of the blocked run, for a site that asks for a check,
// refuses the harvest or limits its requests.
inline constexpr const char* kVerificationCheckAdvice =
    "La page qui a arrêté la récolte est ouverte ci-dessous, avec les cookies de la récolte. Faites ce "
    "qu'elle demande (une case à cocher, une image, un consentement), puis cliquez sur « Reprendre » : la "
    "récolte continue avec la première fiche qui n'est pas encore dans la table. « Arrêter » la laisse "
    "arrêtée, les contacts récoltés restent dans la table ; « Aspirer » la reprendra plus tard.";
// Follows the message of a run stopped by pages without a listing.
inline constexpr const char* kVerificationLayoutAdvice =
    "La page est ouverte ci-dessous, avec les cookies de la récolte. Si elle demande quelque chose (une "
    "vérification, un consentement, une connexion), faites-le, puis cliquez sur « Reprendre » : la récolte "
    "continue avec la première fiche qui n'est pas encore dans la table. Si elle montre une fiche comme "
    "d'habitude, l'annuaire a sans doute changé la présentation de ses pages et Vantrelis ne sait plus les "
    "lire. « Arrêter » laisse la récolte arrêtée, les contacts récoltés restent dans la table.";

// On the error output when no display can be reached (UTF-8).
inline constexpr const char* kWindowWithoutDisplay =
    "vantrelis : la fenêtre a besoin d'une session graphique, et aucune n'est accessible ici\n"
    "(ni DISPLAY ni WAYLAND_DISPLAY ne mène à un écran).\n"
    "Pour travailler sans fenêtre, utilisez vantrelis-batch (voir vantrelis-batch --help).";
inline constexpr const char* kHarvestWithoutDisplay =
    "vantrelis-batch : l'écran indiqué par DISPLAY ou WAYLAND_DISPLAY n'est pas accessible ;\n"
    "sans ces variables, la récolte se fait hors écran.";

}  // namespace vantrelis::messages
