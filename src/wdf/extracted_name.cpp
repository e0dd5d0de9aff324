#include "wdf/extracted_name.h"

#include "wdf/resource_id.h"

namespace velmora {

std::string ExtractedFileName(uint32_t id, uint32_t occurrence, EntryKind kind) {
  std::string name = FormatId(id);
  if (occurrence > 1) name += "-" + std::to_string(occurrence);
  return name + "." + EntryKindExtension(kind);
}

}  // namespace velmora
