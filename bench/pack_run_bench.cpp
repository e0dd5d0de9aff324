// Times the pack run over an archive of many entries in memory, against a plain copy of the
// same bytes, so that the figures can be read as ratios whatever the machine.
//
//   pack_run_bench [entries] [rules] [directory]
//
// Defaults: 70,000 entries and 20,000 rules, in memory only; with a directory, the same runs
// over the real disk follow.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "job/entry_rules.h"
#include "job/job_state.h"
#include "job/pack_run.h"
#include "job/script.h"
#include "testing/memory_file_system.h"
#include "wdf/wdf.h"

namespace velmora {
namespace {

// The files of one measurement, all in one directory (its path ends with a backslash).
struct BenchFiles {
  explicit BenchFiles(const std::string& dir)
      : ScriptDir(dir),
        Source(dir + "source.wdf"),
        Other(dir + "other.wdf"),
        Target(dir + "target.wdf"),
        Copy(dir + "copy.bin") {}
  std::string ScriptDir, Source, Other, Target, Copy;
};

class SilentView : public RunView {
 public:
  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string&) override {}
  int AskOkCancel(const std::string&) override { return 1; }
  void ReportProgress(uint32_t, uint32_t) override {}
  bool StopRequested() override { return false; }
  void RunFinished() override {}
};

void PutLe32(std::string& out, uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
}

// An archive in the writer layout with the given ids and random sizes of 16 to 1,024 bytes.
std::string MakeArchive(const std::vector<uint32_t>& ids, std::mt19937& random) {
  std::string data;
  std::string index;
  for (uint32_t id : ids) {
    const uint32_t size = 16 + random() % 1009;
    PutLe32(index, id);
    PutLe32(index, static_cast<uint32_t>(12 + data.size()));
    PutLe32(index, size);
    PutLe32(index, 0);
    data.append(size, static_cast<char>(id));
  }
  std::string archive = "PFDW";
  PutLe32(archive, static_cast<uint32_t>(ids.size()));
  PutLe32(archive, static_cast<uint32_t>(12 + data.size()));
  return archive + data + index;
}

struct Workload {
  std::string Name;
  std::string Script;
};

// Rules for `rules` distinct entries: internal references (to anywhere in the index, so that a
// scan from the start costs half the index on average), deletions, entries of another archive
// and external files.
Workload MixedRules(uint32_t entries, uint32_t rules, uint32_t other_entries,
                    std::mt19937& random) {
  std::vector<uint32_t> ids(entries);
  for (uint32_t k = 0; k < entries; ++k) ids[k] = k;
  std::shuffle(ids.begin(), ids.end(), random);
  std::string script = "#SrcFile=source.wdf\r\n#RunEnd=\r\n";
  for (uint32_t r = 0; r < rules && r < entries; ++r) {
    script += EntryKey(0x10000 + ids[r]) + "=";
    switch (r % 10) {
      case 0:
      case 1:
      case 2:
      case 3:  // clang-format off
        script += EntryKey(0x10000 + static_cast<uint32_t>(random() % entries));
        break;
      case 4: case 5: case 6:
        script += "@Delete";
        break;
      case 7: case 8: {
        char id[16];
        std::snprintf(id, sizeof id, "%X", static_cast<unsigned>(random() % other_entries));
        script += std::string("other.wdf/@") + id;
        break;
      }
      default:  // clang-format on
        script += "pictures\\picture" + std::to_string(r % 50) + ".bmp";
        break;
    }
    script += "   ; rule " + std::to_string(r) + "\r\n";
  }
  return {"mixed rules", script};
}

// Every rule an internal reference to a random entry: the search of the source index alone.
Workload InternalReferences(uint32_t entries, uint32_t rules, std::mt19937& random) {
  std::string script;
  for (uint32_t r = 0; r < rules && r < entries; ++r) {
    script += EntryKey(0x10000 + r) + "=" +
              EntryKey(0x10000 + static_cast<uint32_t>(random() % entries)) + "\r\n";
  }
  return {"internal references", script};
}

// The run as the worker does it, without the per-run Id lookup: every internal reference scans
// the source index from the start.
void RunPackScanning(JobState& job, FileSystem& files, RunView& view) {
  WdfWriter writer(*job.TargetStream);
  writer.WritePlaceholderHeader();
  job.SourceIndex.assign(job.SourceCount, WdfEntry{});
  job.TargetIndex.assign(job.SourceCount, WdfEntry{});
  std::vector<unsigned char> bytes(job.SourceCount * kWdfEntrySize);
  job.SourceStream->Seek(job.SourceIndexOffset);
  job.SourceStream->Read(bytes.data(), bytes.size());
  for (uint32_t k = 0; k < job.SourceCount; ++k) {
    job.SourceIndex[k] = DecodeWdfEntry(bytes.data() + k * kWdfEntrySize);
  }
  RunBuffers buffers(*job.TargetStream);
  const EntryStep step = [&](Stream& source, uint32_t count, uint32_t i, WdfEntry& entry) {
    return ResolveEntry(job, files, view, buffers, source, count, i, entry);
  };
  bool too_large = false;
  if (WalkSourceIndex(job, view, step, job.SourceCount) && buffers.Target.WriteHeld()) {
    writer.Finish(job.TargetIndex.data(), job.TargetCount, &too_large);
  }
  job.TargetStream.reset();
}

uint64_t FileSize(FileSystem& files, const std::string& path) {
  uint64_t size = 0;
  auto stream = files.OpenShared(path);
  if (stream) stream->Size(&size);
  return size;
}

void PutFile(FileSystem& files, const std::string& path, const std::string& bytes) {
  auto stream = files.CreateExclusive(path);
  if (!stream || !stream->Write(bytes.data(), bytes.size())) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

using Runner = std::function<void(JobState&, FileSystem&, RunView&)>;

// One run over a freshly prepared job; returns seconds.
double TimeRun(FileSystem& files, const BenchFiles& at, const std::string& script,
               const Runner& run, std::string* outcome) {
  files.RemoveFile(at.Target);
  JobState job;
  job.ScriptDir = at.ScriptDir;
  job.SourcePath = at.Source;
  job.TargetPath = job.TargetWritePath = at.Target;
  job.Script = std::make_unique<ScriptLines>(script);
  job.SourceStream = files.OpenShared(at.Source);
  job.TargetStream = files.CreateExclusive(at.Target);
  ReadWdfHeader(*job.SourceStream, &job.SourceCount, &job.SourceIndexOffset);
  SilentView view;
  const auto start = std::chrono::steady_clock::now();
  run(job, files, view);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  *outcome = job.ErrorText.empty() ? "ok, " + std::to_string(job.TargetCount) + " entries, " +
                                         std::to_string(FileSize(files, at.Target)) + " bytes"
                                   : "FAILED";
  return took.count();
}

// The baseline: the source's bytes copied to another file through the same size of buffer.
double TimePlainCopy(FileSystem& files, const BenchFiles& at) {
  files.RemoveFile(at.Copy);
  auto from = files.OpenShared(at.Source);
  auto to = files.CreateExclusive(at.Copy);
  std::vector<unsigned char> buffer(kRunBufferSize);
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const size_t got = from->Read(buffer.data(), buffer.size());
    if (got == 0 || !to->Write(buffer.data(), got)) break;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

double Best(int repeats, const std::function<double()>& once) {
  double best = once();
  for (int k = 1; k < repeats; ++k) best = std::min(best, once());
  return best;
}

// Measures the runs over the files of `at` in `files`.
void Measure(FileSystem& files, const BenchFiles& at, uint32_t entries, uint32_t rules) {
  const uint32_t other_entries = 1000;
  const int repeats = 3;
  std::mt19937 random(20261207);
  std::vector<uint32_t> ids(entries);
  for (uint32_t k = 0; k < entries; ++k) ids[k] = 0x10000 + k;
  PutFile(files, at.Source, MakeArchive(ids, random));
  std::vector<uint32_t> other_ids(other_entries);
  for (uint32_t k = 0; k < other_entries; ++k) other_ids[k] = k;
  PutFile(files, at.Other, MakeArchive(other_ids, random));
  files.MakeDirectory(at.ScriptDir + "pictures");
  for (int k = 0; k < 50; ++k) {
    PutFile(files, at.ScriptDir + "pictures\\picture" + std::to_string(k) + ".bmp",
            std::string(2000 + 100 * k, 'p'));
  }
  const Workload keep_all{"no rules", "#SrcFile=source.wdf\r\n"};
  const Workload mixed = MixedRules(entries, rules, other_entries, random);
  const Workload internal = InternalReferences(entries, rules, random);

  std::printf("source: %u entries, %llu bytes; script: %u rules\n", entries,
              static_cast<unsigned long long>(FileSize(files, at.Source)),
              std::min(rules, entries));
  const double copy = Best(repeats, [&] { return TimePlainCopy(files, at); });
  std::printf("%-40s %9.2f ms   1.00x\n", "plain copy of the source's bytes", copy * 1e3);

  struct Case {
    const char* Name;
    const Workload* Load;
    Runner Run;
  } cases[] = {
      {"RunPack, no rules", &keep_all, RunPack},
      {"RunPack, mixed rules", &mixed, RunPack},
      {"scanning variant, mixed rules", &mixed, RunPackScanning},
      {"RunPack, internal references only", &internal, RunPack},
      {"scanning variant, internal references", &internal, RunPackScanning},
  };
  for (const Case& c : cases) {
    std::string outcome;
    const double took =
        Best(repeats, [&] { return TimeRun(files, at, c.Load->Script, c.Run, &outcome); });
    std::printf("%-40s %9.2f ms %6.2fx   (%s)\n", c.Name, took * 1e3, took / copy, outcome.c_str());
  }
}

int Main(int argc, char** argv) {
  const uint32_t entries =
      argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 70000;
  const uint32_t rules =
      argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 20000;
  std::printf("-- in memory\n");
  MemoryFileSystem memory;
  memory.PutDirectory("D:\\bench");
  Measure(memory, BenchFiles("D:\\bench\\"), entries, rules);
  if (argc > 3) {
    // An existing directory of the real disk; its files are left there for inspection.
    std::string dir = argv[3];
    if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
    std::printf("-- on disk in %s\n", dir.c_str());
    Measure(SystemFileSystem(), BenchFiles(dir), entries, rules);
  }
  return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) { return velmora::Main(argc, argv); }
