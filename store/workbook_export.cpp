// The workbook export: libxlsxwriter writes the file that SaveFile puts in
// place once it is complete.
#include "store/workbook_export.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <string_view>

#include "text/ascii.h"
#include "text/codepage.h"

namespace vantrelis {
namespace {

// Rows of a worksheet: 1 header row and at most this many data rows.
constexpr lxw_row_t kMaxDataRows = 1048575;

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

// Spreadsheet programs read "_xHHHH_" in a cell text as the character
// U+HHHH; a text that holds such a sequence itself gets its "_" written as
// "_x005F_" so that it reads back unchanged.
void EscapeCharacterCodes(std::string& text) {
  if (text.find("_x") == std::string::npos) return;
  std::string escaped;
  escaped.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && IsAsciiHexDigit(text[i + 2]) &&
        IsAsciiHexDigit(text[i + 3]) && IsAsciiHexDigit(text[i + 4]) && IsAsciiHexDigit(text[i + 5]) &&
        text[i + 6] == '_') {
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

// Keeps what the workbook library prints on stderr (its own English
// "[ERROR]..." lines) from reaching the user while it lives; anything else
// written there meanwhile, by other parts of the program, is passed on
// afterwards.
class LibraryChatterFilter {
 public:
  LibraryChatterFilter() {
    std::fflush(stderr);
    m_capture = ::memfd_create("vantrelis-stderr", MFD_CLOEXEC);
    if (m_capture < 0) return;
    m_saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (m_saved < 0 || ::dup2(m_capture, STDERR_FILENO) < 0) {
      if (m_saved >= 0) ::close(m_saved);
      ::close(m_capture);
      m_capture = m_saved = -1;
    }
  }

  ~LibraryChatterFilter() {
    if (m_capture < 0) return;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
    std::string text;
    char block[4096];
    ssize_t n;
    off_t offset = 0;
    while ((n = ::pread(m_capture, block, sizeof block, offset)) > 0) {
      text.append(block, static_cast<size_t>(n));
      offset += n;
    }
    ::close(m_capture);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      end = end == std::string::npos ? text.size() : end + 1;
      const std::string_view line(text.data() + start, end - start);
      if (!line.starts_with("[ERROR]") && !line.starts_with("[WARNING]")) {
        (void)!::write(STDERR_FILENO, line.data(), line.size());
      }
      start = end;
    }
  }

  LibraryChatterFilter(const LibraryChatterFilter&) = delete;
  LibraryChatterFilter& operator=(const LibraryChatterFilter&) = delete;

 private:
  int m_capture = -1;
  int m_saved = -1;
};

// Owns the workbook until it is closed; closing writes the file.
class Workbook {
 public:
  // Starts the workbook that will be written to `file`'s name; the
  // library's scratch files go into the target's folder.
  Workbook(const std::string& target, const SaveTarget& file) : m_target(target) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = file.folder.empty() ? nullptr : const_cast<char*>(file.folder.c_str());
    options.use_zip64 = LXW_FALSE;
    m_book = workbook_new_opt(file.name.c_str(), &options);
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
  LibraryChatterFilter chatter;
  try {
    SaveFile(path, [&](const SaveTarget& file) { Write(path, file); });
  } catch (const FileError& e) {
    throw WorkbookError(e.what());
  }
}

void DataSetToExcel::Write(const std::string& path, const SaveTarget& file) {
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
}

}  // namespace vantrelis
