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

// Listings that gave no row although their page loaded.
inline constexpr char kNoListingOnPage[] = "aucune fiche reconnue sur la page";
inline constexpr char kRowNotStored[] = "la fiche n'a pas pu être enregistrée dans la table";

// The end-of-run notice.
inline constexpr char kOneAlreadyHeld[] = "1 fiche était déjà dans la table et a été passée.";
inline constexpr char kManyAlreadyHeld[] = " fiches étaient déjà dans la table et ont été passées.";
inline constexpr char kCircling[] =
    "La récolte s'est arrêtée : la page suivante a déjà été récoltée (le lien « Suivant » ramène à une page "
    "déjà vue).";
inline constexpr char kNothingOnPage[] =
    "Aucune fiche trouvée sur cette page : est-ce bien une page de résultats de l'annuaire ?";

// A run the site stopped: "<why> <address> (<reason>)".
inline constexpr char kRateLimitGivenUp[] =
    "le site limite toujours les requêtes après quatre nouveaux essais";
inline constexpr char kBlockedByCheck[] =
    "Le site demande une vérification (ou refuse l'accès) : la récolte s'est arrêtée sur la page ";
inline constexpr char kBlockedByRateLimit[] =
    "Le site limite les requêtes et n'a pas repris après les attentes : la récolte s'est arrêtée sur la "
    "page ";
inline constexpr char kBlockedNoListing[] =
    "Le site ne montre plus de fiches sous la forme attendue (vérification demandée, ou pages modifiées) : "
    "la "
    "récolte s'est arrêtée sur la page ";

}  // namespace vantrelis::messages
