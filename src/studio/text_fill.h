// The filling of the Studio's texts. A text names its fields "%s", filled in order, or "%1$s",
// "%2$s", ... where a language puts them in another order than the arguments come ("取自 %s 的
// 条目 @%s" is "taken from entry @%2$s of %1$s"). "%%" is a percent sign; nothing else is a
// field, and a field without an argument is left empty.
#pragma once

#include <string>
#include <vector>

namespace velmora {

std::string FillText(const std::string& text, const std::vector<std::string>& arguments);

}  // namespace velmora
