// What the display of a run shows for the entry being begun: the percentage done, the window
// title and the progress caption. Shared by the progress dialog and the terminal.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Percentage shown while the entry `index` (from 0) of `count` is begun: index * 100 / (count - 1),
// truncated, so the first entry shows 0 and the last 100. The only entry of a one-entry archive
// shows 100, since it is also the last.
int ProgressPercent(uint32_t index, uint32_t count);

// `title`, a blank, the percentage and "%".
std::string ProgressTitle(const std::string& title, uint32_t index, uint32_t count);

// `caption`, a blank, the entry's number counted from 1, "/" and the count.
std::string ProgressCaptionText(const std::string& caption, uint32_t index, uint32_t count);

}  // namespace velmora
