#include "job/progress_text.h"

#include "msg/format.h"

namespace velmora {

int ProgressPercent(uint32_t index, uint32_t count) {
  if (count <= 1) return 100;
  // 64-bit arithmetic: index * 100 would pass the 32-bit range beyond 21 million entries. The
  // integer quotient equals the truncated floating-point one for every index < count.
  uint64_t percent = static_cast<uint64_t>(index) * 100 / (count - 1);
  return percent > 100 ? 100 : static_cast<int>(percent);
}

std::string ProgressTitle(const std::string& title, uint32_t index, uint32_t count) {
  // The title is appended as it is, so a '%' in it is never read as a placeholder.
  return title + FormatText(" %d%%", {ProgressPercent(index, count)});
}

std::string ProgressCaptionText(const std::string& caption, uint32_t index, uint32_t count) {
  return caption + FormatText(" %d/%d", {static_cast<int64_t>(index) + 1, count});
}

}  // namespace velmora
