// The baseline of `velmora extract` and `velmora diff --patch`: an archive's entries written as
// files by a plain program that does nothing else, with no check at all. Without LIST it reads
// the archive whole and writes every entry under the name extract gives it into FOLDER, which it
// makes; with LIST it reads and writes only the files that list names, one a line: "OFFSET SIZE
// NAME" (the entry's bytes in the archive), into FOLDER as it is. With --flush every file is
// flushed to the disk before it is closed.
//
//   entry_files_baseline [--flush] ARCHIVE FOLDER [LIST]
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "wdf/entry_kind.h"
#include "wdf/extracted_name.h"

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#define MAKE_FOLDER(path) _mkdir(path)
#define FLUSH_TO_DISK(file) _commit(_fileno(file))
#else
#include <sys/stat.h>
#include <unistd.h>
#define MAKE_FOLDER(path) mkdir(path, 0777)
#define FLUSH_TO_DISK(file) fsync(fileno(file))
#endif

namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

bool WriteFile(const std::string& path, const char* bytes, size_t size, bool flush) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes, 1, size, out) == size &&
                       (!flush || (std::fflush(out) == 0 && FLUSH_TO_DISK(out) == 0));
  return std::fclose(out) == 0 && written;
}

int Main(int argc, char** argv) {
  int first = 1;
  const bool flush = argc > 1 && std::strcmp(argv[1], "--flush") == 0;
  if (flush) ++first;
  if (argc - first != 2 && argc - first != 3) {
    std::fprintf(stderr, "usage: entry_files_baseline [--flush] ARCHIVE FOLDER [LIST]\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[first], "rb");
  if (in == nullptr) return 1;
  const std::string folder = std::string(argv[first + 1]) + "/";
  if (argc - first == 3) {
    std::FILE* list = std::fopen(argv[first + 2], "r");
    if (list == nullptr) return 1;
    unsigned long long offset = 0, size = 0;
    char name[512];
    std::vector<char> bytes;
    while (std::fscanf(list, "%llu %llu %511s", &offset, &size, name) == 3) {
      bytes.resize(size);
      if (std::fseek(in, static_cast<long>(offset), SEEK_SET) != 0 ||
          std::fread(bytes.data(), 1, size, in) != size ||
          !WriteFile(folder + name, bytes.data(), size, flush)) {
        std::perror(name);
        return 1;
      }
    }
    std::fclose(list);
    return 0;
  }
  std::string archive;
  char piece[1 << 16];
  for (size_t n; (n = std::fread(piece, 1, sizeof piece, in)) > 0;) archive.append(piece, n);
  if (archive.size() < 12 || MAKE_FOLDER(argv[first + 1]) != 0) return 1;
  const uint32_t count = Le32(archive, 4);
  const uint32_t index = Le32(archive, 8);
  for (uint32_t k = 0; k < count; ++k) {
    const size_t record = index + size_t{16} * k;
    const uint32_t id = Le32(archive, record);
    const uint32_t offset = Le32(archive, record + 4);
    const uint32_t size = Le32(archive, record + 8);
    const std::string head = archive.substr(offset, size < 4096 ? size : 4096);
    const std::string name =
        velmora::ExtractedFileName(id, 1, velmora::DetectEntryKind(head, size));
    if (!WriteFile(folder + name, archive.data() + offset, size, flush)) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return Main(argc, argv); }
