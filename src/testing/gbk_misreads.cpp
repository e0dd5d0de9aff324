#include "testing/gbk_misreads.h"

#include <random>
#include <string>

#include "msg/catalogue.h"
#include "sys/code_page.h"

namespace velmora {

MisreadCount CatalogueTextsReadAsUtf8() {
  const CodePage previous = ActiveCodePage();
  SetActiveCodePage(CodePage::kGbk);
  MisreadCount count;
  const auto read = [&count](const char* chinese) {
    const std::string gbk = ActiveCodePageFromUtf8(chinese);
    ++count.Texts;
    if (CodePageOfScript(gbk) == CodePage::kUtf8 && gbk != chinese) ++count.Misread;
  };
#define VELMORA_MESSAGE(name, id, chinese, english) read(chinese);
#include "catalogue.def"
#undef VELMORA_MESSAGE
  SetActiveCodePage(previous);
  return count;
}

std::vector<MisreadCount> RandomGbkNamesReadAsUtf8(int shortest, int longest, int names,
                                                   uint32_t seed) {
  // Level one and two: lead 0xB0-0xF7, second byte 0xA1-0xFE; the last five places of 0xD7
  // are empty.
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> lead(0xB0, 0xF7);
  std::uniform_int_distribution<int> second(0xA1, 0xFE);
  std::vector<MisreadCount> counts;
  for (int length = shortest; length <= longest; ++length) {
    MisreadCount count;
    for (; count.Texts < names; ++count.Texts) {
      std::string name;
      while (name.size() < static_cast<size_t>(2 * length)) {
        const int a = lead(random);
        const int b = second(random);
        if (a == 0xD7 && b >= 0xFA) continue;
        name += static_cast<char>(a);
        name += static_cast<char>(b);
      }
      if (CodePageOfScript(name) == CodePage::kUtf8) ++count.Misread;
    }
    counts.push_back(count);
  }
  return counts;
}

}  // namespace velmora
