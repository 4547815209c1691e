// The French texts of the harvest's messages, in one place: why a page
// cannot be read, the errors that end a run, the summary of skipped listings.
#pragma once

namespace vantrelis::messages {

// "La page <address> ne peut pas être lue : <reason>"; without an address,
// "La page ne peut pas être lue : <reason>".
inline constexpr char kPage[] = "La page";
inline constexpr char kCannotBeRead[] = " ne peut pas être lue : ";
// "La page de résultats <address> ne peut pas être lue : <reason> ; la
// récolte s'arrête là", "(aucune page)" standing for a missing address.
inline constexpr char kResultPage[] = "La page de résultats ";
inline constexpr char kNoPage[] = "(aucune page)";
inline constexpr char kRunStops[] = " ; la récolte s'arrête là";

// The reasons, completed by the detail of the problem where it has one.
inline constexpr char kNotLoadedWithin[] = "la page ne s'est pas chargée dans le délai de ";
inline constexpr char kNoAnswerWithin[] = "la page n'a pas répondu dans le délai de ";
inline constexpr char kSeconds[] = " s";
inline constexpr char kRendererGone[] = "le moteur du navigateur s'est arrêté sur cette page (plantage)";
inline constexpr char kDownload[] = "l'adresse renvoie un fichier à télécharger, pas une page";
inline constexpr char kLoadFailed[] = "le chargement a échoué";
inline constexpr char kHttpError[] = "le serveur a répondu par l'erreur HTTP ";
inline constexpr char kNotHtml[] = "l'adresse ne renvoie pas une page HTML";
inline constexpr char kUnreadable[] = "la page ne peut pas être lue";
inline constexpr char kLoadInterrupted[] = "chargement interrompu";
inline constexpr char kNoWebAddress[] = "adresse invalide, ni http ni https";
// "adresse « <scheme>: » non suivie : seules les adresses http et https le sont"
inline constexpr char kSchemeBefore[] = "adresse « ";
inline constexpr char kSchemeNotFollowed[] = ": » non suivie : seules les adresses http et https le sont";

// "1 fiche n'a pas pu être lue et a été ignorée :", "<n> fiches n'ont pas pu
// être lues et ont été ignorées :", each listed below it as "- <address> :
// <reason>", then "(et 1 autre)" or "(et <n> autres)" for those not listed.
inline constexpr char kOneSkipped[] = "1 fiche n'a pas pu être lue et a été ignorée :";
inline constexpr char kManySkipped[] = " fiches n'ont pas pu être lues et ont été ignorées :";
inline constexpr char kAndMoreBefore[] = "\n(et ";
inline constexpr char kOneMore[] = " autre)";
inline constexpr char kManyMore[] = " autres)";

}  // namespace vantrelis::messages
