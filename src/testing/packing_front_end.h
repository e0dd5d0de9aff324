// The entry's front end for tests that run a script through RunScriptEntry: paths are taken as
// given, nothing is registered, and the pack runs at once where a program shows its progress.
#pragma once

#include <string>

#include "job/pack_run.h"
#include "job/program_entry.h"

namespace velmora {

class PackingFrontEnd final : public EntryFrontEnd {
 public:
  PackingFrontEnd(FileSystem& files, RunView& view) : files_(files), view_(view) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { RunPack(job, files_, view_); }

 private:
  FileSystem& files_;
  RunView& view_;
};

}  // namespace velmora
