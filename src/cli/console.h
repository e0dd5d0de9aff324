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

// Whether a locale named by these environment values, in this order (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG), is Chinese: the first non-empty one decides, and it is Chinese when it
// starts with "zh".
bool LocaleIsChinese(const std::vector<const char*>& values);

}  // namespace velmora
