// The plain way to write an archive's entries as files, the baseline of `extract`: the archive is
// read whole, then each entry is written with the C library into a new file of the name extract
// gives it, in a folder that is made empty, with no check at all.
//
//   plain_extract ARCHIVE FOLDER
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "wdf/entry_kind.h"
#include "wdf/extracted_name.h"

#if defined(_WIN32)
#include <direct.h>
#define MAKE_FOLDER(path) _mkdir(path)
#else
#include <sys/stat.h>
#define MAKE_FOLDER(path) mkdir(path, 0777)
#endif

namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: plain_extract ARCHIVE FOLDER\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (archive.size() < 12) return 1;
  const uint32_t count = Le32(archive, 4);
  const uint32_t index = Le32(archive, 8);
  if (MAKE_FOLDER(argv[2]) != 0) return 1;
  const std::string folder = std::string(argv[2]) + "/";
  for (uint32_t k = 0; k < count; ++k) {
    const size_t record = index + size_t{16} * k;
    const uint32_t id = Le32(archive, record);
    const uint32_t offset = Le32(archive, record + 4);
    const uint32_t size = Le32(archive, record + 8);
    const std::string head = archive.substr(offset, size < 4096 ? size : 4096);
    const std::string name =
        velmora::ExtractedFileName(id, 1, velmora::DetectEntryKind(head, size));
    std::FILE* out = std::fopen((folder + name).c_str(), "wb");
    if (out == nullptr || std::fwrite(archive.data() + offset, 1, size, out) != size) return 1;
    if (std::fclose(out) != 0) return 1;
  }
  return 0;
}
