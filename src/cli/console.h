// The process's own console and the name it is called by.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"

namespace velmora {

// The standard streams of this process.
std::unique_ptr<Console> MakeSystemConsole();

// The name the tool is called by in help and messages: velmora, or velmora-cli on Windows.
const char* ToolName();

// Whether a locale named by these environment values, in this order (LC_ALL, LC_MESSAGES, LANG),
// is Chinese: the first non-empty one decides, and it is Chinese when it starts with "zh".
bool LocaleIsChinese(const std::vector<const char*>& values);

// Whether the terminal's characters are code page 936: the first non-empty of these values (LC_ALL,
// LC_CTYPE, LANG) names the codeset GBK, GB2312, GB18030 or CP936 (zh_CN.GBK). Any other locale,
// one without a codeset among them, is taken as UTF-8.
bool LocaleUsesCodePage936(const std::vector<const char*>& values);

}  // namespace velmora
