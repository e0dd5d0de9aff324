// Windows steps every text in the system's ANSI code page; the script's path is made absolute
// as Velmora.exe makes its argument absolute.
#include "job/script_path.h"
#include "cli/script_job.h"

namespace velmora {

ScriptCodePage::ScriptCodePage(const ScriptCommandOptions& options, FileSystem&)
    : script_path_(MakeAbsoluteScriptPath(options.Script, ProcessCurrentDirectory())) {}

ScriptCodePage::~ScriptCodePage() = default;

}  // namespace velmora
