// The safe save of both exports under faults: a kill mid-way, a full disk,
// read-only folders and files, files of other users. Each case starts from
// an earlier file that must stay whole.
#include "store/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "child_process.h"
#include "store/csv_file.h"
#include "store/workbook_export.h"

namespace vantrelis {
namespace {

namespace fs = std::filesystem;
using test_support::ChildResult;
using test_support::RunInChild;

class SaveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrelis-save-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
    ::chmod(m_dir.c_str(), 0755);
  }
  void TearDown() override {
    save_internal::SetUnnamedFilesDisabled(false);
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  std::string Path(const std::string& name) const { return m_dir + "/" + name; }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  static std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Gives a file or folder to the user the child runs as (nobody, when the
  // tests run as root; the tests' own user otherwise).
  static void GiveToOrdinaryUser(const std::string& path) {
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(path.c_str(), test_support::kNobody, test_support::kNoGroup), 0);
    }
  }

  std::string m_dir;
};

void AddRows(ContactTable& table, int rows) {
  for (int i = 0; i < rows; ++i) {
    table.AppendRow();
    table.SetFieldText(Field::Name, "Contact num\xe9ro " + std::to_string(i));
    table.SetFieldText(Field::email, "contact" + std::to_string(i) + "@example.ch");
    table.SetFieldText(Field::adress1, std::string(150, 'a'));
    table.CommitRow();
  }
}

// Kills a save with SIGKILL while it writes; `unnamed` chooses how the new
// file is made.
void KillWhileWriting(const std::string& path, bool unnamed) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    save_internal::SetUnnamedFilesDisabled(!unnamed);
    SaveFile(path, [&](const SaveTarget& target) {
      (void)!::write(target.fd, "half of the new", 15);
      (void)!::write(ready[1], "x", 1);
      for (;;) ::pause();
    });
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(WIFSIGNALED(status));
}

TEST_F(SaveFileTest, TheNewFileHasNoNameUntilCompleteAndAKilledSaveLeavesNothing) {
  const std::string path = Path("contacts.csv");
  Write(path, "earlier\r\n");
  SaveFile(path, [&](const SaveTarget& target) {
    EXPECT_EQ(Names(m_dir), std::vector<std::string>{"contacts.csv"});
    EXPECT_EQ(Read(path), "earlier\r\n");
    // The name given to libraries opens the very file being written.
    const int other = ::open(target.name.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::write(other, "new\r\n", 5), 5);
    ::close(other);
  });
  EXPECT_EQ(Read(path), "new\r\n");

  KillWhileWriting(path, true);
  EXPECT_EQ(Names(m_dir), std::vector<std::string>{"contacts.csv"});
  EXPECT_EQ(Read(path), "new\r\n");

  // Without unnamed files, the temporary name a killed save leaves behind is
  // removed by the next save into the folder, whose writer is gone.
  KillWhileWriting(path, false);
  EXPECT_EQ(Names(m_dir).size(), 2u);
  EXPECT_EQ(Read(path), "new\r\n");
  save_internal::SetUnnamedFilesDisabled(true);
  ContactTable table;
  AddRows(table, 1);
  SaveCsvFile(table, Path("other.csv"));
  EXPECT_EQ((Names(m_dir)), (std::vector<std::string>{"contacts.csv", "other.csv"}));
  SaveCsvFile(table, path);
  EXPECT_EQ(Read(path), Read(Path("other.csv")));
  EXPECT_EQ(Names(m_dir).size(), 2u);
}

TEST_F(SaveFileTest, AFullDiskKeepsTheEarlierFilesWholeAndTellsWhyInFrench) {
  const std::string disk = Path("disk");
  fs::create_directory(disk);
  const ChildResult child = RunInChild([&]() -> std::string {
    if (std::string why = test_support::MountSmallDisk(disk, 512); !why.empty()) return why;
    // What the process prints on stderr meanwhile goes to a file.
    const std::string errors = m_dir + "/stderr.txt";
    const int log = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(log, STDERR_FILENO);
    ContactTable small;
    AddRows(small, 3);
    SaveCsvFile(small, disk + "/out.csv");
    DataSetToExcel(small).Export(disk + "/out.xlsx");
    const std::string csvBefore = Read(disk + "/out.csv");
    const std::string xlsxBefore = Read(disk + "/out.xlsx");
    ContactTable big;
    AddRows(big, 5000);
    std::string report;
    try {
      SaveCsvFile(big, disk + "/out.csv");
      report += "csv saved;";
    } catch (const FileError& e) {
      report += std::string(e.what()) + ";";
    }
    try {
      DataSetToExcel(big).Export(disk + "/out.xlsx");
      report += "xlsx saved;";
    } catch (const WorkbookError& e) {
      report += std::string(e.what()) + ";";
    }
    if (Read(disk + "/out.csv") != csvBefore) report += "csv changed;";
    if (Read(disk + "/out.xlsx") != xlsxBefore) report += "xlsx changed;";
    for (const std::string& name : Names(disk)) report += "[" + name + "]";
    report += Read(errors).find("[ERROR]") != std::string::npos ? "library chatter" : "quiet";
    return report;
  });
  if (child.Skipped()) GTEST_SKIP() << child.report;
  EXPECT_EQ(child.report, "Erreur d'écriture dans le flux du fichier " + disk + "/out.csv : disque plein;" +
                              "Impossible d'écrire le classeur " + disk +
                              "/out.xlsx : écriture du fichier impossible (disque plein ?);" +
                              "[out.csv][out.xlsx]quiet");
}

TEST_F(SaveFileTest, ReadOnlyFoldersAndFilesAreRefusedByBothExports) {
  // A folder the user may not write to, holding files the user may write.
  const std::string locked = Path("locked");
  fs::create_directory(locked);
  ::chmod(locked.c_str(), 0755);
  // A folder of the user's, holding files that are read-only.
  const std::string own = Path("own");
  fs::create_directory(own);
  GiveToOrdinaryUser(own);
  for (const std::string& file : {locked + "/a.csv", locked + "/a.xlsx", own + "/b.csv", own + "/b.xlsx"}) {
    Write(file, "earlier " + file);
    GiveToOrdinaryUser(file);
    ::chmod(file.c_str(), file.starts_with(own) ? 0444 : 0644);
  }
  const ChildResult child = RunInChild([&]() -> std::string {
    if (std::string why = test_support::BecomeOrdinaryUser(); !why.empty()) return why;
    ContactTable table;
    AddRows(table, 2);
    std::string report;
    for (const std::string& file : {locked + "/a.csv", own + "/b.csv"}) {
      try {
        SaveCsvFile(table, file);
        report += "saved " + file + ";";
      } catch (const FileError& e) {
        report += std::string(e.what()) + ";";
      }
    }
    for (const std::string& file : {locked + "/a.xlsx", own + "/b.xlsx"}) {
      try {
        DataSetToExcel(table).Export(file);
        report += "saved " + file + ";";
      } catch (const WorkbookError& e) {
        report += std::string(e.what()) + ";";
      }
    }
    return report;
  });
  if (child.Skipped()) GTEST_SKIP() << child.report;
  EXPECT_EQ(child.report, "Impossible de créer le fichier " + locked + "/a.csv : accès refusé;" +
                              "Impossible de créer le fichier " + own + "/b.csv : fichier en lecture seule;" +
                              "Impossible de créer le fichier " + locked + "/a.xlsx : accès refusé;" +
                              "Impossible de créer le fichier " + own +
                              "/b.xlsx : fichier en lecture seule;");
  for (const std::string& file : {locked + "/a.csv", locked + "/a.xlsx", own + "/b.csv", own + "/b.xlsx"}) {
    EXPECT_EQ(Read(file), "earlier " + file);
  }
  EXPECT_EQ(Names(locked).size(), 2u);
  EXPECT_EQ(Names(own).size(), 2u);
}

TEST_F(SaveFileTest, OwnerGroupAndModeAreKeptOrTheSaveIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving files to another user needs root";
  ContactTable table;
  AddRows(table, 2);
  // Root saves over files of another user: they stay that user's.
  for (const std::string& file : {Path("theirs.csv"), Path("theirs.xlsx")}) {
    Write(file, "earlier");
    ASSERT_EQ(::chown(file.c_str(), test_support::kNobody, test_support::kNoGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  }
  SaveCsvFile(table, Path("theirs.csv"));
  DataSetToExcel(table).Export(Path("theirs.xlsx"));
  for (const std::string& file : {Path("theirs.csv"), Path("theirs.xlsx")}) {
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, test_support::kNobody) << file;
    EXPECT_EQ(info.st_gid, test_support::kNoGroup) << file;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << file;
    EXPECT_NE(Read(file), "earlier");
  }

  // An ordinary user may write root's file but could not give it back to
  // root: the save is refused rather than take the file away from its owner.
  const std::string shared = Path("shared");
  fs::create_directory(shared);
  GiveToOrdinaryUser(shared);
  Write(shared + "/root.csv", "root's");
  ::chmod((shared + "/root.csv").c_str(), 0666);
  const ChildResult child = RunInChild([&]() -> std::string {
    if (std::string why = test_support::BecomeOrdinaryUser(); !why.empty()) return why;
    SaveCsvFile(table, shared + "/root.csv");
    return "saved";
  });
  EXPECT_EQ(child.report, "exception: Impossible de créer le fichier " + shared +
                              "/root.csv : son propriétaire et son groupe ne pourraient pas être conservés");
  EXPECT_EQ(Read(shared + "/root.csv"), "root's");
}

TEST_F(SaveFileTest, LinksAreWrittenThroughAsOpeningTheNameWould) {
  ContactTable table;
  AddRows(table, 1);
  fs::create_directory(Path("real"));
  Write(Path("real/book.xlsx"), "earlier");
  ASSERT_EQ(::symlink("real/book.xlsx", Path("book.xlsx").c_str()), 0);
  DataSetToExcel(table).Export(Path("book.xlsx"));
  EXPECT_TRUE(fs::is_symlink(Path("book.xlsx")));
  EXPECT_TRUE(Read(Path("real/book.xlsx")).starts_with("PK"));

  // A link to a file not there yet creates that file, in the link's folder
  // for a relative link.
  ASSERT_EQ(::symlink("real/new.csv", Path("new.csv").c_str()), 0);
  SaveCsvFile(table, Path("new.csv"));
  EXPECT_TRUE(fs::is_symlink(Path("new.csv")));
  EXPECT_FALSE(Read(Path("real/new.csv")).empty());

  // A folder is no file to save into.
  EXPECT_THROW(SaveCsvFile(table, Path("real")), FileError);
  EXPECT_EQ(Names(Path("real")), (std::vector<std::string>{"book.xlsx", "new.csv"}));
}

}  // namespace
}  // namespace vantrelis
