#include "sys/code_location.h"

#include <dlfcn.h>
#include <errno.h>

namespace velmora {

CodeLocation LocateCode(const void* address) {
  CodeLocation location;
  Dl_info where = {};
  if (address != nullptr && dladdr(address, &where) != 0 && where.dli_fname != nullptr) {
    const std::string full = where.dli_fname;
    location.ModuleName = full.substr(full.find_last_of('/') + 1);
    location.Offset =
        reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(where.dli_fbase);
  } else {
    location.ModuleName = program_invocation_short_name;
  }
  return location;
}

}  // namespace velmora
