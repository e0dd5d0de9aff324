// The baseline of `velmora diff --patch` and `velmora extract`: the same entry files written by a
// plain program, which knows where each entry lies and does nothing else. Each line of LIST
// names one file: "OFFSET SIZE NAME". With --flush every file is flushed to the disk before it
// is closed, as the patch's files are.
//
//   entry_files_baseline [--flush] ARCHIVE LIST OUTDIR
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool WriteAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t put = write(fd, data, n);
    if (put <= 0) return false;
    data += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

int Main(int argc, char** argv) {
  int first = 1;
  const bool flush = argc > 1 && std::strcmp(argv[1], "--flush") == 0;
  if (flush) ++first;
  if (argc - first != 3) {
    std::fprintf(stderr, "usage: entry_files_baseline [--flush] ARCHIVE LIST OUTDIR\n");
    return 2;
  }
  const int archive = open(argv[first], O_RDONLY);
  FILE* list = std::fopen(argv[first + 1], "r");
  const std::string dir = std::string(argv[first + 2]) + "/";
  if (archive < 0 || !list) {
    std::perror("entry_files_baseline");
    return 1;
  }
  std::vector<char> bytes;
  unsigned long long offset = 0, size = 0;
  char name[512];
  while (std::fscanf(list, "%llu %llu %511s", &offset, &size, name) == 3) {
    bytes.resize(size);
    const int out = open((dir + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 ||
        pread(archive, bytes.data(), size, static_cast<off_t>(offset)) !=
            static_cast<ssize_t>(size) ||
        !WriteAll(out, bytes.data(), size) || (flush && fsync(out) != 0) || close(out) != 0) {
      std::perror(name);
      return 1;
    }
  }
  std::fclose(list);
  close(archive);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return Main(argc, argv); }
