#include "batch/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "batch/harvesting_program.h"
#include "batch/progress_report.h"
#include "batch/site_data.h"
#include "store/journal_recovery.h"
#include "store/session_journal.h"

namespace vantrelis {
namespace {

namespace fs = std::filesystem;

// A private folder for the command's files, its journals and its site data.
class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrelis-batch-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_root = pattern;
    for (const char* name : {"XDG_STATE_HOME", "XDG_DATA_HOME"}) {
      const char* value = std::getenv(name);
      m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("XDG_STATE_HOME", (m_root + "/state").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : m_saved) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
  }

  int Run(const std::vector<std::string>& args, const HarvestFunction& harvest = {}) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunBatch(args, out, err, harvest);
    m_out = out.str();
    m_err = err.str();
    return status;
  }

  std::vector<std::string> Journals() const {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_root + "/state/vantrelis", error)) {
      paths.push_back(entry.path());
    }
    return paths;
  }

  std::string Path(const std::string& name) const { return m_root + "/" + name; }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string m_root;
  std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
  std::string m_out;
  std::string m_err;
};

// Adds a listing as the harvest does: a pending row, settled by the next.
void AddListing(ContactTable& table, const std::string& name) {
  table.InsertRow();
  table.SetFieldText(Field::Name, name);
}

TEST(CommandHarvests, OnlyAValidCommandLineWithAHarvest) {
  EXPECT_TRUE(CommandHarvests({"--harvest", "demo"}));
  EXPECT_TRUE(CommandHarvests({"--resume", "--export-csv", "b.csv"}));
  EXPECT_TRUE(CommandHarvests({"--forget-site-data", "--harvest", "demo", "--harvest", "demo"}));
  EXPECT_TRUE(CommandHarvests({"--harvest", "demo", "--forget-site-data"}));
  // Between two harvests the site data are held by their browser.
  EXPECT_FALSE(CommandHarvests({"--harvest", "demo", "--forget-site-data", "--resume"}));
  EXPECT_TRUE(CommandHarvests({"--import", "a.csv", "--harvest=http://x/", "--export-csv", "b.csv"}));
  EXPECT_FALSE(CommandHarvests({}));
  EXPECT_FALSE(CommandHarvests({"--import", "a.csv", "--export-csv", "b.csv"}));
  EXPECT_FALSE(CommandHarvests({"--import", "--harvest"}));  // a file named --harvest
  EXPECT_FALSE(CommandHarvests({"--harvest"}));              // usage error: no address
  EXPECT_FALSE(CommandHarvests({"--bogus", "--harvest", "demo"}));
  EXPECT_FALSE(CommandHarvests({"--help", "--harvest", "demo"}));
  EXPECT_FALSE(CommandHarvests({"--clear=1", "--harvest", "demo"}));
}

TEST_F(BatchTest, TheHarvestingProgramIsFoundBesideOrUnderLibexec) {
  const auto make = [](const std::string& path, mode_t mode) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), mode);
  };
  const std::string self = Path("usr/bin/vantrelis-batch");
  make(self, 0755);
  EXPECT_EQ(HarvestingProgramPath(self), "");
  const std::string installed = Path("usr/bin/") + kHarvestingProgramFromBinaries + "/" + kHarvestingProgram;
  make(installed, 0755);
  EXPECT_EQ(HarvestingProgramPath(self), installed);
  EXPECT_TRUE(fs::equivalent(installed, Path("usr/libexec/vantrelis/") + kHarvestingProgram));
  // Beside it, as in the build tree, it comes first; a file that cannot be
  // run does not count.
  const std::string beside = Path("usr/bin/") + kHarvestingProgram;
  make(beside, 0644);
  EXPECT_EQ(HarvestingProgramPath(self), installed);
  ::chmod(beside.c_str(), 0755);
  EXPECT_EQ(HarvestingProgramPath(self), beside);
}

// The harvest is the function given, with the command's journal: the rows
// it makes durable there are on disk, the options after it run, and a
// command that succeeded removes its journal.
TEST_F(BatchTest, AHarvestRunsTheGivenFunctionWithTheCommandsJournal) {
  std::string url;
  std::vector<int32_t> rowsOnDisk;
  const HarvestFunction harvest = [&](ContactTable& table, const HarvestRequest& request,
                                      SessionJournal* journal) {
    url = request.url;
    for (const char* name : {"one", "two", "three"}) {
      AddListing(table, name);
      journal->Sync();  // as the run does after each listing
      const std::vector<std::string> journals = Journals();
      ContactTable rebuilt;
      if (journals.size() == 1 && RebuildFromJournal(journals[0], rebuilt)) {
        rebuilt.SettleRow();
        rowsOnDisk.push_back(rebuilt.CommittedRowCount());
      }
    }
    table.SettleRow();
  };
  EXPECT_EQ(Run({"--harvest", "http://annuaire.example/r", "--export-csv", Path("out.csv")}, harvest),
            kBatchOk)
      << m_err;
  EXPECT_EQ(url, "http://annuaire.example/r");
  EXPECT_EQ(rowsOnDisk, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Read(Path("out.csv")), "\"three\";;;;;;;;;\r\n\"two\";;;;;;;;;\r\n\"one\";;;;;;;;;\r\n");
  EXPECT_TRUE(Journals().empty());
}

// A harvest that fails keeps its rows: the export after it still runs, the
// status says it failed, and the journal stays for --recover.
TEST_F(BatchTest, AFailedHarvestKeepsItsRowsAndItsJournal) {
  const HarvestFunction failing = [](ContactTable& table, const HarvestRequest&, SessionJournal* journal) {
    AddListing(table, "kept");
    journal->Sync();
    table.SettleRow();  // as a harvest that fails does
    throw std::runtime_error("La page de résultats http://x/ ne se charge pas");
  };
  EXPECT_EQ(Run({"--harvest", "http://x/", "--export-csv", Path("after.csv")}, failing), kBatchFailed);
  EXPECT_NE(m_err.find("La page de résultats http://x/ ne se charge pas.\n"), std::string::npos) << m_err;
  EXPECT_EQ(Read(Path("after.csv")), "\"kept\";;;;;;;;;\r\n");
  ASSERT_EQ(Journals().size(), 1u);
  EXPECT_EQ(Run({"--recover", "--export-csv", Path("back.csv")}), kBatchOk) << m_err;
  EXPECT_EQ(Read(Path("back.csv")), "\"kept\";;;;;;;;;\r\n");
  EXPECT_TRUE(Journals().empty());

  // Without a harvest to run, --harvest fails the same way.
  EXPECT_EQ(Run({"--harvest", "demo", "--export-csv", Path("none.csv")}), kBatchFailed);
  EXPECT_NE(m_err.find("La récolte n'est pas disponible"), std::string::npos) << m_err;
  EXPECT_EQ(Read(Path("none.csv")), "");
}

// SIGTERM during a harvest stops it; the options after it still run and
// the command ends with 128 + the signal's number.
TEST_F(BatchTest, AStopSignalDuringAHarvestEndsWithItsStatusAfterTheExports) {
  int32_t harvests = 0;
  bool lastPageDone = false;
  const HarvestFunction stopped = [&](ContactTable& table, const HarvestRequest&, SessionJournal* journal) {
    ++harvests;
    journal->NoteResultPage("http://x/r1");
    AddListing(table, "before the signal");
    journal->Sync();
    if (lastPageDone) journal->NoteHarvestEnded();
    std::raise(SIGTERM);
    table.SettleRow();
  };
  EXPECT_EQ(
      Run({"--harvest", "demo", "--harvest", "http://x/", "--export-csv", Path("stopped.csv")}, stopped),
      128 + SIGTERM);
  EXPECT_EQ(Read(Path("stopped.csv")), "\"before the signal\";;;;;;;;;\r\n");
  // No harvest starts after the signal.
  EXPECT_EQ(harvests, 1);
  EXPECT_NE(m_err.find("--harvest http://x/ : pas de récolte, l'arrêt a été demandé\n"), std::string::npos)
      << m_err;
  // The stopped harvest is paused: its journal stays for --resume.
  EXPECT_NE(m_err.find("gardé : vantrelis-batch --resume la reprend.\n"), std::string::npos) << m_err;
  ASSERT_EQ(Journals().size(), 1u);
  // A signal after the last page stops no harvest: the command ends normally.
  EXPECT_EQ(Run({"--discard-recovered"}, stopped), kBatchOk);
  lastPageDone = true;
  EXPECT_EQ(Run({"--harvest", "demo"}, stopped), 128 + SIGTERM);
  EXPECT_EQ(m_err.find("--resume"), std::string::npos) << m_err;
  EXPECT_TRUE(Journals().empty());
  // Once the command has ended, SIGTERM has its former handler again.
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

// Every --harvest of a command runs, on the one table: a harvest finds the
// rows of those before it, and only the last may let the browser go.
TEST_F(BatchTest, SeveralHarvestsRunInOneCommand) {
  std::vector<std::string> urls;
  std::vector<bool> lasts;
  std::vector<int32_t> rowsFound;
  const HarvestFunction harvest = [&](ContactTable& table, const HarvestRequest& request, SessionJournal*) {
    urls.push_back(request.url);
    lasts.push_back(request.last);
    rowsFound.push_back(table.CommittedRowCount());
    EXPECT_FALSE(request.resume);
    AddListing(table, request.url);
    table.SettleRow();
  };
  EXPECT_EQ(
      Run({"--harvest", "http://a/", "--import", Path("missing.csv"), "--harvest", "http://b/"}, harvest),
      kBatchFailed);
  EXPECT_EQ(urls, std::vector<std::string>{"http://a/"});  // the failed import ends the command
  urls.clear();
  lasts.clear();
  rowsFound.clear();
  EXPECT_EQ(Run({"--harvest", "http://a/", "--export-csv", Path("one.csv"), "--harvest", "http://b/",
                 "--harvest", "http://a/", "--export-csv", Path("all.csv")},
                harvest),
            kBatchOk)
      << m_err;
  EXPECT_EQ(urls, (std::vector<std::string>{"http://a/", "http://b/", "http://a/"}));
  EXPECT_EQ(lasts, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(rowsFound, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(Read(Path("one.csv")), "\"http://a/\";;;;;;;;;\r\n");
  EXPECT_EQ(Read(Path("all.csv")),
            "\"http://a/\";;;;;;;;;\r\n\"http://b/\";;;;;;;;;\r\n\"http://a/\";;;;;;;;;\r\n");
  EXPECT_EQ(Journals().size(), 1u);  // the failed command's only

  // --forget-site-data between two harvests is refused before anything is done.
  urls.clear();
  EXPECT_EQ(Run({"--harvest", "http://a/", "--forget-site-data", "--harvest", "http://b/"}, harvest),
            kBatchUsage);
  EXPECT_TRUE(urls.empty());
  EXPECT_EQ(m_err.rfind("vantrelis-batch : --forget-site-data ne peut pas se trouver entre deux récoltes", 0),
            0u)
      << m_err;
}

// A harvest the site stopped: its message, the options after it (a second
// harvest, the exports), status 3, and the journal kept for --resume,
// which takes its rows back and goes on from the page it stood on.
TEST_F(BatchTest, ABlockedHarvestKeepsItsJournalForResume) {
  const HarvestFunction blocked = [](ContactTable& table, const HarvestRequest& request,
                                     SessionJournal* journal) {
    if (request.url == "http://x/suite") return;
    journal->NoteResultPage("http://x/r2", request.url != "http://x/same");
    for (const char* name : {"one", "two"}) {
      AddListing(table, name);
      journal->Sync();
    }
    table.SettleRow();
    throw HarvestBlocked(
        "Le site demande une vérification : la récolte s'est arrêtée sur la page http://x/f3 (403)");
  };
  EXPECT_EQ(
      Run({"--harvest", "http://x/r1", "--harvest", "http://x/suite", "--export-csv", Path("so-far.csv")},
          blocked),
      kBatchBlocked);
  EXPECT_NE(m_err.find("la récolte s'est arrêtée sur la page http://x/f3 (403)\n"), std::string::npos)
      << m_err;
  EXPECT_EQ(Read(Path("so-far.csv")), "\"two\";;;;;;;;;\r\n\"one\";;;;;;;;;\r\n");
  ASSERT_EQ(Journals().size(), 1u);
  // A failed harvest in the same command does not hide the block.
  const HarvestFunction failing = [](ContactTable&, const HarvestRequest&, SessionJournal*) {
    throw std::runtime_error("La page de résultats http://y/ ne peut pas être lue");
  };
  EXPECT_EQ(Run({"--harvest", "http://y/", "--export-csv", Path("never-mind.csv")}, failing), kBatchFailed);
  ASSERT_EQ(Journals().size(), 2u);  // the failed one's journal stays too, without a harvest's page
  EXPECT_EQ(Run({"--harvest", "http://y/", "--harvest", "http://x/r1"},
                [&](ContactTable& table, const HarvestRequest& request, SessionJournal* journal) {
                  (request.url == "http://y/" ? failing : blocked)(table, request, journal);
                }),
            kBatchBlocked);
  ASSERT_EQ(Journals().size(), 3u);

  // --resume takes the rows of the most recent harvest that was cut short
  // and goes on from its page; the options after it run.
  std::vector<HarvestRequest> requests;
  std::vector<int32_t> rowsFound;
  const HarvestFunction resumed = [&](ContactTable& table, const HarvestRequest& request,
                                      SessionJournal* journal) {
    requests.push_back(request);
    rowsFound.push_back(table.CommittedRowCount());
    AddListing(table, "three");
    journal->Sync();
    table.SettleRow();
  };
  EXPECT_EQ(Run({"--resume", "--export-csv", Path("resumed.csv")}, resumed), kBatchOk) << m_err;
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].url, "http://x/r2");
  EXPECT_TRUE(requests[0].resume);
  EXPECT_TRUE(requests[0].last);
  EXPECT_EQ(rowsFound, std::vector<int32_t>{2});
  EXPECT_NE(
      m_err.find("Reprise de la récolte interrompue : 2 contacts récupérés, suite à la page de résultats "
                 "http://x/r2\n"),
      std::string::npos)
      << m_err;
  EXPECT_EQ(m_err.find("même adresse"), std::string::npos) << m_err;
  EXPECT_EQ(Read(Path("resumed.csv")), "\"three\";;;;;;;;;\r\n\"two\";;;;;;;;;\r\n\"one\";;;;;;;;;\r\n");
  // Its journal is gone with the command's; the other two stay for --recover.
  EXPECT_EQ(Journals().size(), 2u);

  // A site whose result pages share one address: said, and the harvest
  // goes on from the page that address opens.
  EXPECT_EQ(Run({"--harvest", "http://x/same"}, blocked), kBatchBlocked);
  requests.clear();
  EXPECT_EQ(Run({"--resume"}, resumed), kBatchOk) << m_err;
  EXPECT_NE(m_err.find("Les pages de résultats de ce site ont toutes la même adresse"), std::string::npos)
      << m_err;
}

// --resume without a harvest to resume, or without a browser: status 1,
// nothing taken, and the options after it do not run.
TEST_F(BatchTest, ResumeWithoutAnInterruptedHarvestFails) {
  int32_t harvests = 0;
  const HarvestFunction harvest = [&](ContactTable&, const HarvestRequest&, SessionJournal*) { ++harvests; };
  EXPECT_EQ(Run({"--resume", "--export-csv", Path("never.csv")}, harvest), kBatchFailed);
  EXPECT_EQ(m_err.rfind("Aucune récolte interrompue à reprendre", 0), 0u) << m_err;
  EXPECT_FALSE(fs::exists(Path("never.csv")));
  // A session that did not harvest is no harvest to resume: its rows stay
  // for --recover.
  std::ofstream(Path("row.csv")) << "\"imported\";;;;;;;;;\r\n";
  EXPECT_EQ(Run({"--import", Path("row.csv"), "--import", Path("missing.csv")}), kBatchFailed);
  EXPECT_EQ(Run({"--resume", "--export-csv", Path("never.csv")}, harvest), kBatchFailed);
  EXPECT_FALSE(fs::exists(Path("never.csv")));
  EXPECT_EQ(harvests, 0);
  EXPECT_EQ(Run({"--recover", "--export-csv", Path("recovered.csv")}), kBatchOk) << m_err;
  EXPECT_EQ(Read(Path("recovered.csv")), "\"imported\";;;;;;;;;\r\n");

  // In a program without the browser, nothing is taken either.
  const HarvestFunction stopped = [](ContactTable& table, const HarvestRequest&, SessionJournal* journal) {
    journal->NoteResultPage("http://x/r1");
    AddListing(table, "kept");
    journal->Sync();
    table.SettleRow();
    throw HarvestBlocked("bloquée");
  };
  const std::vector<std::string> before = Journals();
  EXPECT_EQ(Run({"--harvest", "http://x/r1"}, stopped), kBatchBlocked);
  std::string blockedJournal;
  for (const std::string& path : Journals()) {
    if (std::find(before.begin(), before.end(), path) == before.end()) blockedJournal = path;
  }
  ASSERT_NE(blockedJournal, "");
  EXPECT_EQ(Run({"--resume", "--export-csv", Path("never.csv")}), kBatchFailed);
  EXPECT_NE(m_err.find("La récolte n'est pas disponible"), std::string::npos) << m_err;
  EXPECT_FALSE(fs::exists(Path("never.csv")));
  EXPECT_EQ(Run({"--resume", "--export-csv", Path("kept.csv")}, harvest), kBatchOk) << m_err;
  EXPECT_EQ(Read(Path("kept.csv")), "\"kept\";;;;;;;;;\r\n");
  EXPECT_FALSE(fs::exists(blockedJournal));
}

// The per-listing lines: on a pipe one per listing, with the run's totals;
// on a terminal one progress line rewritten in place, cut to its width,
// and lines of their own for skipped listings only.
TEST(ProgressReport, LinesOnAPipeAndOneProgressLineOnATerminal) {
  HarvestProgress started;
  started.step = HarvestProgress::Step::ListingStarted;
  started.page = 2;
  started.listing = 3;
  started.count = 5;
  started.added = 2;
  HarvestProgress named = started;
  named.step = HarvestProgress::Step::ListingDone;
  named.name = "Caf\xE9 de la Gare";  // as the harvest reads it: Windows-1252
  named.added = 3;
  named.millisecondsLeft = 4200;
  HarvestProgress skipped = named;
  skipped.listing = 4;
  skipped.name.clear();
  skipped.url = "http://x/f4";
  skipped.skipped = "le serveur a répondu par l'erreur HTTP 404";
  skipped.skippedCount = 1;
  HarvestProgress held = skipped;
  held.listing = 5;
  held.skipped.clear();
  held.alreadyHeld = true;
  held.heldCount = 1;
  held.url = "http://x/f5";
  held.millisecondsLeft.reset();

  const std::string namedLine =
      "Page 2 · fiche 3 sur 5 · 3 ajoutées · encore environ 5 s pour cette page : Café de la Gare";
  const std::string skippedLine =
      "Page 2 · fiche 4 sur 5 · 3 ajoutées · 1 ignorée · encore environ 5 s pour cette page : ignorée, "
      "http://x/f4 : le serveur a répondu par l'erreur HTTP 404";
  const std::string heldLine =
      "Page 2 · fiche 5 sur 5 · 3 ajoutées · 1 ignorée · 1 déjà dans la table : déjà dans la table, passée "
      "(http://x/f5)";
  EXPECT_EQ(ListingLine(named), namedLine);
  EXPECT_EQ(ListingLine(skipped), skippedLine);
  EXPECT_EQ(ListingLine(held), heldLine);

  std::ostringstream pipe;
  {
    ProgressReport report(pipe, false);
    for (const HarvestProgress& p : {started, named, skipped, held}) report.Tell(p);
  }
  EXPECT_EQ(pipe.str(), namedLine + "\n" + skippedLine + "\n" + heldLine + "\n");

  std::ostringstream terminal;
  {
    ProgressReport report(terminal, true, 30);
    for (const HarvestProgress& p : {started, named, skipped, held}) report.Tell(p);
  }
  // 29 characters at most ("·" and "é" are one each).
  EXPECT_EQ(terminal.str(),
            "\r\x1b[KPage 2 · fiche 3 sur 5 · 2 aj"
            "\r\x1b[KPage 2 · fiche 3 sur 5 · 3 aj"
            "\r\x1b[K" +
                skippedLine +
                "\n"
                "\r\x1b[KPage 2 · fiche 5 sur 5 · 3 aj"
                "\r\x1b[K");
}

TEST(ProgressReport, ASiteWaitTellsWhenTheRunTriesAgain) {
  const char* zone = std::getenv("TZ");
  const std::optional<std::string> saved = zone ? std::optional<std::string>(zone) : std::nullopt;
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  HarvestProgress wait;
  wait.step = HarvestProgress::Step::SiteWait;
  wait.url = "http://x/f2";
  wait.waitMilliseconds = 61'500;
  // 1 January 2026, 09:59:30 UTC.
  EXPECT_EQ(SiteWaitText(wait, 1767261570), "Le site limite les requêtes : nouvel essai à 10:00:32");
  if (saved) {
    ::setenv("TZ", saved->c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  std::ostringstream pipe;
  ProgressReport(pipe, false).Tell(wait);
  EXPECT_EQ(pipe.str().rfind("Le site limite les requêtes : nouvel essai à ", 0), 0u) << pipe.str();
  EXPECT_NE(pipe.str().find(" (http://x/f2)\n"), std::string::npos) << pipe.str();
}

TEST_F(BatchTest, TheSiteDataFollowXdgDataHomeOrTheHomeFolder) {
  EXPECT_EQ(SiteDataFolder(), m_root + "/data/vantrelis");
  ::setenv("XDG_DATA_HOME", "relative/data", 1);  // not absolute: ignored
  EXPECT_EQ(SiteDataFolder(), std::string(std::getenv("HOME")) + "/.local/share/vantrelis");
}

// One holder of the site data at a time, in this process or another; the
// folder is made private, and one that cannot be made is said.
TEST_F(BatchTest, TheSiteDataHaveOneHolderAtATime) {
  const std::string folder = Path("data/vantrelis");
  {
    const SiteDataLock first(folder + "/");
    ASSERT_TRUE(first.Held()) << first.Problem();
    EXPECT_EQ(first.Folder(), folder);
    EXPECT_EQ(first.Problem(), "");
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const SiteDataLock second(folder);
    EXPECT_EQ(second.state(), SiteDataLock::State::Busy);
    EXPECT_EQ(second.Problem(),
              "Les données des sites de " + folder + " sont utilisées par un autre programme Vantrelis");
  }
  EXPECT_TRUE(SiteDataLock(folder).Held());

  std::ofstream(Path("fichier")) << "un fichier, pas un dossier";
  const SiteDataLock blocked(Path("fichier/vantrelis"));
  EXPECT_EQ(blocked.state(), SiteDataLock::State::Failed);
  EXPECT_EQ(blocked.Problem(), "Impossible de préparer le dossier des données des sites " +
                                   Path("fichier/vantrelis") +
                                   " (un élément du chemin n'est pas un dossier)");
}

// --forget-site-data empties the folder but its lock, and refuses while
// another program has it.
TEST_F(BatchTest, ForgettingTheSiteDataEmptiesTheirFolderUnlessInUse) {
  const std::string folder = Path("data/vantrelis");
  EXPECT_EQ(Run({"--forget-site-data"}), kBatchOk) << m_err;
  EXPECT_EQ(m_err, "Aucune donnée de site à effacer dans " + folder + "\n");
  EXPECT_FALSE(fs::exists(folder));

  fs::create_directories(folder + "/Cache/Cache_Data");
  std::ofstream(folder + "/Cookies") << "consentement";
  std::ofstream(folder + "/Cache/Cache_Data/index") << "page";
  {
    const SiteDataLock window(folder);
    ASSERT_TRUE(window.Held());
    EXPECT_EQ(Run({"--forget-site-data", "--export-csv", Path("never.csv")}), kBatchFailed);
    EXPECT_EQ(m_err, "Les données des sites de " + folder +
                         " sont utilisées par un autre programme Vantrelis : fermez-le, puis recommencez.\n");
    EXPECT_TRUE(fs::exists(folder + "/Cookies"));
    EXPECT_FALSE(fs::exists(Path("never.csv")));
  }
  EXPECT_EQ(Run({"--forget-site-data"}), kBatchOk) << m_err;
  EXPECT_EQ(m_err, "Données des sites effacées dans " + folder + "\n");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{kSiteDataLockName});
}

// --discard-recovered removes the journals of interrupted sessions and tells
// what went with them; a session still running keeps its own.
TEST_F(BatchTest, DiscardRecoveredRemovesLeftBehindJournalsOnPurpose) {
  const HarvestFunction interrupted = [](ContactTable& table, const HarvestRequest&,
                                         SessionJournal* journal) {
    for (const char* name : {"one", "two"}) {
      AddListing(table, name);
      journal->Sync();
    }
    throw std::runtime_error("La page de résultats http://x/ ne se charge pas");
  };
  EXPECT_EQ(Run({"--harvest", "http://x/"}, interrupted), kBatchFailed);
  EXPECT_EQ(Run({"--parse", Path("missing.html")}), kBatchFailed);
  ASSERT_EQ(Journals().size(), 2u);

  ContactTable running;
  SessionJournal runningJournal(running, m_root + "/state/vantrelis");
  runningJournal.Sync();
  EXPECT_EQ(Run({"--discard-recovered", "--export-csv", Path("after.csv")}), kBatchOk) << m_err;
  EXPECT_EQ(m_err, "Supprimé : 2 contacts de 2 sessions interrompues\n");
  EXPECT_EQ(Read(Path("after.csv")), "");  // the rows are not taken into the table
  ASSERT_EQ(Journals().size(), 1u);
  EXPECT_EQ(fs::path(Journals()[0]).filename(), fs::path(runningJournal.Path()).filename());
  EXPECT_EQ(Run({"--discard-recovered"}), kBatchOk);
  EXPECT_EQ(m_err, "Aucune session interrompue à supprimer\n");
  runningJournal.End();
}

// --version and --help answer alone; a command line without an option is
// a usage error, told on the error output.
TEST_F(BatchTest, VersionHelpAndAnEmptyCommandLine) {
  EXPECT_EQ(Run({"--version", "--export-csv", Path("never.csv")}), kBatchOk);
  EXPECT_EQ(m_out, std::string("vantrelis-batch ") + VANTRELIS_VERSION + "\n");
  EXPECT_EQ(m_err, "");
  EXPECT_FALSE(fs::exists(Path("never.csv")));
  EXPECT_EQ(Run({"--version=1"}), kBatchUsage);
  EXPECT_FALSE(CommandHarvests({"--version", "--harvest", "demo"}));
  EXPECT_EQ(Run({}), kBatchUsage);
  EXPECT_EQ(m_out, "");
  EXPECT_EQ(m_err.rfind("vantrelis-batch : aucune option, rien à faire\n\nUtilisation :", 0), 0u) << m_err;
  EXPECT_TRUE(Journals().empty());
}

}  // namespace
}  // namespace vantrelis
