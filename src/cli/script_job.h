// What run and check share: their options, the code page of the script, and the way from the
// script's name to a prepared job.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job/program_entry.h"
#include "cli/command.h"
#include "cli/terminal_view.h"
#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/code_page.h"

namespace velmora {

struct ScriptCommandOptions {
  TerminalOptions Terminal;
  bool CodePageGiven = false;
  std::string CodePage;  // "gbk" or "utf8" when given
  std::string Script;    // as the command line names it
  bool Strict = false;   // check: warnings fail too
  bool Json = false;     // check: the findings as one JSON document
  bool Force = false;    // run: a patch is applied whatever archive it meets
};

// Reads the words of `call` for `command`; `run_options` adds --yes and --quiet, and without them
// the check's --strict and --format text|json are known. Returns -1 when the command is to go on,
// or the exit code after the help or a usage error.
int ReadScriptCommand(CommandCall& call, const CommandInfo& command, bool run_options,
                      ScriptCommandOptions* options);

// While it lives, texts are stepped in the code page of the script: the one the options name, or
// the one CodePageOfScript reads from its bytes. The script's name (UTF-8 from the command line)
// is made absolute here, in that code page.
class ScriptCodePage {
 public:
  ScriptCodePage(const ScriptCommandOptions& options, FileSystem& files);
  ~ScriptCodePage();
  ScriptCodePage(const ScriptCodePage&) = delete;
  ScriptCodePage& operator=(const ScriptCodePage&) = delete;

  const std::string& ScriptPath() const { return script_path_; }
  // check's line that names the encoding the script was read in: after its summary when the
  // script passes, after its findings when it fails (when a name is not found, the encoding
  // is the first thing to look at).
  void SayEncoding(Console& console, bool passed) const;

 private:
  CodePage previous_;  // given back at the end
  CodePage code_page_ = CodePage::kUtf8;
  std::string script_path_;
};

// Looks at the file the command line names as the script before the run reads it: a folder, a
// pipe or device (which a run could read only once), an archive named by mistake and a script
// saved as UTF-16 are refused here in plain words. Returns -1 when the run is to go on, or the
// exit code after the message.
int CheckScriptInput(const ScriptCommandOptions& options, FileSystem& files, Console& console);

// Refuses, before the run asks anything, a target that is the source: under the same name (the
// default target, the script's name with the source's extension, says where its name came
// from) or under another spelling or link (the files' identities are compared, not their
// names). Under the same name with #InPlace=yes the run patches its source in place, whether
// #DestFile or the default target names it. The paths come from a preparation that changes
// nothing. Returns -1 when the run is to go on, or the exit code after the message.
int RefuseTargetThatIsTheSource(const std::string& script_path, FileSystem& files,
                                Console& console);

// Runs a mod's prepared parts as one run and reports their end
// (EntryFrontEnd::RunPartsWithProgress).
using RunPreparedParts = std::function<void(std::vector<JobState>&)>;

// Runs the script at the absolute `script_path` up to a prepared job and hands that to
// `run_prepared`, which returns whether the run succeeded; then releases the job. A mod's parts
// go to `run_parts` all together when it is given, else to `run_prepared` one by one. False for
// a missing or unreadable script (reported on the console), a refusal or a Cancel.
bool RunScriptJob(const std::string& script_path, JobState& job, FileSystem& files, RunView& view,
                  Console& console, const std::function<bool(JobState&)>& run_prepared,
                  const RunPreparedParts& run_parts = RunPreparedParts());

}  // namespace velmora
