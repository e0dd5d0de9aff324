#include "credit.h"
#include "job/job_state.h"
#include "msg/ansi_text.h"
#include "msg/catalogue.h"

namespace velmora {

namespace {

// The credit in the catalogue's language: outside Chinese the maker's name without its Chinese
// word for team, which an English Windows could not show.
const char* Credit(bool chinese) { return chinese ? VELMORA_CREDIT : "Velmora team"; }

}  // namespace

// The defaults are written in UTF-8 and shown in the code page of the run, like the catalogue, and
// in its language.
DialogTexts::DialogTexts() : Title("Velmora") {
  const bool chinese = CurrentMessageLanguage() == MessageLanguage::kChinese;
  AuthorLine = AnsiFromUtf8(std::string(chinese ? "作者：" : "Author: ") + Credit(chinese));
  DateLine = AnsiFromUtf8(chinese ? "日期：" : "Date: ");
  // Short enough in English that the count behind it fits the dialog's line, as the Chinese does.
  ProgressCaption = AnsiFromUtf8(chinese ? "正在生成文件..." : "Writing...");
  CreditLine = AnsiFromUtf8(Credit(chinese));
}

}  // namespace velmora
