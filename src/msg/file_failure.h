// The reason given when a file cannot be opened, created or renamed. Usually the system's own
// text; a file that another program holds open is named as in use, in the catalogue's words, so
// that the user knows which program to close.
#pragma once

#include <string>

namespace velmora {

// Whether FileFailureReason names a held file. Velmora.exe leaves it off: its boxes end with the
// system's text, which names the sharing violation. The terminal tools and the Studio turn it on.
void SetHeldFileNamed(bool named);

// The reason of the failure that the calling thread's last error describes, for the file shown
// as `shown_path`: the catalogue's sentence that the file is in use when another program holds
// it and held files are named, the system's text otherwise. The last error stays as it was.
std::string FileFailureReason(const std::string& shown_path);

// The same, with a held file always named: for the steps no earlier version of Velmora.exe had
// (the backup and the swap of a run in place, the replacement of an existing target).
std::string HeldFileFailureReason(const std::string& shown_path);

}  // namespace velmora
