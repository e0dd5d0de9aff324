// The entry's front end for tests that run a script through RunScriptEntry: paths are taken as
// given, nothing is registered, and the pack runs at once where a program shows its progress.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "job/mod_parts.h"
#include "job/pack_run.h"
#include "job/program_entry.h"
#include "job/run_report.h"

namespace velmora {

class PackingFrontEnd final : public EntryFrontEnd {
 public:
  // `with_report`: each successful pack shows its report, as the progress dialog does.
  PackingFrontEnd(FileSystem& files, RunView& view, bool with_report = false)
      : files_(files), view_(view), with_report_(with_report) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override {
    ++Runs;
    RunPack(job, files_, view_);
    if (!with_report_) return;
    if (std::optional<std::string> report = SuccessReport(job)) view_.ShowInfo(*report);
  }
  bool RunsPartsTogether() const override { return PartThreads > 0; }
  void RunPartsWithProgress(std::vector<JobState>& parts) override {
    Runs += static_cast<int>(parts.size());
    ReportModParts(parts, RunModParts(parts, files_, view_, PartThreads), view_);
  }
  void ModEnded(bool changed) override { ModChanged = changed; }

  int Runs = 0;             // packs run
  bool ModChanged = false;  // a mod's run changed every archive
  // A mod's parts are written together on this many threads; 0: each part on its own.
  unsigned PartThreads = 0;

 private:
  FileSystem& files_;
  RunView& view_;
  bool with_report_;
};

}  // namespace velmora
