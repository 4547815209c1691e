// The semicolon-separated contact file. Saving goes through SaveFile, so that
// a failed save leaves the earlier file intact.
#include "store/csv_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "store/csv_file_internal.h"

namespace vantrelis {
namespace {

csv_internal::WriteFunction g_write = nullptr;

constexpr const char* kWriteError = "Erreur d'écriture dans le flux";
constexpr const char* kReadError = "Erreur de lecture dans le flux";
std::string OpenError(const std::string& path) { return "Impossible d'ouvrir le fichier " + path; }

// First fields that mark the lines of a definition block at the top of a file.
constexpr std::string_view kFileVersion = "@@FILE VERSION@@";
constexpr std::string_view kTableDefStart = "@@TABLEDEF START@@";
constexpr std::string_view kTableDefEnd = "@@TABLEDEF END@@";
constexpr std::string_view kIndexDefStart = "@@INDEXDEF START@@";
constexpr std::string_view kIndexDefEnd = "@@INDEXDEF END@@";

bool IsBlockMarker(std::string_view text) {
  return text == kFileVersion || text == kTableDefStart || text == kTableDefEnd ||
         text == kIndexDefStart || text == kIndexDefEnd;
}

class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  // Closes now; false when close(2) reports an error.
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int m_fd;
};

// Buffered output through the write seam; throws FileError on failure.
class Output {
 public:
  explicit Output(int fd) : m_fd(fd) { m_buffer.reserve(kFlushAt + 1024); }
  std::string& buffer() { return m_buffer; }
  void MaybeFlush() {
    if (m_buffer.size() >= kFlushAt) Flush();
  }
  void Flush() {
    const char* data = m_buffer.data();
    size_t left = m_buffer.size();
    while (left > 0) {
      const ssize_t n = g_write ? g_write(m_fd, data, left) : ::write(m_fd, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw FileError(kWriteError);
      data += n;
      left -= static_cast<size_t>(n);
    }
    m_buffer.clear();
  }

 private:
  static constexpr size_t kFlushAt = 1 << 20;
  int m_fd;
  std::string m_buffer;
};

// Bytes that a written field codes: %, CR, LF, NUL, and " (doubled).
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  special['%'] = special['\r'] = special['\n'] = special['\0'] = special['"'] = true;
  return special;
}();

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!kSpecial[static_cast<unsigned char>(c)]) continue;
    out.append(text.data() + start, i - start);
    switch (c) {
      case '%': out += "%%"; break;
      case '\r': out += "%c"; break;
      case '\n': out += "%n"; break;
      case '\0': out += "%0"; break;
      default: out += "\"\""; break;
    }
    start = i + 1;
  }
  out.append(text.data() + start, text.size() - start);
  out += '"';
}

// Writes every committed row, in display order, as the file's lines to `fd`
// through the write seam. Throws FileError when a write fails.
void WriteCsvRows(const ContactTable& table, int fd) {
  Output output(fd);
  table.ForEachCommittedRow([&](auto value) {
    std::string& line = output.buffer();
    for (int32_t f = 0; f < kFieldCount; ++f) {
      if (f > 0) line += ';';
      const std::optional<std::string_view> text = value(static_cast<Field>(f));
      if (!text) continue;
      // A Name equal to a definition-block marker would make the reader skip
      // the line (and, for a table definition start, the lines after it);
      // its first byte is written coded ("%@" reads back as "@").
      if (f == 0 && IsBlockMarker(*text)) {
        line += "\"%";
        line.append(*text);
        line += '"';
        continue;
      }
      AppendQuoted(line, *text);
    }
    line += ";\r\n";
    output.MaybeFlush();
  });
  output.Flush();
}

// Field reading state for one load.
class Reader {
 public:
  explicit Reader(ContactTable& table) : m_table(table) {}

  // Takes the next block of the file; a line may continue in the next block.
  void Feed(const char* data, size_t size) {
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
      const char* q = FindBreak(p, end);
      if (q == end) {
        m_carry.append(p, static_cast<size_t>(end - p));
        return;
      }
      if (m_carry.empty()) {
        Line(std::string_view(p, static_cast<size_t>(q - p)));
      } else {
        m_carry.append(p, static_cast<size_t>(q - p));
        Line(m_carry);
        m_carry.clear();
      }
      p = q + 1;
    }
  }

  // The last line needs no line break after it.
  void Finish() {
    if (!m_carry.empty()) Line(m_carry);
    m_carry.clear();
  }

 private:
  static bool IsBreak(char c) { return c == '\n' || c == '\r' || c == '\0'; }

  // The first CR, LF or NUL in [p, end), or end. Skips eight bytes at a time
  // while none of them is below 14.
  static const char* FindBreak(const char* p, const char* end) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighs = 0x8080808080808080ULL;
    while (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (((word - kOnes * 14) & ~word & kHighs) != 0) break;
      p += 8;
    }
    while (p < end && !IsBreak(*p)) ++p;
    return p;
  }

  // Reads one field at `pos` by the field rules (quotes undone, % codes
  // still in); nullopt for a field with no value. Moves `pos` past the
  // field's delimiter, possibly beyond the end of the line.
  // A field whose text needs unquoting is built in `unquoted`.
  static std::optional<std::string_view> ReadField(std::string_view line, size_t& pos, std::string& unquoted) {
    const char c = line[pos];
    if (c == ';') {
      ++pos;
      return std::nullopt;
    }
    if (c != '"') {
      const size_t semi = line.find(';', pos);
      const size_t stop = semi == std::string_view::npos ? line.size() : semi;
      const std::string_view text = line.substr(pos, stop - pos);
      pos = stop + 1;
      return text;
    }
    size_t from = pos + 1;
    const size_t first = line.find('"', from);
    if (first != std::string_view::npos && (first + 1 == line.size() || line[first + 1] != '"')) {
      pos = first + 2;  // the byte after the closing quote is the delimiter
      return line.substr(from, first - from);
    }
    unquoted.clear();
    for (;;) {
      const size_t quote = line.find('"', from);
      if (quote == std::string_view::npos) {
        // No closing quote: the field keeps the rest of the line.
        unquoted.append(line.substr(from));
        pos = line.size();
        return std::string_view(unquoted);
      }
      unquoted.append(line.substr(from, quote - from));
      if (quote + 1 < line.size() && line[quote + 1] == '"') {
        unquoted += '"';
        from = quote + 2;
        continue;
      }
      pos = quote + 2;
      return std::string_view(unquoted);
    }
  }

  // Undoes the % coding: %% %c %n %0, any other %x gives x, a final % goes.
  // The text is kept in `decoded` (or is `raw` itself, when nothing is coded).
  static std::string_view Decode(std::string_view raw, std::string& decoded) {
    if (raw.find('%') == std::string_view::npos) return raw;
    decoded.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      if (c != '%') {
        decoded += c;
        continue;
      }
      if (++i == raw.size()) break;
      switch (raw[i]) {
        case 'c': decoded += '\r'; break;
        case 'n': decoded += '\n'; break;
        case '0': decoded += '\0'; break;
        default: decoded += raw[i]; break;
      }
    }
    return decoded;
  }

  // True while `line` belongs to a definition block at the top of the file.
  bool SkipDefinition(std::string_view line) {
    size_t pos = 0;
    const std::optional<std::string_view> first = ReadField(line, pos, m_raw[0]);
    if (first && IsBlockMarker(*first)) {
      if (*first == kTableDefStart) m_inTableDef = true;
      if (*first == kTableDefEnd) m_inTableDef = false;
      return true;
    }
    return m_inTableDef;
  }

  void Line(std::string_view line) {
    if (line.empty()) return;  // a run of line-break bytes is one break
    if (m_atTop) {
      if (SkipDefinition(line)) return;
      m_atTop = false;
    }
    RowValues values;
    size_t pos = 0;
    for (int32_t f = 0; f < kFieldCount && pos < line.size(); ++f) {
      const auto text = ReadField(line, pos, m_raw[static_cast<size_t>(f)]);
      if (text) values[static_cast<size_t>(f)] = Decode(*text, m_decoded[static_cast<size_t>(f)]);
    }
    m_table.LoadRow(values);
  }

  ContactTable& m_table;
  std::string m_carry;
  // Per field: its unquoted text and its decoded text, where these need a copy.
  std::array<std::string, kFieldCount> m_raw;
  std::array<std::string, kFieldCount> m_decoded;
  bool m_atTop = true;
  bool m_inTableDef = false;
};

}  // namespace

namespace csv_internal {
void SetWriteFunction(WriteFunction function) { g_write = function; }
}  // namespace csv_internal

void SaveCsvFile(const ContactTable& table, const std::string& path) {
  SaveFile(path, [&](const SaveTarget& target) {
    try {
      WriteCsvRows(table, target.fd);
    } catch (const FileError&) {
      // The write that failed left its reason in errno.
      const int error = errno;
      throw FileError("Erreur d'écriture dans le flux du fichier " + path + " : " + FileErrorReason(error));
    }
  });
}

void LoadCsvFile(ContactTable& table, const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode)) {
    throw FileError(OpenError(path));
  }
  // Other programs may read along but should not write meanwhile; the lock
  // is advisory and a file that cannot take it is read all the same.
  (void)::flock(fd.get(), LOCK_SH | LOCK_NB);

  table.SettleRow();
  table.BeginLoad();
  try {
    Reader reader(table);
    char block[8192];
    for (;;) {
      const ssize_t n = ::read(fd.get(), block, sizeof block);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw FileError(kReadError);
      if (n == 0) break;
      reader.Feed(block, static_cast<size_t>(n));
    }
    reader.Finish();
  } catch (...) {
    // The rows read so far stay; the display order is reset all the same.
    table.EndLoad();
    throw;
  }
  table.EndLoad();
}

}  // namespace vantrelis
