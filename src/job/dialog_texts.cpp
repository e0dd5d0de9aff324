#include "credit.h"
#include "job/job_state.h"
#include "msg/ansi_text.h"

namespace velmora {

// The defaults are written in UTF-8 and shown in the ANSI code page, like the string table.
DialogTexts::DialogTexts()
    : Title("Velmora"),
      AuthorLine(AnsiFromUtf8(std::string("作者：") + VELMORA_CREDIT)),
      DateLine(AnsiFromUtf8("日期：")),
      ProgressCaption(AnsiFromUtf8("正在生成文件...")),
      CreditLine(AnsiFromUtf8(VELMORA_CREDIT)) {}

}  // namespace velmora
