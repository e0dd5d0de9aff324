// The target system's sharing check, modelled for the file layers that have none of their own
// (the POSIX files of one process, the memory file system): an open fails when it wants an
// access that an open stream denies, or denies an access that an open stream holds.
#pragma once

namespace velmora {

// Access wanted and sharing granted by one open.
struct OpenMode {
  bool read;
  bool write;
  bool share_read;
  bool share_write;
};

constexpr OpenMode kSharedRead{true, false, true, true};
constexpr OpenMode kDenyWriteRead{true, false, true, false};
constexpr OpenMode kExclusive{true, true, false, false};

// How many open streams of one file want each access and deny each sharing.
struct SharingCounts {
  int opens = 0;
  int readers = 0;
  int writers = 0;
  int deny_read = 0;
  int deny_write = 0;

  bool IsOpen() const { return opens > 0; }
  bool ConflictsWith(const OpenMode& mode) const {
    return (mode.read && deny_read > 0) || (mode.write && deny_write > 0) ||
           (readers > 0 && !mode.share_read) || (writers > 0 && !mode.share_write);
  }
  void Count(const OpenMode& mode, int delta) {
    opens += delta;
    readers += mode.read ? delta : 0;
    writers += mode.write ? delta : 0;
    deny_read += mode.share_read ? 0 : delta;
    deny_write += mode.share_write ? 0 : delta;
  }
};

}  // namespace velmora
