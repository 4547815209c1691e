// Any bytes read as a contact file give the same rows whatever the size of
// the blocks it is read in; written back and read again they give the same
// rows, and writing those rows again gives the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/csv_file.h"
#include "store/csv_file_internal.h"

namespace {

using vantrelis::ContactTable;
using vantrelis::Field;

std::string& Folder() {
  static std::string folder = [] {
    // Memory-backed where possible: every save syncs its file.
    char shm[] = "/dev/shm/vantrelis-csv-fuzz-XXXXXX";
    char tmp[] = "/tmp/vantrelis-csv-fuzz-XXXXXX";
    char* pattern = ::mkdtemp(shm) ? shm : ::mkdtemp(tmp);
    if (!pattern) std::abort();
    std::string dir = pattern;
    static std::string forCleanup = dir;
    std::atexit([] {
      for (const char* name : {"/in.csv", "/out.csv", "/again.csv"}) ::unlink((forCleanup + name).c_str());
      ::rmdir(forCleanup.c_str());
    });
    return dir;
  }();
  return folder;
}

std::string Rows(const ContactTable& table) {
  std::string out;
  table.ForEachCommittedRow([&](auto value) {
    for (int f = 0; f < vantrelis::kFieldCount; ++f) {
      if (auto v = value(static_cast<Field>(f))) {
        out += '[';
        out.append(*v);
        out += ']';
      } else {
        out += '-';
      }
    }
    out += '\n';
  });
  return out;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = Folder() + "/in.csv";
  const std::string out = Folder() + "/out.csv";
  const std::string again = Folder() + "/again.csv";
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  ContactTable first;
  vantrelis::LoadCsvFile(first, in);
  // The first byte picks small blocks, so that lines split anywhere.
  vantrelis::csv_internal::SetReadBlockSize(size > 0 ? 1 + data[0] % 61 : 1);
  ContactTable split;
  vantrelis::LoadCsvFile(split, in);
  vantrelis::csv_internal::SetReadBlockSize(0);
  if (Rows(split) != Rows(first)) std::abort();
  vantrelis::SaveCsvFile(first, out);
  ContactTable second;
  vantrelis::LoadCsvFile(second, out);
  if (Rows(first) != Rows(second)) std::abort();
  if (second.CommittedRowCount() != first.CommittedRowCount()) std::abort();
  vantrelis::SaveCsvFile(second, again);
  if (ReadAll(out) != ReadAll(again)) std::abort();
  return 0;
}
