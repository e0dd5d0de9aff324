// The Studio offered in Explorer's "Open with" for .wdf files, for this user only (under
// HKEY_CURRENT_USER), switched on and off from the Studio's File menu. It adds a program id of
// its own beside whatever opens .wdf files already and never touches the .vlm file type that
// Velmora.exe registers.
#pragma once

namespace velmora {

bool StudioOfferedForArchives();
// True when every key was written (on) or nothing of the Studio's is left (off).
bool OfferStudioForArchives(bool on);

}  // namespace velmora
