#include "store/workbook_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "text/codepage.h"

namespace vantrelis {
namespace {

// Rows of a worksheet: 1 header row and at most this many data rows.
constexpr lxw_row_t kMaxDataRows = 1048575;

std::string ErrnoReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "accès refusé";
    case ENOENT: return "dossier introuvable";
    case ENOTDIR: return "un élément du chemin n'est pas un dossier";
    case EISDIR: return "c'est un dossier";
    case ENOSPC: return "disque plein";
    case EDQUOT: return "quota disque dépassé";
    case EROFS: return "système de fichiers en lecture seule";
    case ENAMETOOLONG: return "nom de fichier trop long";
    case EXDEV: return "dossier sur un autre système de fichiers";
    default: return std::strerror(error);
  }
}

std::string LxwReason(lxw_error error) {
  switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED: return "mémoire insuffisante";
    case LXW_ERROR_CREATING_XLSX_FILE: return "le fichier ne peut pas être créé";
    case LXW_ERROR_CREATING_TMPFILE: return "fichier temporaire impossible à créer";
    case LXW_ERROR_READING_TMPFILE: return "fichier temporaire illisible";
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE: return "écriture du fichier impossible (disque plein ?)";
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR: return "erreur interne de compression";
    default: return lxw_strerror(error);
  }
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Spreadsheet programs read "_xHHHH_" in a cell text as the character
// U+HHHH; a text that holds such a sequence itself gets its "_" written as
// "_x005F_" so that it reads back unchanged.
void EscapeCharacterCodes(std::string& text) {
  if (text.find("_x") == std::string::npos) return;
  std::string escaped;
  escaped.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) &&
        IsHex(text[i + 3]) && IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_') {
      escaped += "_x005F_";
    } else {
      escaped += text[i];
    }
  }
  text.swap(escaped);
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw WorkbookError("Impossible d'écrire le classeur " + path + " : " + reason);
}

// The file being written: a temporary file beside the target, renamed over
// it once complete, so that a failure never leaves half a workbook under the
// target's name. A target that exists and is not a regular file (a device)
// is written directly.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path) : m_name(path), m_path(path) {
    if (path.empty()) Fail(path, "nom de fichier vide");
    // A symbolic link stays a link: the file it points to is replaced.
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
      std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
      if (!error) m_path = resolved.string();
    }
    std::filesystem::path target(m_path);
    m_folder = target.parent_path().string();
    if (m_folder.empty()) m_folder = ".";

    struct stat existing {};
    bool exists = ::stat(m_path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) Fail(path, ErrnoReason(EISDIR));
    if (exists && !S_ISREG(existing.st_mode)) {
      m_writePath = m_path;
      return;
    }
    std::string pattern = m_folder + "/.vantrelis-XXXXXX.xlsx.tmp";
    int fd = ::mkstemps(pattern.data(), 9);
    if (fd < 0) Fail(path, ErrnoReason(errno));
    ::close(fd);
    if (exists) {
      m_mode = existing.st_mode & 07777;
    } else {
      mode_t mask = ::umask(0);
      ::umask(mask);
      m_mode = 0666 & ~mask;
    }
    m_writePath = pattern;
    m_temporary = true;
  }

  ~OutputFile() {
    if (m_temporary) ::unlink(m_writePath.c_str());
  }

  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& writePath() const { return m_writePath; }
  const std::string& folder() const { return m_folder; }

  // Puts the finished file under the target's name.
  void Commit() {
    if (!m_temporary) return;
    // The permissions of the file it replaces, or those of a new file.
    ::chmod(m_writePath.c_str(), m_mode);
    if (::rename(m_writePath.c_str(), m_path.c_str()) != 0) Fail(m_name, ErrnoReason(errno));
    m_temporary = false;
  }

 private:
  std::string m_name;  // as the caller gave it, for messages
  std::string m_path;
  std::string m_folder;
  std::string m_writePath;
  mode_t m_mode = 0;
  bool m_temporary = false;
};

// Owns the workbook until it is closed; closing writes the file.
class Workbook {
 public:
  Workbook(const std::string& target, const OutputFile& file) : m_target(target) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(file.folder().c_str());
    options.use_zip64 = LXW_FALSE;
    m_book = workbook_new_opt(file.writePath().c_str(), &options);
    if (m_book == nullptr) Fail(target, LxwReason(LXW_ERROR_MEMORY_MALLOC_FAILED));
    m_sheet = workbook_add_worksheet(m_book, nullptr);
    if (m_sheet == nullptr) {
      Discard();
      Fail(target, LxwReason(LXW_ERROR_CREATING_TMPFILE));
    }
  }

  ~Workbook() { Discard(); }

  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // Writes `text` (Windows-1252) as a text cell; an empty text leaves the
  // cell empty. Never a formula or a number, whatever the text looks like.
  void WriteText(lxw_row_t row, lxw_col_t column, std::string_view text) {
    if (text.empty()) return;
    bool ascii = true;
    for (unsigned char c : text) {
      if (c >= 0x80) {
        ascii = false;
        break;
      }
    }
    if (ascii) {
      m_buffer.assign(text);
    } else {
      m_buffer = Windows1252ToUtf8(text);
    }
    EscapeCharacterCodes(m_buffer);
    lxw_error error = worksheet_write_string(m_sheet, row, column, m_buffer.c_str(), nullptr);
    if (error != LXW_NO_ERROR) Fail(m_target, LxwReason(error));
  }

  // Writes the file; the workbook is gone afterwards, also on failure.
  void Close() {
    lxw_workbook* book = m_book;
    m_book = nullptr;
    lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR) Fail(m_target, LxwReason(error));
  }

 private:
  // Frees the workbook without a usable file: the caller removes it.
  void Discard() {
    if (m_book == nullptr) return;
    workbook_close(m_book);
    m_book = nullptr;
  }

  std::string m_target;
  lxw_workbook* m_book = nullptr;
  lxw_worksheet* m_sheet = nullptr;
  std::string m_buffer;
};

}  // namespace

void DataSetToExcel::Export(const std::string& path) {
  OutputFile file(path);
  Workbook book(path, file);

  // Only once the workbook is ready does the table move: a file that cannot
  // even be started leaves the table as it was.
  DataSet& data = m_dataSet;
  data.First();

  const int32_t fieldCount = data.FieldCount();
  lxw_col_t column = 0;
  for (int32_t i = 0; i < fieldCount; ++i) {
    if (!data.FieldVisible(i)) continue;
    // The display label, or the field's name where the label is empty.
    std::string_view header = data.DisplayLabel(i);
    if (header.empty()) header = data.FieldName(i);
    book.WriteText(0, column++, header);
  }

  lxw_row_t row = 1;
  while (!data.Eof()) {
    if (row > kMaxDataRows) {
      Fail(path, "le tableau dépasse les 1 048 575 lignes d'une feuille de calcul");
    }
    column = 0;
    for (int32_t i = 0; i < fieldCount; ++i) {
      if (!data.FieldVisible(i)) continue;
      std::optional<std::string_view> value = data.FieldText(i);
      if (value) book.WriteText(row, column, *value);
      ++column;
    }
    data.Next();
    ++row;
  }

  book.Close();
  file.Commit();
}

}  // namespace vantrelis
