#include "batch/batch.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "batch/site_data.h"
#include "batch/stop_signals.h"
#include "harvest/harvest_run.h"
#include "harvest/listing_parser.h"
#include "store/csv_file.h"
#include "store/journal_recovery.h"
#include "store/session_journal.h"
#include "store/workbook_export.h"
#include "text/codepage.h"
#include "text/message.h"

namespace vantrelis {
namespace {

enum class Action {
  Parse,
  Import,
  ExportCsv,
  ExportXlsx,
  Clear,
  Harvest,
  Resume,
  Recover,
  Discard,
  ForgetSiteData,
  Help,
  Version
};

struct CommandOption {
  std::string_view name;
  Action action;
  bool takesArgument;
};

constexpr CommandOption kOptions[] = {
    {"--parse", Action::Parse, true},
    {"--import", Action::Import, true},
    {"--export-csv", Action::ExportCsv, true},
    {"--export-xlsx", Action::ExportXlsx, true},
    {"--clear", Action::Clear, false},
    {"--harvest", Action::Harvest, true},
    {"--resume", Action::Resume, false},
    {"--recover", Action::Recover, false},
    {"--discard-recovered", Action::Discard, false},
    {"--forget-site-data", Action::ForgetSiteData, false},
    {"--help", Action::Help, false},
    {"--version", Action::Version, false},
};

struct Step {
  Action action;
  std::string argument;
};

bool Harvests(const Step& step) { return step.action == Action::Harvest || step.action == Action::Resume; }

// A harvest that cannot even start (nothing to resume, no browser in this
// program): it ends the command as any failing option does.
class CannotStart : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

const CommandOption* FindOption(std::string_view name) {
  for (const CommandOption& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::runtime_error CannotOpen(const std::string& path) {
  return std::runtime_error("Impossible d'ouvrir le fichier " + path);
}

// The whole content of `path`; throws the open error when it cannot be read.
std::string ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw CannotOpen(path);
  std::string bytes;
  char block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw CannotOpen(path);
  return bytes;
}

void Parse(ContactTable& table, const std::string& path, std::ostream& err) {
  std::string page = batch::PageTextFromBytes(ReadWholeFile(path));
  if (!batch::AddListingPage(table, page)) {
    err << "Aucune fiche dans la page " << path << " : rien n'a été ajouté\n";
  }
}

void Import(ContactTable& table, const std::string& path) {
  // A file that is not there is an error here, not a silent no-op as in
  // the window's import (whose dialog only offers existing files).
  std::error_code error;
  if (!std::filesystem::exists(path, error) || std::filesystem::is_directory(path, error)) {
    throw CannotOpen(path);
  }
  LoadCsvFile(table, path);
}

// The command's session: its journal, and the journals of interrupted
// sessions whose rows it took, removed only once every option succeeded.
struct Session {
  SessionJournal& journal;
  std::vector<std::unique_ptr<JournalRecovery>> recovered;
  int32_t harvestsLeft = 0;  // the harvest steps not yet run
};

void Recover(ContactTable& table, Session& session, std::ostream& err) {
  auto recovery = std::make_unique<JournalRecovery>(JournalFolder());
  for (const std::string& notice : recovery->Notices()) err << WithFinalPeriod(notice) << '\n';
  const int32_t rows = recovery->RowCount();
  const int32_t journals = recovery->JournalCount();
  recovery->AddRowsTo(table, &session.journal);
  if (journals == 0) {
    err << "Aucune session interrompue à récupérer\n";
  } else {
    err << "Récupéré : " << rows << " contact" << (rows > 1 ? "s" : "") << " de " << journals << " session"
        << (journals > 1 ? "s" : "") << " interrompue" << (journals > 1 ? "s" : "") << '\n';
  }
  session.recovered.push_back(std::move(recovery));
}

// Takes the rows of the most recent interrupted session that was
// harvesting, as --recover takes them, and goes on with its harvest from
// the result page it stood on.
void Resume(ContactTable& table, Session& session, const HarvestFunction& harvest, std::ostream& err) {
  if (!harvest) throw CannotStart("La récolte n'est pas disponible dans ce programme");
  auto recovery = std::make_unique<JournalRecovery>(JournalFolder());
  for (const std::string& notice : recovery->Notices()) err << WithFinalPeriod(notice) << '\n';
  if (!recovery->KeepOnlyResumable()) {
    throw CannotStart(
        "Aucune récolte interrompue à reprendre : --resume continue la récolte d'une session qui ne "
        "s'est pas terminée normalement (plantage, arrêt forcé, récolte arrêtée par le site)");
  }
  const std::string page = recovery->ResumePage();
  const bool reopens = recovery->ResumePageReopens();
  const int32_t rows = recovery->RowCount();
  recovery->AddRowsTo(table, &session.journal);
  session.recovered.push_back(std::move(recovery));
  // The harvest is this session's from now on: should the command end
  // before the harvest reads the page, a later --resume still finds it.
  session.journal.NoteResultPage(page, reopens);
  session.journal.Sync();
  err << "Reprise de la récolte interrompue : " << Counted(rows, "contact", "contacts") << " récupéré"
      << (rows > 1 ? "s" : "") << ", suite à la page de résultats " << page << '\n';
  if (!reopens) {
    err << "Les pages de résultats de ce site ont toutes la même adresse : elle ouvre une autre page que "
           "celle où la récolte s'était arrêtée. La récolte reprend sur la page qu'elle ouvre et passe les "
           "fiches déjà dans la table.\n";
  }
  harvest(table, HarvestRequest{page, true, --session.harvestsLeft == 0}, &session.journal);
}

// Empties the browser profile's folder, unless another program uses it.
void ForgetSiteData(std::ostream& err) {
  const std::string folder = SiteDataFolder();
  std::error_code error;
  if (!std::filesystem::exists(folder, error)) {
    err << "Aucune donnée de site à effacer dans " << folder << '\n';
    return;
  }
  const SiteDataLock lock(folder);
  if (lock.state() == SiteDataLock::State::Busy)
    throw std::runtime_error(lock.Problem() + " : fermez-le, puis recommencez");
  if (!lock.Held()) throw std::runtime_error(lock.Problem());
  lock.EmptyFolder();
  err << "Données des sites effacées dans " << folder << '\n';
}

// Removes the journals of interrupted sessions on purpose, their rows with
// them; those a running session holds (this command's own, a window's) stay.
void DiscardRecovered(std::ostream& err) {
  JournalRecovery recovery(JournalFolder());
  for (const std::string& notice : recovery.Notices()) err << WithFinalPeriod(notice) << '\n';
  const int32_t journals = recovery.JournalCount();
  if (journals == 0) {
    err << "Aucune session interrompue à supprimer\n";
    return;
  }
  const int32_t rows = recovery.RowCount();
  recovery.RemoveJournals();
  err << "Supprimé : " << Counted(rows, "contact", "contacts") << " de "
      << Counted(journals, "session", "sessions") << " interrompue" << (journals > 1 ? "s" : "") << '\n';
}

void Run(ContactTable& table, const Step& step, Session& session, const HarvestFunction& harvest,
         std::ostream& err) {
  switch (step.action) {
    case Action::Parse: Parse(table, step.argument, err); break;
    case Action::Import: Import(table, step.argument); break;
    case Action::ExportCsv: SaveCsvFile(table, step.argument); break;
    case Action::ExportXlsx: DataSetToExcel(table).Export(step.argument); break;
    case Action::Clear: table.ClearRows(); break;
    case Action::Harvest:
      if (!harvest) throw std::runtime_error("La récolte n'est pas disponible dans ce programme");
      // Each harvested row is on disk before the next listing is loaded.
      harvest(table, HarvestRequest{step.argument, false, --session.harvestsLeft == 0}, &session.journal);
      break;
    case Action::Resume: Resume(table, session, harvest, err); break;
    case Action::Recover: Recover(table, session, err); break;
    case Action::Discard: DiscardRecovered(err); break;
    case Action::ForgetSiteData: ForgetSiteData(err); break;
    case Action::Help:
    case Action::Version: break;
  }
}

}  // namespace

namespace batch {

std::string BatchUsage() {
  return "Utilisation : vantrelis-batch [OPTION]...\n"
         "Exécute les options dans l'ordre donné sur une table de contacts vide au départ.\n"
         "\n"
         "  --parse FICHIER        ajoute le contact d'une page de fiche enregistrée\n"
         "  --import FICHIER       ajoute les lignes d'un fichier CSV\n"
         "  --export-csv FICHIER   écrit la table dans un fichier CSV\n"
         "  --export-xlsx FICHIER  écrit la table dans un classeur Excel (.xlsx)\n"
         "  --harvest URL          récolte l'annuaire depuis la page de résultats URL\n"
         "                         (\"demo\" : l'annuaire de démonstration) ; les fiches\n"
         "                         déjà dans la table sont passées\n"
         "  --resume               reprend la dernière récolte interrompue : ses contacts,\n"
         "                         puis la suite depuis la page de résultats où elle\n"
         "                         s'était arrêtée\n"
         "  --clear                vide la table\n"
         "  --recover              ajoute les contacts des sessions interrompues (plantage,\n"
         "                         arrêt forcé, coupure de courant), la plus ancienne d'abord\n"
         "  --forget-site-data     efface les données que le navigateur garde des sites\n"
         "                         (cookies, consentements, stockage, cache)\n"
         "  --discard-recovered    supprime les journaux des sessions interrompues, et leurs\n"
         "                         contacts avec eux\n"
         "  --help                 affiche cette aide\n"
         "  --version              affiche le nom et la version du programme\n"
         "\n"
         "Récolte : une fiche qui ne peut pas être lue (page qui ne se charge pas en\n"
         "30 s, fichier à télécharger, page qui n'est pas du HTML, adresse autre que\n"
         "http ou https, erreur du réseau) est ignorée avec une ligne sur la sortie\n"
         "d'erreur, et la récolte continue ; un résumé les compte à la fin. Une page\n"
         "de résultats qui ne peut pas être lue, ou une adresse de départ qui ne se\n"
         "charge pas, arrête la récolte sur une erreur : les contacts déjà récoltés\n"
         "restent et les options suivantes sont exécutées.\n"
         "Quand le site arrête la récolte (vérification demandée, accès refusé,\n"
         "requêtes toujours limitées, fiches qui ne sont plus reconnues), un message\n"
         "nomme la page et la raison ; les contacts déjà récoltés restent, les options\n"
         "suivantes sont exécutées et le journal est gardé : faites la vérification dans\n"
         "la fenêtre de Vantrelis, puis reprenez avec vantrelis-batch --resume.\n"
         "Chaque fiche a sa ligne (page, fiche, totaux, temps restant pour la page) ;\n"
         "sur un terminal, une seule ligne de progression est mise à jour sur place et\n"
         "seules les fiches ignorées ont la leur.\n"
         "SIGINT (Ctrl+C) ou SIGTERM arrête la récolte aussitôt, comme « Pause » ;\n"
         "les options suivantes (--export-csv, --export-xlsx...) sont exécutées\n"
         "jusqu'au bout, les signaux suivants étant ignorés pendant ce temps, et le\n"
         "journal est gardé : vantrelis-batch --resume reprend la récolte arrêtée.\n"
         "\n"
         "Chaque commande tient un journal de sa table dans $XDG_STATE_HOME/vantrelis\n"
         "(par défaut ~/.local/state/vantrelis) ; il est effacé quand toutes les options\n"
         "ont réussi, et gardé sinon pour --recover, --resume (ou --discard-recovered).\n"
         "\n"
         "Le navigateur de la récolte garde les cookies, le stockage des sites et un cache\n"
         "dans $XDG_DATA_HOME/vantrelis (par défaut ~/.local/share/vantrelis), partagés\n"
         "avec la fenêtre : un consentement donné dans la fenêtre vaut pour la récolte.\n"
         "Quand un autre programme Vantrelis les utilise, la récolte se fait avec un\n"
         "profil privé qui ne garde rien, et --forget-site-data échoue. Les récoltes\n"
         "d'une commande ont ces données de la première à la fin de la dernière :\n"
         "--forget-site-data ne se place pas entre deux récoltes.\n"
         "\n"
         "Statut de sortie : 0 si tout a réussi (des fiches ignorées ne comptent pas\n"
         "comme une erreur), 1 si une option a échoué (les précédentes restent faites ;\n"
         "après un --harvest en erreur les suivantes sont aussi exécutées ; aussi quand\n"
         "il n'y a pas de récolte interrompue à reprendre), 2 si la ligne de commande\n"
         "est invalide ou vide, 3 si le site a arrêté une récolte (les options suivantes\n"
         "sont exécutées), 130 après SIGINT et 143 après SIGTERM.\n";
}

std::string PageTextFromBytes(std::string_view bytes) {
  if (!IsValidUtf8(bytes)) return std::string(bytes);
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
  return Utf8ToWindows1252(bytes);
}

bool AddListingPage(ContactTable& table, std::string_view page) {
  std::optional<Trs> listing = ParseListingPage(page);
  if (!listing) return false;
  try {
    InsertListingRow(table, *listing);
    table.SettleRow();
  } catch (...) {
    table.CancelRow();
    throw;
  }
  return true;
}

}  // namespace batch

namespace {

// What the command line asks for: its steps, or a usage error's text, or
// the help or the version.
struct CommandLine {
  std::vector<Step> steps;
  std::string usageError;
  bool help = false;
  bool version = false;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine command;
  std::vector<Step>& steps = command.steps;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string> inlineValue;
    if (size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      inlineValue = std::string(arg.substr(eq + 1));
      arg = arg.substr(0, eq);
    }
    const CommandOption* option = FindOption(arg);
    if (option == nullptr || (!option->takesArgument && inlineValue)) {
      command.usageError = "vantrelis-batch : option inconnue « " + args[i] + " »";
      return command;
    }
    if (option->action == Action::Help || option->action == Action::Version) {
      (option->action == Action::Help ? command.help : command.version) = true;
      return command;
    }
    Step step{option->action, {}};
    if (option->takesArgument) {
      if (inlineValue) {
        step.argument = *inlineValue;
      } else if (i + 1 < args.size()) {
        step.argument = args[++i];
      } else {
        command.usageError =
            "vantrelis-batch : l'option " + std::string(option->name) + " attend un argument";
        return command;
      }
    }
    steps.push_back(std::move(step));
  }
  // The harvests of a command share one browser, which holds the site data
  // from the first harvest to the end of the last one.
  const auto first = std::find_if(steps.begin(), steps.end(), Harvests);
  const auto last = std::find_if(steps.rbegin(), steps.rend(), Harvests);
  if (first != steps.end() && std::any_of(first, last.base(), [](const Step& step) {
        return step.action == Action::ForgetSiteData;
      })) {
    command.usageError =
        "vantrelis-batch : --forget-site-data ne peut pas se trouver entre deux récoltes (--harvest, "
        "--resume) : leur navigateur garde les données des sites de la première à la fin de la dernière";
  }
  return command;
}

}  // namespace

bool CommandHarvests(const std::vector<std::string>& args) {
  const CommandLine command = ParseCommandLine(args);
  if (command.help || command.version || !command.usageError.empty()) return false;
  return std::any_of(command.steps.begin(), command.steps.end(), Harvests);
}

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const HarvestFunction& harvest) {
  // The whole command line is checked before anything is done.
  const CommandLine command = ParseCommandLine(args);
  if (!command.usageError.empty()) {
    err << command.usageError << "\n\n" << batch::BatchUsage();
    return kBatchUsage;
  }
  if (command.help) {
    out << batch::BatchUsage();
    return kBatchOk;
  }
  if (command.version) {
    out << "vantrelis-batch " VANTRELIS_VERSION "\n";
    return kBatchOk;
  }
  const std::vector<Step>& steps = command.steps;
  // A command without an option would do nothing: the user is told how to use it.
  if (steps.empty()) {
    err << "vantrelis-batch : aucune option, rien à faire\n\n" << batch::BatchUsage();
    return kBatchUsage;
  }
  // A command that harvests takes SIGINT and SIGTERM as a stop request for
  // its whole length: the files it then writes are completed.
  std::optional<StopSignals> stopSignals;
  if (std::any_of(steps.begin(), steps.end(), Harvests)) stopSignals.emplace();
  auto finish = [&](int status) {
    const int signal = StopSignals::Received();
    return stopSignals && signal != 0 ? StopSignals::ExitStatus(signal) : status;
  };

  ContactTable table;
  SessionJournal journal(table, JournalFolder(),
                         [&err](const std::string& message) { err << WithFinalPeriod(message) << '\n'; });
  Session session{journal, {}, static_cast<int32_t>(std::count_if(steps.begin(), steps.end(), Harvests))};
  bool failed = false;
  bool blocked = false;
  for (const Step& step : steps) {
    // Once a stop was asked for, no further harvest starts; the other options run.
    if (Harvests(step) && StopSignals::Received() != 0) {
      err << (step.action == Action::Resume ? "--resume" : "--harvest " + step.argument)
          << " : pas de récolte, l'arrêt a été demandé\n";
      continue;
    }
    std::string failure;
    bool endsCommand = !Harvests(step);
    try {
      Run(table, step, session, harvest, err);
      continue;
    } catch (const HarvestBlocked& e) {
      // The site stopped the harvest: its rows stay, what follows (the
      // exports) still runs, and the journal stays for --resume.
      out.flush();
      err << WithFinalPeriod(e.what()) << '\n';
      blocked = true;
      continue;
    } catch (const CannotStart& e) {
      failure = WithFinalPeriod(e.what());
      endsCommand = true;
    } catch (const std::exception& e) {
      failure = WithFinalPeriod(e.what());
    } catch (...) {
      failure = WithFinalPeriod(kUnexpectedError);
    }
    out.flush();
    err << failure << '\n';
    // A harvest that failed keeps its rows, and what follows (the exports)
    // still runs; any other failure ends the command.
    if (endsCommand) return finish(kBatchFailed);
    failed = true;
  }
  const int status = blocked ? kBatchBlocked : failed ? kBatchFailed : kBatchOk;
  // A harvest stopped by a signal before its last page is paused, not done:
  // its journal stays, so that --resume goes on where it stood.
  const bool paused =
      stopSignals && StopSignals::Received() != 0 && journal.Writing() && journal.HarvestUnfinished();
  if (paused) err << "Le journal de la récolte arrêtée est gardé : vantrelis-batch --resume la reprend.\n";
  if (status == kBatchOk && !paused) {
    // Every option succeeded: the session ends normally. The table's memory
    // is given back while the journal's file is being closed.
    journal.End();
    for (const auto& recovery : session.recovered) recovery->RemoveJournals();
    table.ClearRows();
  }
  return finish(status);
}

}  // namespace vantrelis
