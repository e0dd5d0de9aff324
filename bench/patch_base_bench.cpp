// The cost of a patch's base check: every entry of an archive on the disk read in pieces as the
// check reads it, once only read and once read and hashed (XXH3-64), so that the hash's share can
// be read as a ratio whatever the machine and disk; and the hash alone over bytes in memory.
//
//   patch_base_bench [directory] [megabytes]
//
// Defaults: the current directory, 256 MB in entries of 4 KB to 1 MB. Medians of 7 runs; the
// archive is read once before, so that every run finds it in the system's cache (the check runs
// right after the run's preparation has opened the same file).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "job/patch_base.h"
#include "sys/file_system.h"
#include "wdf/archive_index.h"
#include "wdf/wdf.h"

namespace velmora {
namespace {

constexpr int kRuns = 7;

template <typename Body>
double MedianSeconds(Body body) {
  std::vector<double> times;
  for (int k = 0; k < kRuns; ++k) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[kRuns / 2];
}

int Main(int argc, char** argv) {
  const std::string dir = argc > 1 ? std::string(argv[1]) + "/" : std::string();
  const uint64_t megabytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
  const std::string path = dir + "patch_base_bench.wdf";
  FileSystem& files = SystemFileSystem();

  // The archive: entries of random sizes and bytes, then the index.
  std::mt19937_64 random(7);
  std::vector<uint32_t> sizes;
  for (uint64_t total = 0; total < megabytes << 20;) {
    sizes.push_back(static_cast<uint32_t>(4096 + random() % (1 << 20)));
    total += sizes.back();
  }
  {
    std::unique_ptr<Stream> out = files.CreateExclusive(path);
    if (!out) return std::fprintf(stderr, "cannot create %s\n", path.c_str()), 1;
    WdfWriter writer(*out);
    writer.WritePlaceholderHeader();
    std::vector<WdfEntry> index;
    std::vector<char> bytes(1 << 20 | 4096);
    for (char& c : bytes) c = static_cast<char>(random());
    uint32_t offset = kWdfHeaderSize;
    for (uint32_t k = 0; k < sizes.size(); ++k) {
      out->Write(bytes.data() + k % 4096, sizes[k]);
      index.push_back({k, offset, sizes[k], 0});
      offset += sizes[k];
    }
    bool too_large = false;
    if (!writer.Finish(index.data(), static_cast<uint32_t>(index.size()), &too_large)) return 1;
  }
  std::unique_ptr<Stream> archive = files.OpenShared(path);
  ArchiveIndex index;
  if (!archive || ReadArchiveIndex(*archive, &index) != ArchiveFault::kNone) return 1;

  uint64_t seen = 0;
  const auto read_all = [&] {
    for (const WdfEntry& entry : index.Entries) {
      ReadEntryBytes(*archive, entry, [&seen](const char* data, size_t n) {
        seen += static_cast<unsigned char>(data[n - 1]);
        return true;
      });
    }
  };
  read_all();  // into the cache
  const double read = MedianSeconds(read_all);
  const double hashed = MedianSeconds([&] {
    for (const WdfEntry& entry : index.Entries) {
      EntryPrint print;
      PrintEntry(*archive, entry, &print);
      seen += print.Hash;
    }
  });
  std::vector<char> memory(64 << 20, 'x');
  const double hash_only = MedianSeconds([&] { seen += XXH3_64bits(memory.data(), memory.size()); });

  const double gigabytes = static_cast<double>(megabytes) / 1024;
  std::printf("%zu entries, %llu MB, medians of %d runs (checksum %llu)\n", sizes.size(),
              static_cast<unsigned long long>(megabytes), kRuns,
              static_cast<unsigned long long>(seen & 0xFF));
  std::printf("read every entry        %.3f s  %.2f GB/s\n", read, gigabytes / read);
  std::printf("read and hash (check)   %.3f s  %.2f GB/s  ratio %.2f\n", hashed,
              gigabytes / hashed, hashed / read);
  std::printf("XXH3 alone in memory    %.2f GB/s\n", 64.0 / 1024 / hash_only);
  files.RemoveFile(path);
  return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) { return velmora::Main(argc, argv); }
