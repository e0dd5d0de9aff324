// The Studio's model on an archive of many small entries, without its window: opening it until
// the list's rows are known, finding every entry's kind in one pass (the finder's work, done on
// a thread of its own in the window), then filtering and sorting the rows by kind, by id and by
// what a rebuild does, each after one pending change so that the plan has something to say.
// Each step is timed beside reading the archive's file through once, in the same run, and the
// process's peak memory beyond what it held before the first open is given per entry.
//
//   studio_model_bench [directory] [entries] [runs]
//
// Defaults: the current directory, 1,000,000 entries, 3 runs; medians. Built for Windows too,
// so that the same figures can be taken under Wine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "studio/entry_rows.h"
#include "studio/studio_document.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {
namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The memory the process holds now, and the most it has held so far, in bytes.
struct Memory {
  double Now = 0;
  double Peak = 0;
};
Memory ProcessMemory() {
  Memory memory;
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  memory.Now = static_cast<double>(counters.WorkingSetSize);
  memory.Peak = static_cast<double>(counters.PeakWorkingSetSize);
#else
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  memory.Peak = static_cast<double>(usage.ru_maxrss) * 1024.0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    unsigned long size = 0, resident = 0;
    if (std::fscanf(statm, "%lu %lu", &size, &resident) == 2) {
      memory.Now = static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
    }
    std::fclose(statm);
  }
#endif
  return memory;
}

// Text and data by turns, four or five bytes each, ids ascending.
bool WriteArchive(FileSystem& files, const std::string& path, uint32_t count) {
  std::unique_ptr<Stream> out = files.CreateExclusive(path);
  if (!out) return false;
  WdfWriter writer(*out);
  if (!writer.WritePlaceholderHeader()) return false;
  std::vector<WdfEntry> index;
  std::string bytes;
  uint32_t offset = kWdfHeaderSize;
  for (uint32_t k = 0; k < count; ++k) {
    const size_t start = bytes.size();
    if (k % 2 == 0) {
      bytes += "ab\r\n";
    } else {
      for (int b = 0; b < 4; ++b) bytes += static_cast<char>(k >> (8 * b));
      bytes += '\0';
    }
    const uint32_t size = static_cast<uint32_t>(bytes.size() - start);
    index.push_back({k, offset, size, 0});
    offset += size;
  }
  bool too_large = false;
  return out->Write(bytes.data(), bytes.size()) &&
         writer.Finish(index.data(), static_cast<uint32_t>(index.size()), &too_large);
}

int Main(int argc, char** argv) {
  const std::string dir = argc > 1 ? std::string(argv[1]) + "/" : std::string();
  const uint32_t count =
      argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1000000u;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const std::string path = dir + "studio_model_bench.wdf";
  FileSystem& files = SystemFileSystem();
  files.RemoveFile(path);
  if (!WriteArchive(files, path, count))
    return std::fprintf(stderr, "cannot write %s\n", path.c_str()), 1;
  RowFilter by_kind;
  ParseRowFilter("text", &by_kind);
  const RowFilter all;
  const char* names[] = {"read the file through (baseline)",
                         "open: index, script, changes",
                         "plan of the rebuild",
                         "rows shown",
                         "find kinds (finder's pass)",
                         "filter by kind",
                         "sort by kind",
                         "sort by id, descending",
                         "one change, rows again",
                         "sort by change"};
  constexpr size_t kSteps = sizeof(names) / sizeof(names[0]);
  std::vector<std::vector<double>> times(kSteps);
  size_t shown = 0;
  const double memory_before = ProcessMemory().Now;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    {
      std::unique_ptr<Stream> in = files.OpenShared(path);
      std::vector<char> piece(1 << 20);
      while (in && in->Read(piece.data(), piece.size()) == piece.size()) {
      }
    }
    times[0].push_back(Seconds(start));

    start = std::chrono::steady_clock::now();
    StudioDocument document(files);
    std::string problem;
    if (!document.Open(path, &problem)) return std::fprintf(stderr, "%s\n", problem.c_str()), 1;
    times[1].push_back(Seconds(start));
    start = std::chrono::steady_clock::now();
    document.Plan();
    times[2].push_back(Seconds(start));
    start = std::chrono::steady_clock::now();
    shown = document.Rows(all, EntryColumn::kPosition, false).size();
    times[3].push_back(Seconds(start));

    start = std::chrono::steady_clock::now();
    document.Archive().ReadAllKinds();
    times[4].push_back(Seconds(start));

    const auto timed = [&](size_t step, const RowFilter& filter, EntryColumn column,
                           bool descending) {
      const auto began = std::chrono::steady_clock::now();
      const size_t rows = document.Rows(filter, column, descending).size();
      times[step].push_back(Seconds(began));
      return rows;
    };
    if (timed(5, by_kind, EntryColumn::kPosition, false) != (count + 1) / 2) {
      return std::fprintf(stderr, "the filter by kind kept the wrong rows\n"), 1;
    }
    timed(6, all, EntryColumn::kKind, false);
    timed(7, all, EntryColumn::kId, true);

    start = std::chrono::steady_clock::now();
    PendingChange removal;
    removal.Kind = ChangeKind::kDelete;
    document.Changes().Set({count / 2}, removal);
    document.Rows(all, EntryColumn::kPosition, false);
    times[8].push_back(Seconds(start));
    timed(9, all, EntryColumn::kChange, false);
  }
  std::printf("%u entries (%zu rows shown), medians of %d runs; peak memory %.1f bytes per entry\n",
              count, shown, runs,
              (ProcessMemory().Peak - memory_before) / std::max<uint32_t>(1, count));
  const double baseline = Median(times[0]);
  for (size_t k = 0; k < kSteps; ++k) {
    const double median = Median(times[k]);
    std::printf("%-34s %8.3f s  %7.1f x reading the file\n", names[k], median, median / baseline);
  }
  files.RemoveFile(path);
  return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) { return velmora::Main(argc, argv); }
