// Times a mod of three archives on the real disk, through the program's entry: the parts
// prepared and written one after another, and written together as the terminal tool writes them
// (ModPartThreads), each followed by the transaction; as the baseline of the same run, a copy of
// the same bytes flushed as the program flushes its new archives. Medians of the rounds, and
// each as a ratio to the baseline.
//
//   mod_bench DIRECTORY [megabytes per archive] [rounds] [kilobytes per entry]
//
// Defaults: 300 MB per archive, 3 rounds, entries of 100 KB. The directory must exist; the
// bench's files are removed again at the end.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <string>
#include <thread>
#include <vector>

#include "job/archive_backups.h"
#include "job/paths.h"
#include "job/mod_journal.h"
#include "job/mod_parts.h"
#include "job/mod_run.h"
#include "job/path_route.h"
#include "job/pack_run.h"
#include "job/prepare.h"
#include "job/program_entry.h"
#include "job/script.h"
#include "wdf/wdf.h"

namespace velmora {
namespace {

constexpr int kArchives = 3;
uint32_t entry_size = 100 * 1024;  // bytes of every entry
constexpr int kReplaced = 10;      // entries each part replaces

class SilentView final : public RunView {
 public:
  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  int AskOkCancel(const std::string&) override { return 1; }
  void ReportProgress(uint32_t, uint32_t) override {}
  bool StopRequested() override { return false; }
  void RunFinished() override {}
};

class PackFrontEnd final : public EntryFrontEnd {
 public:
  PackFrontEnd(RunView& view, unsigned threads) : view_(view), threads_(threads) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { RunPack(job, SystemFileSystem(), view_); }
  bool RunsPartsTogether() const override { return threads_ > 0; }
  void RunPartsWithProgress(std::vector<JobState>& parts) override {
    ReportModParts(parts, RunModParts(parts, SystemFileSystem(), view_, threads_), view_);
  }
  void ModEnded(bool changed) override { Changed = changed; }
  bool Changed = false;

 private:
  RunView& view_;
  unsigned threads_;
};

void PutLe32(std::string& out, uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::unique_ptr<Stream> out = SystemFileSystem().CreateExclusive(path);
  return out && out->Write(bytes.data(), bytes.size()) && out->Flush();
}

// An archive of `entries` entries of entry_size bytes, written piece by piece.
bool WriteArchive(const std::string& path, uint32_t entries, char fill) {
  std::unique_ptr<Stream> out = SystemFileSystem().CreateExclusive(path);
  if (!out) return false;
  std::string header = "PFDW";
  PutLe32(header, entries);
  PutLe32(header, 12 + entries * entry_size);
  const std::string data(entry_size, fill);
  std::string index;
  bool written = out->Write(header.data(), header.size());
  for (uint32_t k = 0; k < entries && written; ++k) {
    written = out->Write(data.data(), data.size());
    PutLe32(index, k + 1);
    PutLe32(index, 12 + k * entry_size);
    PutLe32(index, entry_size);
    PutLe32(index, 0);
  }
  return written && out->Write(index.data(), index.size()) && out->Flush();
}

std::string ArchivePath(const std::string& game, int k) {
  return game + "archive" + std::to_string(k) + ".wdf";
}

// The game's archives and a mod of one part each, in `dir` (ending with a separator).
bool MakeGame(const std::string& dir, uint32_t entries) {
  std::string mod = "#ModBase=..\\\r\n";
  for (int k = 0; k < kArchives; ++k) {
    if (!WriteArchive(ArchivePath(dir, k), entries, static_cast<char>('a' + k))) return false;
    const std::string part = dir + "mod\\" + std::to_string(k + 1) + "\\";
    std::string script = "#SrcPath=..\\..\\\r\n#SrcFile=archive" + std::to_string(k) +
                         ".wdf\r\n#DestPath=..\\..\\\r\n#DestFile=archive" + std::to_string(k) +
                         ".wdf\r\n#InPlace=yes\r\n";
    for (int r = 0; r < kReplaced; ++r) {
      const uint32_t id = 1 + static_cast<uint32_t>(r) * (entries / kReplaced);
      script += EntryKey(id) + "=new" + std::to_string(r) + ".bin\r\n";
    }
    if (!MakeDirectories(SystemFileSystem(), part) || !WriteFile(part + "part.vlm", script))
      return false;
    for (int r = 0; r < kReplaced; ++r) {
      if (!WriteFile(part + "new" + std::to_string(r) + ".bin", std::string(entry_size, 'N'))) {
        return false;
      }
    }
    mod += "#ModPart" + std::to_string(k + 1) + "=" + std::to_string(k + 1) + "\\part.vlm\r\n";
  }
  return WriteFile(dir + "mod\\mod.vlm", mod);
}

// The bench's files of one round gone again: the backups, the mod's record, the copies.
void RemoveRoundFiles(const std::string& dir) {
  FileSystem& files = SystemFileSystem();
  for (int k = 0; k < kArchives; ++k) {
    std::vector<ArchiveBackup> backups;
    ListBackups(files, ArchivePath(dir, k), &backups);
    for (const ArchiveBackup& backup : backups) files.RemoveFile(backup.Path);
    files.RemoveFile(ArchivePath(dir, k) + ".copy");
  }
  files.RemoveFile(dir + "mod\\mod.vlm.applied");
}

// The processor time of the whole process (every thread) spent by the measurements so far.
double ProcessorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
std::vector<double> processor_copy, processor_in_turn, processor_parallel;

double Seconds(const std::function<bool()>& run, std::vector<double>* processor) {
  const double used = ProcessorSeconds();
  const auto start = std::chrono::steady_clock::now();
  if (!run()) {
    std::fprintf(stderr, "a run failed\n");
    std::exit(1);
  }
  processor->push_back(ProcessorSeconds() - used);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool CopyArchives(const std::string& dir) {
  for (int k = 0; k < kArchives; ++k) {
    if (!CopyWholeFile(SystemFileSystem(), ArchivePath(dir, k), ArchivePath(dir, k) + ".copy")) {
      return false;
    }
  }
  return true;
}

// The mod as the program applies it, through its entry: the parts written on `threads`
// threads (0: each part prepared and written in turn), then the transaction.
bool ApplyMod(const std::string& dir, unsigned threads) {
  SilentView view;
  PackFrontEnd front(view, threads);
  JobState job;
  job.ScriptPath = dir + "mod\\mod.vlm";
  RunScriptEntry(job, SystemFileSystem(), view, front);
  return front.Changed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int Main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc < 2) {
    std::fprintf(stderr,
                 "mod_bench DIRECTORY [megabytes per archive] [rounds] [kilobytes per entry]\n");
    return 2;
  }
  // Paths as a script run builds them: every separator a backslash.
  std::string dir = std::string(argv[1]) + "/velmora-mod-bench/";
  std::replace(dir.begin(), dir.end(), '/', '\\');
  const uint32_t megabytes = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 300;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  if (argc > 4) entry_size = static_cast<uint32_t>(std::atoi(argv[4])) * 1024;
  const uint32_t entries = megabytes * 1024 * 1024 / entry_size;
  if (!MakeDirectories(SystemFileSystem(), dir) || !MakeGame(dir, entries)) {
    std::fprintf(stderr, "cannot write the game into %s\n", dir.c_str());
    return 1;
  }
  std::vector<double> copy, in_turn, parallel;
  for (int round = 0; round < rounds; ++round) {
    // Each measurement starts from the same files; the two ways take turns at going first.
    copy.push_back(Seconds([&] { return CopyArchives(dir); }, &processor_copy));
    RemoveRoundFiles(dir);
    for (int way = 0; way < 2; ++way) {
      if ((way + round) % 2 == 0) {
        in_turn.push_back(Seconds([&] { return ApplyMod(dir, 0); }, &processor_in_turn));
      } else {
        parallel.push_back(
            Seconds([&] { return ApplyMod(dir, ModPartThreads(kArchives)); }, &processor_parallel));
      }
      RemoveRoundFiles(dir);
    }
    std::printf("round %d: copy %.2f s, in turn %.2f s, parallel %.2f s\n", round + 1, copy.back(),
                in_turn.back(), parallel.back());
  }
  const double base = Median(copy);
  std::printf("%d archives of %u MB in entries of %u KB, medians of %d rounds:\n", kArchives,
              megabytes, entry_size / 1024, rounds);
  std::printf("                   elapsed  ratio  processor\n");
  std::printf("  copy and flush   %6.2f s  1.00   %6.2f s\n", base, Median(processor_copy));
  std::printf("  mod, in turn     %6.2f s  %.2f   %6.2f s\n", Median(in_turn),
              Median(in_turn) / base, Median(processor_in_turn));
  std::printf("  mod, parallel    %6.2f s  %.2f   %6.2f s\n", Median(parallel),
              Median(parallel) / base, Median(processor_parallel));
  // Each round times both ways back to back: the ratio of each round's pair is the least
  // disturbed by the load of other programs.
  std::vector<double> pairs;
  for (size_t round = 0; round < parallel.size(); ++round)
    pairs.push_back(parallel[round] / in_turn[round]);
  std::printf("  parallel / in turn, median of the rounds' ratios: %.2f\n", Median(pairs));
  std::error_code ignored;
  std::filesystem::remove_all(std::string(argv[1]) + "/velmora-mod-bench", ignored);
  return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) { return velmora::Main(argc, argv); }
