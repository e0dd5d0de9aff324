// The code page of a script on Windows, chosen as on POSIX hosts: the tool runs in UTF-8, and while
// a script runs its texts are in the script's code page, whatever the system's ANSI code page.
// The script's path is made absolute as Velmora.exe makes its argument absolute.
#include "cli/script_job.h"
#include "job/script_path.h"
#include "sys/code_page.h"

namespace velmora {

ScriptCodePage::ScriptCodePage(const ScriptCommandOptions& options, FileSystem& files)
    : previous_(ActiveCodePage()) {
  SetActiveCodePage(CodePage::kUtf8);
  const std::string path = MakeAbsoluteScriptPath(options.Script, ProcessCurrentDirectory());
  CodePage code_page = CodePageOfScriptFile(files, path);
  if (options.CodePageGiven)
    code_page = options.CodePage == "gbk" ? CodePage::kGbk : CodePage::kUtf8;
  SetActiveCodePage(code_page);
  code_page_ = code_page;
  script_path_ = ActiveCodePageFromUtf8(path);
}

ScriptCodePage::~ScriptCodePage() { SetActiveCodePage(previous_); }

}  // namespace velmora
