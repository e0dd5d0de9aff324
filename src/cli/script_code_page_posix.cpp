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

// The whole script, or nothing when it cannot be read (the entry reports that in its words).
std::string ScriptBytes(FileSystem& files, const std::string& path) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  std::string bytes;
  if (!stream) return bytes;
  char buffer[65536];
  for (;;) {
    const size_t got = stream->Read(buffer, sizeof buffer);
    bytes.append(buffer, got);
    if (got < sizeof buffer) return bytes;
  }
}

}  // namespace

ScriptCodePage::ScriptCodePage(const ScriptCommandOptions& options, FileSystem& files) {
  SetActiveCodePage(CodePage::kUtf8);
  CodePage code_page = CodePage::kUtf8;
  if (options.CodePageGiven) {
    code_page = options.CodePage == "gbk" ? CodePage::kGbk : CodePage::kUtf8;
  } else if (!IsValidUtf8(ScriptBytes(files, options.Script))) {
    code_page = CodePage::kGbk;
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
  path = ActiveCodePageFromUtf8(path);
  for (size_t pos = 0; pos < path.size(); pos = NextCharOffset(path, pos)) {
    if (path[pos] == '/') path[pos] = '\\';
  }
  script_path_ = path;
}

ScriptCodePage::~ScriptCodePage() { SetActiveCodePage(CodePage::kUtf8); }

}  // namespace velmora
