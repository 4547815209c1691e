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
#include <memory>

#include "store/byte_scan.h"
#include "store/csv_file_internal.h"
#include "store/file_descriptor.h"
#include "store/posix_io.h"
#include "store/stored_row_size.h"

namespace vantrelis {
namespace {

csv_internal::WriteFunction g_write = nullptr;
// Blocks of a fixed size, whatever the file's: large enough that the calls
// to read(2) cost little, small enough to stay in the cache.
constexpr size_t kReadBlock = size_t{128} << 10;
size_t g_readBlock = kReadBlock;

constexpr const char* kWriteError = "Erreur d'écriture dans le flux";

// A write that failed, with the error number it failed with.
struct WriteError : FileError {
  explicit WriteError(int error) : FileError(kWriteError), number(error) {}
  int number;
};
constexpr const char* kReadError = "Erreur de lecture dans le flux";
std::string OpenError(const std::string& path) { return "Impossible d'ouvrir le fichier " + path; }

// First fields that mark the lines of a definition block at the top of a file.
constexpr std::string_view kFileVersion = "@@FILE VERSION@@";
constexpr std::string_view kTableDefStart = "@@TABLEDEF START@@";
constexpr std::string_view kTableDefEnd = "@@TABLEDEF END@@";
constexpr std::string_view kIndexDefStart = "@@INDEXDEF START@@";
constexpr std::string_view kIndexDefEnd = "@@INDEXDEF END@@";

bool IsBlockMarker(std::string_view text) {
  return text == kFileVersion || text == kTableDefStart || text == kTableDefEnd || text == kIndexDefStart ||
         text == kIndexDefEnd;
}

// Buffered output through the write seam; throws FileError on failure.
// Lines are written straight into the buffer, which always has room for
// the longest line before the next one starts.
class Output {
 public:
  // The longest line: nine fields of doubled bytes with their quotes and
  // delimiters, the line break, the coded first byte of a marker Name, and
  // the bytes that whole-word copies write over.
  static constexpr size_t kLineRoom = 2 * 765 + 9 * 3 + 2 + 1 + 16;

  explicit Output(int fd) : m_fd(fd), m_buffer(new char[kFlushAt + kLineRoom]) {}

  // Where the next line goes; at least kLineRoom bytes are writable there.
  char* LineSpace() {
    if (m_size >= kFlushAt) Flush();
    return m_buffer.get() + m_size;
  }
  // Takes the line written up to `end`.
  void LineDone(const char* end) { m_size = static_cast<size_t>(end - m_buffer.get()); }

  void Flush() {
    const char* data = m_buffer.get();
    size_t left = m_size;
    while (left > 0) {
      const ssize_t n =
          RetryOnInterrupt([&] { return g_write ? g_write(m_fd, data, left) : ::write(m_fd, data, left); });
      // The reason is taken here: unwinding may change errno before it is read.
      if (n <= 0) throw WriteError(n < 0 ? errno : ENOSPC);
      data += n;
      left -= static_cast<size_t>(n);
    }
    m_written += m_size;
    m_size = 0;
    StartWriteBack();
  }

 private:
  // Asks the kernel to start writing each few megabytes to the disk while
  // the rest is still being made, so that the final flush to disk has
  // little left to wait for. Targets that cannot (pipes, devices) ignore it.
  void StartWriteBack() {
#ifdef SYNC_FILE_RANGE_WRITE
    if (m_written - m_sentToDisk < kWriteBackEvery) return;
    (void)::sync_file_range(m_fd, static_cast<off_t>(m_sentToDisk),
                            static_cast<off_t>(m_written - m_sentToDisk), SYNC_FILE_RANGE_WRITE);
    m_sentToDisk = m_written;
#endif
  }

  static constexpr size_t kFlushAt = size_t{1} << 20;
  static constexpr size_t kWriteBackEvery = size_t{8} << 20;
  int m_fd;
  std::unique_ptr<char[]> m_buffer;
  size_t m_size = 0;
  size_t m_written = 0;
  size_t m_sentToDisk = 0;
};

// Writes `size` text bytes coded: % CR LF NUL become %% %c %n %0 and a
// double quote is doubled.
char* WriteCoded(char* out, const uint8_t* text, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(text[i]);
    switch (c) {
      case '%':
        *out++ = '%';
        *out++ = '%';
        break;
      case '\r':
        *out++ = '%';
        *out++ = 'c';
        break;
      case '\n':
        *out++ = '%';
        *out++ = 'n';
        break;
      case '\0':
        *out++ = '%';
        *out++ = '0';
        break;
      case '"':
        *out++ = '"';
        *out++ = '"';
        break;
      default: *out++ = c; break;
    }
  }
  return out;
}

// Writes one stored row as a line: each field with a value quoted and
// coded, a ; after every field, CR LF. With `codeFirstByte` the first byte
// of the Name is written coded as well ("%@" reads back as "@").
char* WriteLine(char* out, const uint8_t* row, bool codeFirstByte) {
  const uint8_t* text = row + kFieldCount;
  // Most rows hold nothing to code: their texts are copied as they are.
  const bool plain = !scan::HasCodedByte(text, StoredTextSize(row));
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    const size_t size = row[f];
    if (size != kNoValueLength) {
      *out++ = '"';
      if (f == 0 && codeFirstByte) *out++ = '%';
      if (plain) {
        scan::CopyBytes(out, text, size);
        out += size;
      } else {
        out = WriteCoded(out, text, size);
      }
      *out++ = '"';
      text += size;
    }
    *out++ = ';';
  }
  *out++ = '\r';
  *out++ = '\n';
  return out;
}

// Writes every committed row, in display order, as the file's lines to `fd`
// through the write seam. Throws FileError when a write fails.
void WriteCsvRows(const ContactTable& table, int fd) {
  Output output(fd);
  const int32_t rows = table.StoredRowCount();
  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* row = table.StoredRow(i);
    // A first line whose Name equals a definition-block marker would make
    // the reader skip it (and, for a table definition start, the lines
    // after it); below the first line the reader no longer looks.
    const bool codeFirstByte =
        i == 0 && row[0] != kNoValueLength && IsBlockMarker(*StoredValue(row, Field::Name));
    output.LineDone(WriteLine(output.LineSpace(), row, codeFirstByte));
  }
  output.Flush();
}

// Reads the file's lines into the table as the blocks of the file come,
// decoding each field straight into the row's storage. Nothing of a line
// is kept but what its fields store, however long the line runs, and a
// line may continue from one block into the next.
class Reader {
 public:
  explicit Reader(ContactTable& table) : m_table(table) {}

  // Takes the next block of the file.
  void Feed(const char* data, size_t size);

  // Ends the last line, which needs no line break after it.
  void Finish() {
    const char lineBreak = '\n';
    Feed(&lineBreak, 1);
  }

 private:
  // Where the reading stands between two blocks.
  enum class State : uint8_t {
    LineStart,           // between lines
    FieldStart,          // before a field
    Quoted,              // in the text of a quoted field
    QuoteSeen,           // after a quote in a quoted field: a pair or the end
    QuotedPercent,       // after a % in a quoted field
    QuotedPercentQuote,  // after %" in a quoted field
    Unquoted,            // in the text of an unquoted field
    UnquotedPercent,     // after a % in an unquoted field
    SkipRest,            // nine fields read: the rest of the line is ignored
    SkipDefinition,      // a line of the definition block at the top
  };

  // Decides, once the first field of a line at the top of the file is
  // read, whether the line belongs to a definition block.
  bool IsDefinitionLine() {
    // The markers are compared with the field as written, % codes still in.
    if (!m_percentInLine && m_row[0] != kNoValueLength) {
      const std::string_view first = *StoredValue(m_row, Field::Name);
      if (IsBlockMarker(first)) {
        if (first == kTableDefStart) m_inTableDef = true;
        if (first == kTableDefEnd) m_inTableDef = false;
        return true;
      }
    }
    return m_inTableDef;
  }

  ContactTable& m_table;
  State m_state = State::LineStart;
  uint8_t* m_row = nullptr;         // the row being read, in the table's space
  uint8_t* m_out = nullptr;         // where its next text byte goes
  uint8_t* m_fieldStart = nullptr;  // where the current field's text starts
  uint8_t* m_limit = nullptr;       // the current field's width, or its NUL
  int32_t m_field = 0;
  bool m_percentInLine = false;
  bool m_atTop = true;
  bool m_inTableDef = false;
};

// What %x decodes to: %c CR, %n LF, %0 NUL, any other x itself.
constexpr std::array<uint8_t, 256> kPercentDecode = [] {
  std::array<uint8_t, 256> decode{};
  for (size_t c = 0; c < decode.size(); ++c) decode[c] = static_cast<uint8_t>(c);
  decode['c'] = '\r';
  decode['n'] = '\n';
  decode['0'] = '\0';
  return decode;
}();

// The field rules, one state per label; a block that runs out suspends the
// state and the next block resumes it.
void Reader::Feed(const char* data, size_t size) {
  const char* p = data;
  const char* const end = data + size;
  uint8_t* out = m_out;
  uint8_t* fieldStart = m_fieldStart;
  uint8_t* limit = m_limit;
  int32_t field = m_field;
  uint8_t decoded = 0;

// Stores one decoded text byte; a NUL ends what the field keeps.
#define VANTRELIS_PUT(byte)            \
  do {                                 \
    decoded = (byte);                  \
    if (decoded == 0) limit = out;     \
    if (out < limit) *out++ = decoded; \
  } while (0)
#define VANTRELIS_SUSPEND(state) \
  do {                           \
    m_state = State::state;      \
    goto suspend;                \
  } while (0)

  switch (m_state) {
    case State::LineStart: goto line_start;
    case State::FieldStart: goto field_start;
    case State::Quoted: goto quoted;
    case State::QuoteSeen: goto quote_seen;
    case State::QuotedPercent: goto quoted_percent;
    case State::QuotedPercentQuote: goto quoted_percent_quote;
    case State::Unquoted: goto unquoted;
    case State::UnquotedPercent: goto unquoted_percent;
    case State::SkipRest: goto skip_rest;
    case State::SkipDefinition: goto skip_definition;
  }

line_start:
  // A run of line-break bytes is one break: empty lines do not exist.
  while (p < end && IsLineBreak(*p)) ++p;
  if (p == end) VANTRELIS_SUSPEND(LineStart);
  m_row = m_table.LoadRowSpace();
  std::memset(m_row, kNoValueLength, kFieldCount);
  out = m_row + kFieldCount;
  field = 0;
  m_percentInLine = false;

field_start:
  if (p == end) VANTRELIS_SUSPEND(FieldStart);
  if (*p == ';') {  // no value
    ++p;
    goto field_done;
  }
  if (IsLineBreak(*p)) goto line_end;  // the fields left keep no value
  fieldStart = out;
  limit = out + kFieldWidths[static_cast<size_t>(field)];
  if (*p != '"') goto unquoted;
  ++p;

quoted:
  // Up to the closing quote; a ; belongs to the text.
  p = scan::CopyText<'"', '%'>(p, end, out, limit);
  if (p == end) VANTRELIS_SUSPEND(Quoted);
  if (IsLineBreak(*p)) goto field_end;  // quotes do not protect a line break
  if (*p++ == '%') goto quoted_percent;

quote_seen:
  if (p == end) VANTRELIS_SUSPEND(QuoteSeen);
  if (*p == '"') {  // a pair stands for one quote
    ++p;
    VANTRELIS_PUT('"');
    goto quoted;
  }
  if (IsLineBreak(*p)) goto field_end;
  ++p;  // the byte after the closing quote is the delimiter, whatever it is
  goto field_end;

quoted_percent:
  m_percentInLine = true;
  if (p == end) VANTRELIS_SUSPEND(QuotedPercent);
  if (IsLineBreak(*p)) goto field_end;  // a % that ends the text is dropped
  if (*p == '"') {
    ++p;
    goto quoted_percent_quote;
  }
  VANTRELIS_PUT(kPercentDecode[static_cast<uint8_t>(*p++)]);
  goto quoted;

quoted_percent_quote:
  // %"" codes a quote; %" then anything else ends the text with a %.
  if (p == end) VANTRELIS_SUSPEND(QuotedPercentQuote);
  if (*p == '"') {
    ++p;
    VANTRELIS_PUT('"');
    goto quoted;
  }
  if (IsLineBreak(*p)) goto field_end;
  ++p;
  goto field_end;

unquoted:
  // Up to the next ; or the end of the line; a quote is an ordinary byte.
  p = scan::CopyText<';', '%'>(p, end, out, limit);
  if (p == end) VANTRELIS_SUSPEND(Unquoted);
  if (IsLineBreak(*p)) goto field_end;
  if (*p++ == ';') goto field_end;

unquoted_percent:
  m_percentInLine = true;
  if (p == end) VANTRELIS_SUSPEND(UnquotedPercent);
  if (IsLineBreak(*p)) goto field_end;
  if (*p == ';') {
    ++p;
    goto field_end;
  }
  VANTRELIS_PUT(kPercentDecode[static_cast<uint8_t>(*p++)]);
  goto unquoted;

field_end:
  m_row[field] = static_cast<uint8_t>(out - fieldStart);
field_done:
  if (m_atTop && field == 0) {
    if (IsDefinitionLine()) goto skip_definition;
    m_atTop = false;
  }
  if (++field < kFieldCount) goto field_start;

skip_rest:
  p = scan::SkipToBreak(p, end);
  if (p == end) VANTRELIS_SUSPEND(SkipRest);

line_end:
  m_table.LoadStoredRow();
  goto line_start;

skip_definition:
  p = scan::SkipToBreak(p, end);
  if (p == end) VANTRELIS_SUSPEND(SkipDefinition);
  goto line_start;

suspend:
  m_out = out;
  m_fieldStart = fieldStart;
  m_limit = limit;
  m_field = field;
#undef VANTRELIS_PUT
#undef VANTRELIS_SUSPEND
}

}  // namespace

namespace csv_internal {
void SetWriteFunction(WriteFunction function) { g_write = function; }
void SetReadBlockSize(size_t size) { g_readBlock = size == 0 ? kReadBlock : size; }
}  // namespace csv_internal

void SaveCsvFile(const ContactTable& table, const std::string& path) {
  SaveFile(path, [&](const SaveTarget& target) {
    try {
      WriteCsvRows(table, target.fd);
    } catch (const WriteError& error) {
      throw FileError("Erreur d'écriture dans le flux du fichier " + path + " : " +
                      FileErrorReason(error.number));
    }
  });
}

void LoadCsvFile(ContactTable& table, const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    const size_t blockSize = g_readBlock;
    const std::unique_ptr<char[]> block(new char[blockSize]);
    for (;;) {
      const ssize_t n = RetryOnInterrupt([&] { return ::read(fd.get(), block.get(), blockSize); });
      if (n < 0) throw FileError(kReadError);
      if (n == 0) break;
      reader.Feed(block.get(), static_cast<size_t>(n));
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
