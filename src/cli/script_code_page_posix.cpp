// The code page of a script on POSIX hosts, and its path in that code page.
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "cli/script_job.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

std::string WorkingDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace

ScriptCodePage::ScriptCodePage(const ScriptCommandOptions& options, FileSystem& files)
    : previous_(ActiveCodePage()) {
  SetActiveCodePage(CodePage::kUtf8);
  CodePage code_page = CodePage::kUtf8;
  if (options.CodePageGiven) {
    code_page = options.CodePage == "gbk" ? CodePage::kGbk : CodePage::kUtf8;
  } else {
    code_page = CodePageOfScriptFile(files, options.Script);
  }
  // The path rules of a run know backslashes only (the file layer turns them back into
  // slashes), so the script's directory, and with it the source's and the target's, is found
  // only when the separators are backslashes.
  std::string path = options.Script;
  if (path.empty() || path[0] != '/') {
    const std::string current = WorkingDirectory();
    if (!current.empty()) path = current + (current.back() == '/' ? "" : "/") + path;
  }
  SetActiveCodePage(code_page);
  code_page_ = code_page;
  path = ActiveCodePageFromUtf8(path);
  for (size_t pos = 0; pos < path.size(); pos = NextCharOffset(path, pos)) {
    if (path[pos] == '/') path[pos] = '\\';
  }
  script_path_ = path;
}

ScriptCodePage::~ScriptCodePage() { SetActiveCodePage(previous_); }

}  // namespace velmora
