#include "store/csv_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <sstream>

#include "store/csv_file_internal.h"
#include "store/stored_row_size.h"

namespace vantrelis {
namespace {

using namespace std::string_literals;

// A private folder under /tmp, removed with its files afterwards.
class CsvFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrelis-csv-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    csv_internal::SetWriteFunction(nullptr);
    csv_internal::SetReadBlockSize(0);
    for (const std::string& name : Files()) ::unlink((m_dir + "/" + name).c_str());
    ::rmdir(m_dir.c_str());
  }

  std::string PathOf(const std::string& name) const { return m_dir + "/" + name; }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(m_dir.c_str())) {
      while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
    }
    return names;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Loads `bytes` into a new table.
  void LoadBytes(ContactTable& table, const std::string& bytes) {
    LoadCsvFile(table, Write("in.csv", bytes));
  }

  std::string m_dir;
};

using Row = std::array<std::optional<std::string>, kFieldCount>;

void AddRow(ContactTable& t, const Row& row) {
  t.AppendRow();
  for (int f = 0; f < kFieldCount; ++f) {
    if (row[static_cast<size_t>(f)]) t.SetFieldText(static_cast<Field>(f), *row[static_cast<size_t>(f)]);
  }
  t.CommitRow();
}

std::vector<Row> RowsOf(const ContactTable& t) {
  std::vector<Row> rows;
  t.ForEachCommittedRow([&](auto value) {
    Row row;
    for (int f = 0; f < kFieldCount; ++f) {
      if (auto v = value(static_cast<Field>(f))) row[static_cast<size_t>(f)] = std::string(*v);
    }
    rows.push_back(row);
  });
  return rows;
}

// Name of each committed row, "-" for no value.
std::string Names(const ContactTable& t) {
  std::string out;
  for (const Row& row : RowsOf(t)) out += (out.empty() ? "" : ",") + row[0].value_or("-");
  return out;
}

const std::string kExample =
    "\"ACME SA\";\"\";\"021 000 00 00\";\"\";;\"Rue du Lac 12\";\"Lausanne\";\"\";\"1000\";\r\n"
    "\"Caf\xe9 \"\"Le Relais\"\"\";;;;\"Boulangerie 100%%\";\"Route 5; b\xe2timent B\";;;;\r\n";

std::vector<Row> ExampleRows() {
  return {
      Row{"ACME SA", "", "021 000 00 00", "", std::nullopt, "Rue du Lac 12", "Lausanne", "", "1000"},
      Row{"Caf\xe9 \"Le Relais\"", std::nullopt, std::nullopt, std::nullopt, "Boulangerie 100%",
          "Route 5; b\xe2timent B", std::nullopt, std::nullopt, std::nullopt},
  };
}

TEST_F(CsvFileTest, WorkedExampleBothWays) {
  ContactTable t;
  for (const Row& row : ExampleRows()) AddRow(t, row);
  SaveCsvFile(t, PathOf("out.csv"));
  EXPECT_EQ(Read(PathOf("out.csv")), kExample);

  ContactTable loaded;
  LoadBytes(loaded, kExample);
  EXPECT_EQ(RowsOf(loaded), ExampleRows());
  EXPECT_EQ(loaded.CurrentRow(), 0);
}

TEST_F(CsvFileTest, EmptyTextsNoValuesAndAnEmptyTable) {
  ContactTable t;
  SaveCsvFile(t, PathOf("empty.csv"));
  EXPECT_EQ(Read(PathOf("empty.csv")), "");

  Row allEmpty;
  allEmpty.fill(std::string());
  AddRow(t, allEmpty);
  AddRow(t, Row{});
  AddRow(t, Row{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                std::nullopt, std::nullopt, "cp only"});
  AddRow(t, Row{"two\r\nlines"});
  SaveCsvFile(t, PathOf("out.csv"));
  EXPECT_EQ(Read(PathOf("out.csv")),
            "\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\r\n;;;;;;;;;\r\n;;;;;;;;\"cp only\";\r\n"
            "\"two%c%nlines\";;;;;;;;;\r\n");
  ContactTable back;
  LoadCsvFile(back, PathOf("out.csv"));
  EXPECT_EQ(RowsOf(back), RowsOf(t));
}

TEST_F(CsvFileTest, LoadingAnEmptyFileStillResetsTheDisplayOrder) {
  ContactTable t;
  for (const char* n : {"A", "B", "C"}) {
    t.InsertRow();
    t.SetFieldText(Field::Name, n);
  }
  t.SettleRow();
  t.MoveLast();
  EXPECT_EQ(Names(t), "C,B,A");
  LoadBytes(t, "");
  EXPECT_EQ(Names(t), "A,B,C");
  EXPECT_EQ(t.CurrentRow(), 0);
}

TEST_F(CsvFileTest, RandomTablesReadBackUnchanged) {
  std::mt19937 random(12345);
  const std::string alphabet = std::string("\"\";%%\r\n\0 aZ\xe9\xff\x80;@c0n\0", 20);
  for (int round = 0; round < 60; ++round) {
    ContactTable t;
    const int rows = static_cast<int>(random() % 40);
    for (int r = 0; r < rows; ++r) {
      Row row;
      for (int f = 0; f < kFieldCount; ++f) {
        const unsigned kind = random() % 4;
        if (kind == 0) continue;  // no value
        std::string text;
        const auto length = static_cast<unsigned>(kind == 1 ? 0 : random() % (kind == 3 ? 250 : 12));
        for (unsigned i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        row[static_cast<size_t>(f)] = text;
      }
      AddRow(t, row);
    }
    // Stored values already cut at NUL and width: those must come back.
    SaveCsvFile(t, PathOf("round.csv"));
    ContactTable back;
    LoadCsvFile(back, PathOf("round.csv"));
    ASSERT_EQ(RowsOf(back), RowsOf(t)) << "round " << round;
  }
}

TEST_F(CsvFileTest, LineBreaksAndBlocks) {
  ContactTable t;
  // LF alone, CR alone, blank lines, NUL, leading breaks and no final break.
  LoadBytes(t, "\r\n\n\"A\";\n\n\"B\";\r\r\"C\";\0\"D\";"s);
  EXPECT_EQ(Names(t), "A,B,C,D");

  // A raw line break inside quotes ends the line there.
  ContactTable split;
  LoadBytes(split, "\"two\r\nlines\";\"x\";\r\n");
  ASSERT_EQ(split.CommittedRowCount(), 2);
  EXPECT_EQ(*RowsOf(split)[0][0], "two");
  EXPECT_EQ(RowsOf(split)[1], (Row{"lines\"", "x"}));

  // Lines spanning the 8192-byte blocks, a break pair split between blocks.
  std::string bytes;
  std::vector<std::string> names;
  for (int i = 0; bytes.size() < 40000; ++i) {
    names.push_back(std::string(static_cast<size_t>(i * 7 % 113), 'n') + std::to_string(i));
    bytes += "\"" + names.back() + "\";\r\n";
  }
  ContactTable big;
  LoadBytes(big, bytes);
  const std::vector<Row> rows = RowsOf(big);
  ASSERT_EQ(rows.size(), names.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(*rows[i][0], names[i].substr(0, 120));
}

TEST_F(CsvFileTest, FieldRulesAsTheyStand) {
  ContactTable t;
  LoadBytes(t,
            "Dupont;Rue Haute 3;2000\r\n"                // unquoted, by position
            "1;2;3;4;5;6;7;8;9;10;11\r\n"                // extra fields ignored
            "\"a\" ;\"b\";\r\n"                          // a space is the delimiter
            "\"100%\";\"x%qy\";\"%c%n%0z\";\"%%\";\r\n"  // a final % goes; %q gives q
            "\"open \"\"quoted\"\" ; to the end\r\n"     // no closing quote
            "say \"hi\";\"\"\"\";;\r\n"                  // quotes in an unquoted field
            "\"" +
                std::string(130, 'N') +
                "\";\r\n"
                "\"%\"\"q\";\"50%\"x;\"z\";100%;a%;b\r\n");  // %"" is a coded quote
  const std::vector<Row> rows = RowsOf(t);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0], (Row{"Dupont", "Rue Haute 3", "2000"}));
  EXPECT_EQ(rows[1][8], "9");
  EXPECT_EQ(rows[2], (Row{"a", std::nullopt, "b"}));
  EXPECT_EQ(rows[3], (Row{"100", "xqy", "\r\n", "%"}));  // NUL cuts the third field
  EXPECT_EQ(rows[4], (Row{"open \"quoted\" ; to the end"}));
  EXPECT_EQ(rows[5], (Row{"say \"hi\"", "\""}));
  EXPECT_EQ(rows[6][0]->size(), 120u);
  EXPECT_EQ(rows[7], (Row{"\"q", "50", std::nullopt, "z", "100", "a", "b"}));  // x was a delimiter
}

TEST_F(CsvFileTest, DefinitionBlockAtTheTopIsSkipped) {
  ContactTable t;
  LoadBytes(t,
            "@@FILE VERSION@@;251\r\n"
            "\"@@TABLEDEF START@@\"\r\n"
            "Name=String,120\r\n"
            "email=String,65\r\n"
            "@@TABLEDEF END@@\r\n"
            "@@INDEXDEF START@@\r\n@@INDEXDEF END@@\r\n"
            "@@file version@@;\r\n"    // case matters: data
            "@@FILE VERSION@@;\r\n");  // below the data: data
  EXPECT_EQ(Names(t), "@@file version@@,@@FILE VERSION@@");

  // A Name equal to a marker is coded on the first line, the only one the
  // reader would skip; every other line is written as it stands.
  ContactTable marker;
  AddRow(marker, Row{"@@TABLEDEF START@@"});
  AddRow(marker, Row{"@@FILE VERSION@@", "x"});
  AddRow(marker, Row{"@@TABLEDEF START@@"});
  AddRow(marker, Row{"B"});
  SaveCsvFile(marker, PathOf("marker.csv"));
  EXPECT_EQ(Read(PathOf("marker.csv")),
            "\"%@@TABLEDEF START@@\";;;;;;;;;\r\n\"@@FILE VERSION@@\";\"x\";;;;;;;;\r\n"
            "\"@@TABLEDEF START@@\";;;;;;;;;\r\n\"B\";;;;;;;;;\r\n");
  ContactTable back;
  LoadCsvFile(back, PathOf("marker.csv"));
  EXPECT_EQ(Names(back), "@@TABLEDEF START@@,@@FILE VERSION@@,@@TABLEDEF START@@,B");

  // A first row without a Name, or with another one, codes nothing.
  ContactTable plain;
  AddRow(plain, Row{std::nullopt, "@@FILE VERSION@@"});
  AddRow(plain, Row{"@@INDEXDEF END@@"});
  SaveCsvFile(plain, PathOf("plain.csv"));
  EXPECT_EQ(Read(PathOf("plain.csv")), ";\"@@FILE VERSION@@\";;;;;;;;\r\n\"@@INDEXDEF END@@\";;;;;;;;;\r\n");
}

TEST_F(CsvFileTest, OpenAndPendingRowsAcrossSaveAndLoad) {
  ContactTable t;
  AddRow(t, Row{"A", "a@x"});
  t.EditRow();
  t.SetFieldText(Field::email, "changed");
  t.InsertRow();  // settles the edit
  t.SetFieldText(Field::Name, "pending");
  SaveCsvFile(t, PathOf("out.csv"));
  EXPECT_EQ(Read(PathOf("out.csv")), "\"A\";\"changed\";;;;;;;;\r\n");
  EXPECT_TRUE(t.IsPendingRow(0));  // a save does not settle
  t.SettleRow();
  t.MoveTo(1);
  t.EditRow();
  t.SetFieldText(Field::email, "unsaved");
  SaveCsvFile(t, PathOf("out.csv"));
  EXPECT_EQ(Read(PathOf("out.csv")), "\"pending\";;;;;;;;;\r\n\"A\";\"changed\";;;;;;;;\r\n");
  t.CancelRow();

  // A load settles a pending row first, then adds the file's rows; twice
  // adds them twice.
  t.InsertRow();
  t.SetFieldText(Field::Name, "P");
  LoadCsvFile(t, PathOf("out.csv"));
  LoadCsvFile(t, PathOf("out.csv"));
  EXPECT_EQ(Names(t), "A,pending,P,pending,A,pending,A");
  EXPECT_EQ(t.CurrentRow(), 0);
}

TEST_F(CsvFileTest, ImportShowsStorageOrderWithReusedSlots) {
  ContactTable t;
  for (const char* n : {"A", "B", "C"}) AddRow(t, Row{n});
  t.MoveTo(1);
  t.DeleteRow();  // B's slot is free
  t.MoveFirst();
  t.InsertRow();
  t.SetFieldText(Field::Name, "Y");  // takes B's slot
  t.CommitRow();
  EXPECT_EQ(Names(t), "Y,A,C");
  SaveCsvFile(t, PathOf("file.csv"));
  LoadCsvFile(t, PathOf("file.csv"));
  EXPECT_EQ(Names(t), "A,Y,C,Y,A,C");
}

TEST_F(CsvFileTest, ErrorsNameTheFile) {
  ContactTable t;
  const std::string missing = PathOf("nope/x.csv");
  try {
    SaveCsvFile(t, missing);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Impossible de créer le fichier " + missing + " : dossier introuvable");
  }
  EXPECT_THROW(SaveCsvFile(t, ""), FileError);
  EXPECT_THROW(SaveCsvFile(t, m_dir), FileError);  // a folder

  t.InsertRow();
  t.SetFieldText(Field::Name, "open");
  try {
    LoadCsvFile(t, missing);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Impossible d'ouvrir le fichier " + missing);
  }
  EXPECT_THROW(LoadCsvFile(t, m_dir), FileError);
  EXPECT_TRUE(t.IsPendingRow(0));  // the table is unchanged, its row still open
  EXPECT_TRUE(Files().empty());
}

// Writes made through FailAfterFirstWrite since the test last set it to 0.
int g_writeCalls = 0;

ssize_t FailAfterFirstWrite(int fd, const void* data, size_t size) {
  if (++g_writeCalls > 1) {
    errno = ENOSPC;
    return -1;
  }
  return ::write(fd, data, size / 2);  // a short write, then the disk is full
}

ssize_t AlwaysFail(int, const void*, size_t) {
  errno = EIO;
  return -1;
}

// A write that takes nothing and says nothing: errno still holds whatever
// an earlier call left there.
ssize_t WritesNothing(int, const void*, size_t) {
  errno = EACCES;
  return 0;
}

TEST_F(CsvFileTest, FailedSaveKeepsTheEarlierFile) {
  ContactTable t;
  AddRow(t, Row{"before"});
  const std::string path = PathOf("keep.csv");
  SaveCsvFile(t, path);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const std::string earlier = Read(path);

  for (int i = 0; i < 30000; ++i) AddRow(t, Row{"row " + std::to_string(i), "mail@example.ch"});
  g_writeCalls = 0;
  csv_internal::SetWriteFunction(&FailAfterFirstWrite);
  try {
    SaveCsvFile(t, path);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Erreur d'écriture dans le flux du fichier " + path + " : disque plein");
  }
  EXPECT_EQ(Read(path), earlier);
  EXPECT_EQ(Files(), std::vector<std::string>{"keep.csv"});  // no temporary left

  // The reason is the failed write's own, not what errno holds later.
  for (const auto& [write, reason] : {std::pair{&AlwaysFail, "erreur d'entrée-sortie du disque"},
                                      std::pair{&WritesNothing, "disque plein"}}) {
    csv_internal::SetWriteFunction(write);
    try {
      SaveCsvFile(t, PathOf("new.csv"));
      ADD_FAILURE();
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Erreur d'écriture dans le flux du fichier " + PathOf("new.csv") + " : " + reason);
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"keep.csv"});
  }

  // Once writing works again the file is replaced, its mode kept.
  csv_internal::SetWriteFunction(nullptr);
  SaveCsvFile(t, path);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_NE(Read(path), earlier);
}

TEST_F(CsvFileTest, NewFileModeAndTargetsThatAreNotRegularFiles) {
  ContactTable t;
  AddRow(t, Row{"A"});
  const mode_t old = ::umask(022);
  SaveCsvFile(t, PathOf("new.csv"));
  ::umask(old);
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("new.csv").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);

  // A symbolic link keeps pointing at the file, which gets the new text.
  ASSERT_EQ(::symlink("new.csv", PathOf("link.csv").c_str()), 0);
  AddRow(t, Row{"B"});
  SaveCsvFile(t, PathOf("link.csv"));
  struct stat link {};
  ASSERT_EQ(::lstat(PathOf("link.csv").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(Read(PathOf("new.csv")), "\"A\";;;;;;;;;\r\n\"B\";;;;;;;;;\r\n");

  // A device is written straight into, and stays what it is.
  SaveCsvFile(t, "/dev/null");
  ASSERT_EQ(::stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// The file format read and written the plain way, a line at a time, to
// hold the streaming reader and the word-at-a-time writer against.
namespace plain {

bool IsMarker(std::string_view text) {
  return text == "@@FILE VERSION@@" || text == "@@TABLEDEF START@@" || text == "@@TABLEDEF END@@" ||
         text == "@@INDEXDEF START@@" || text == "@@INDEXDEF END@@";
}

// One field by the field rules, quotes undone, % codes still in.
std::optional<std::string> RawField(const std::string& line, size_t& pos) {
  if (line[pos] == ';') {
    ++pos;
    return std::nullopt;
  }
  std::string text;
  if (line[pos] != '"') {
    while (pos < line.size() && line[pos] != ';') text += line[pos++];
    ++pos;
    return text;
  }
  for (++pos; pos < line.size(); ++pos) {
    if (line[pos] != '"') {
      text += line[pos];
    } else if (pos + 1 < line.size() && line[pos + 1] == '"') {
      text += '"';
      ++pos;
    } else {
      pos += 2;
      return text;
    }
  }
  return text;
}

std::string Decode(const std::string& raw) {
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '%') {
      text += raw[i];
    } else if (++i < raw.size()) {
      text += raw[i] == 'c' ? '\r' : raw[i] == 'n' ? '\n' : raw[i] == '0' ? '\0' : raw[i];
    }
  }
  return text;
}

std::vector<Row> Read(const std::string& bytes) {
  std::vector<std::string> lines(1);
  for (const char c : bytes) {
    if (c != '\r' && c != '\n' && c != '\0') {
      lines.back() += c;
    } else if (!lines.back().empty()) {
      lines.emplace_back();
    }
  }
  std::vector<Row> rows;
  bool atTop = true;
  bool inTableDef = false;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    if (atTop) {
      size_t pos = 0;
      const std::optional<std::string> first = RawField(line, pos);
      if (first && IsMarker(*first)) {
        if (*first == "@@TABLEDEF START@@") inTableDef = true;
        if (*first == "@@TABLEDEF END@@") inTableDef = false;
        continue;
      }
      if (inTableDef) continue;
      atTop = false;
    }
    Row row;
    size_t pos = 0;
    for (size_t f = 0; f < static_cast<size_t>(kFieldCount) && pos < line.size(); ++f) {
      if (const std::optional<std::string> raw = RawField(line, pos)) {
        std::string text = Decode(*raw);
        text = text.substr(0, text.find('\0'));
        row[f] = text.substr(0, FieldInfoOf(static_cast<Field>(f)).width);
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::string Write(const std::vector<Row>& rows) {
  std::string bytes;
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
      if (f > 0) bytes += ';';
      if (!rows[r][f]) continue;
      bytes += '"';
      if (r == 0 && f == 0 && IsMarker(*rows[r][f])) bytes += '%';
      for (const char c : *rows[r][f]) {
        switch (c) {
          case '%': bytes += "%%"; break;
          case '\r': bytes += "%c"; break;
          case '\n': bytes += "%n"; break;
          case '\0': bytes += "%0"; break;
          case '"': bytes += "\"\""; break;
          default: bytes += c;
        }
      }
      bytes += '"';
    }
    bytes += ";\r\n";
  }
  return bytes;
}

}  // namespace plain

// Random files made of the bytes that matter, lines starting now and then
// with a marker, and runs longer than any field; read in blocks of every
// size that splits them in awkward places.
TEST_F(CsvFileTest, AnyBytesReadAsThePlainReadingDoesInBlocksOfAnySize) {
  std::mt19937 random(2024);
  const std::string alphabet = std::string("\"\"\";;;%%\r\n\0cn0a \xe9@\0", 19);
  const std::vector<std::string> pieces = {"@@TABLEDEF START@@",
                                           "@@TABLEDEF END@@",
                                           "@@FILE VERSION@@",
                                           "\"@@INDEXDEF START@@\";",
                                           std::string(140, 'w'),
                                           "\"\r\n",
                                           "%\"\"",
                                           "\";\"",
                                           ";;;;;;;;;;;"};
  for (int round = 0; round < 400; ++round) {
    std::string bytes;
    const size_t length = random() % (round < 360 ? 120 : 3000);
    while (bytes.size() < length) {
      if (random() % 8 == 0) {
        bytes += pieces[random() % pieces.size()];
      } else {
        bytes += alphabet[random() % alphabet.size()];
      }
    }
    const std::vector<Row> expected = plain::Read(bytes);
    const std::string path = Write("random.csv", bytes);
    for (const size_t block : {1, 2, 3, 7, 16, 17, 31, 64, 0}) {
      csv_internal::SetReadBlockSize(block);
      ContactTable t;
      LoadCsvFile(t, path);
      ASSERT_EQ(RowsOf(t), expected) << "round " << round << ", blocks of " << block;
    }
    // What was read is written exactly as the plain writing does.
    ContactTable t;
    LoadCsvFile(t, path);
    SaveCsvFile(t, PathOf("written.csv"));
    ASSERT_EQ(Read(PathOf("written.csv")), plain::Write(expected)) << "round " << round;
  }
}

// Rows holding coded bytes at every place within and across 16-byte words.
TEST_F(CsvFileTest, CodedBytesAnywhereInARowAreWrittenAsThePlainWritingDoes) {
  std::vector<Row> rows;
  for (const char coded : {'%', '\r', '\n', '"'}) {
    for (size_t at = 0; at < 40; ++at) {
      std::string text(40, 'x');
      text[at] = coded;
      rows.push_back(Row{"a", text.substr(0, 15), std::nullopt, "", text, text.substr(at / 2)});
    }
  }
  rows.push_back(Row{std::string(120, 'n'), std::string(65, 'e'), std::string(15, '0'), std::string(15, '1'),
                     std::string(160, '%'), std::string(200, '"'), std::string(30, '\r'),
                     std::string(140, 's'), std::string(20, '\n')});
  ContactTable t;
  for (const Row& row : rows) AddRow(t, row);
  SaveCsvFile(t, PathOf("coded.csv"));
  EXPECT_EQ(Read(PathOf("coded.csv")), plain::Write(rows));
  ContactTable back;
  LoadCsvFile(back, PathOf("coded.csv"));
  EXPECT_EQ(RowsOf(back), rows);
}

// A line far longer than its fields can keep, with or without a line break
// after it, gives the fields their widths and loses nothing of the next line.
TEST_F(CsvFileTest, LinesLongerThanTheirFieldsKeepTheirWidths) {
  const std::string huge(3 << 20, 'h');
  LoadBytes(*std::make_unique<ContactTable>(), "");
  ContactTable t;
  LoadBytes(t, "\"" + huge + "\";" + huge + ";\"" + huge + "%0" + huge + "\";x;" + huge +
                   "\r\n\"next\";\r\n" + "\"" + huge);
  const std::vector<Row> rows = RowsOf(t);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (Row{std::string(120, 'h'), std::string(65, 'h'), std::string(15, 'h'), "x",
                          std::string(160, 'h')}));
  EXPECT_EQ(rows[1], Row{"next"});
  EXPECT_EQ(rows[2], Row{std::string(120, 'h')});
}

// The lines of a load reach the change log in runs of stored rows, told
// before the next operation, so that replaying the log rebuilds the rows.
TEST_F(CsvFileTest, ALoadTellsTheChangeLogItsRowsInRuns) {
  struct Log : TableChangeLog {
    std::vector<TableEvent> events;
    std::vector<Row> loaded;
    void Record(const TableChange& change) noexcept override {
      events.push_back(change.event);
      if (change.event != TableEvent::RowsLoaded) return;
      const uint8_t* row = change.rows.data();
      for (int32_t i = 0; i < change.rowCount; ++i) {
        Row values;
        for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
          if (const auto v = StoredValue(row, static_cast<Field>(f))) values[f] = std::string(*v);
        }
        loaded.push_back(values);
        row += StoredRowSize(row);
      }
      EXPECT_EQ(row, change.rows.data() + change.rows.size());
    }
  } log;
  ContactTable t;
  AddRow(t, Row{"before"});
  t.SetChangeLog(&log);
  LoadBytes(t, kExample + "\"@@FILE VERSION@@\";\"" + std::string(300, 'z') + "%0z\"");
  t.SetChangeLog(nullptr);
  EXPECT_EQ(log.events,
            (std::vector<TableEvent>{TableEvent::LoadBegun, TableEvent::RowsLoaded, TableEvent::LoadEnded}));
  std::vector<Row> stored = RowsOf(t);
  stored.erase(stored.begin());
  EXPECT_EQ(log.loaded, stored);
  EXPECT_EQ(*log.loaded[2][1], std::string(65, 'z'));
}

}  // namespace
}  // namespace vantrelis
