// The progress bar of the progress dialog. Its position counts the entries the worker has begun,
// and the close handler judges the run by it, so the range is 32 bits wide: a 16-bit maximum
// could never be reached by archives of more than 65,535 entries.
#pragma once

#include <windows.h>

#include <cstdint>

namespace velmora {

void SetProgressRange(HWND bar, uint32_t maximum);
void SetProgressPos(HWND bar, uint32_t position);

}  // namespace velmora
