// The semicolon-separated contact file. Saving goes through a temporary file
// beside the target, so that a failed save leaves the earlier file intact.
#include "store/csv_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "store/csv_file_internal.h"

namespace vantrelis {
namespace {

csv_internal::WriteFunction g_write = nullptr;

std::string CreateError(const std::string& path) { return "Impossible de créer le fichier " + path; }
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

// Opens a new temporary file beside `target`, readable as a new file would be
// (0666 less the umask). Returns -1 with its path cleared on failure.
int CreateTemporary(const std::string& target, std::string& tempPath) {
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  // The name keeps the target's, shortened so that the suffix always fits.
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.size() > 200) base.resize(200);
  std::random_device device;
  std::mt19937_64 random(device() ^ (static_cast<uint64_t>(::getpid()) << 32));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(random() & 0xffffffffffffULL));
    tempPath = dir + "." + base + suffix + ".tmp";
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  tempPath.clear();
  return -1;
}

// Writes straight into a target that is not a regular file (a pipe, a device).
void SaveDirect(const ContactTable& table, const std::string& path) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
  if (fd.get() < 0) throw FileError(CreateError(path));
  WriteCsvRows(table, fd.get());
  if (!fd.Close()) throw FileError(kWriteError);
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
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return SaveDirect(table, path);
  if (path.empty() || path.back() == '/') throw FileError(CreateError(path));

  std::string target = path;
  if (exists) {
    // A file we may not write to stays as it is, as it would with a plain
    // create; a symbolic link keeps pointing at the file it names.
    if (::access(path.c_str(), W_OK) != 0) throw FileError(CreateError(path));
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }

  std::string tempPath;
  Fd fd(CreateTemporary(target, tempPath));
  if (fd.get() < 0) {
    // A folder where no new file may be made can still hold a file we may
    // rewrite: write into it in place rather than refuse the save.
    if (exists && errno == EACCES) return SaveDirect(table, path);
    throw FileError(CreateError(path));
  }
  try {
    if (exists) {
      (void)::fchmod(fd.get(), existing.st_mode & 07777);
      (void)!::fchown(fd.get(), existing.st_uid, existing.st_gid);  // owner kept where allowed
    }
    WriteCsvRows(table, fd.get());
    if (::fsync(fd.get()) != 0) throw FileError(kWriteError);
    if (!fd.Close()) throw FileError(kWriteError);
    if (::rename(tempPath.c_str(), target.c_str()) != 0) throw FileError(CreateError(path));
  } catch (...) {
    fd.Close();
    ::unlink(tempPath.c_str());
    throw;
  }
  // Makes the rename itself durable; a failure here loses nothing written.
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) (void)::fsync(dirFd.get());
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
