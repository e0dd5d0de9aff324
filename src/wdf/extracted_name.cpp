#include "wdf/extracted_name.h"

namespace velmora {

std::string ExtractedFileName(uint32_t id, uint32_t occurrence, EntryKind kind) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (int d = 7; d >= 0; --d) name.push_back(kHex[(id >> (4 * d)) & 0xF]);
  if (occurrence > 1) name += "-" + std::to_string(occurrence);
  return name + "." + EntryKindExtension(kind);
}

}  // namespace velmora
