#include "batch/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "batch/harvesting_program.h"
#include "store/session_journal.h"

namespace vantrelis {
namespace {

namespace fs = std::filesystem;

// A private folder for the command's files and its journals.
class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrelis-batch-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_root = pattern;
    const char* state = std::getenv("XDG_STATE_HOME");
    m_savedState = state ? std::optional<std::string>(state) : std::nullopt;
    ::setenv("XDG_STATE_HOME", (m_root + "/state").c_str(), 1);
  }
  void TearDown() override {
    if (m_savedState) {
      ::setenv("XDG_STATE_HOME", m_savedState->c_str(), 1);
    } else {
      ::unsetenv("XDG_STATE_HOME");
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
  std::optional<std::string> m_savedState;
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
  const std::string installed =
      Path("usr/bin/") + kHarvestingProgramFromBinaries + "/" + kHarvestingProgram;
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

// The harvest is the function given: every listing's row is on disk in the
// journal before the next listing, the options after it run, and a
// command that succeeded removes its journal.
TEST_F(BatchTest, AHarvestRunsTheGivenFunctionWithEachRowMadeDurable) {
  std::string url;
  std::vector<int32_t> rowsOnDisk;
  const HarvestFunction harvest = [&](ContactTable& table, const std::string& address,
                                      const std::function<void()>& afterListing) {
    url = address;
    for (const char* name : {"one", "two", "three"}) {
      AddListing(table, name);
      afterListing();
      const std::vector<std::string> journals = Journals();
      ContactTable rebuilt;
      if (journals.size() == 1 && RebuildFromJournal(journals[0], rebuilt)) {
        rebuilt.SettleRow();
        rowsOnDisk.push_back(rebuilt.CommittedRowCount());
      }
    }
    table.SettleRow();
  };
  EXPECT_EQ(Run({"--harvest", "http://annuaire.example/r", "--export-csv", Path("out.csv")}, harvest), kBatchOk)
      << m_err;
  EXPECT_EQ(url, "http://annuaire.example/r");
  EXPECT_EQ(rowsOnDisk, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Read(Path("out.csv")), "\"three\";;;;;;;;;\r\n\"two\";;;;;;;;;\r\n\"one\";;;;;;;;;\r\n");
  EXPECT_TRUE(Journals().empty());
}

// A harvest that fails keeps its rows: the export after it still runs, the
// status says it failed, and the journal stays for --recover.
TEST_F(BatchTest, AFailedHarvestKeepsItsRowsAndItsJournal) {
  const HarvestFunction failing = [](ContactTable& table, const std::string&, const std::function<void()>& after) {
    AddListing(table, "kept");
    after();
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
  const HarvestFunction stopped = [](ContactTable& table, const std::string&, const std::function<void()>& after) {
    AddListing(table, "before the signal");
    after();
    std::raise(SIGTERM);
    table.SettleRow();
  };
  EXPECT_EQ(Run({"--harvest", "demo", "--export-csv", Path("stopped.csv")}, stopped), 128 + SIGTERM);
  EXPECT_EQ(Read(Path("stopped.csv")), "\"before the signal\";;;;;;;;;\r\n");
  // Once the command has ended, SIGTERM has its former handler again.
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

// --discard-recovered removes the journals of interrupted sessions and tells
// what went with them; a session still running keeps its own.
TEST_F(BatchTest, DiscardRecoveredRemovesLeftBehindJournalsOnPurpose) {
  const HarvestFunction interrupted = [](ContactTable& table, const std::string&,
                                         const std::function<void()>& after) {
    for (const char* name : {"one", "two"}) {
      AddListing(table, name);
      after();
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
