// The target system's sharing check, modelled for the file layers that have none of their own
// (the POSIX files of one process, the memory file system): an open fails when it wants an
// access that an open stream denies, or denies an access that an open stream holds.
#pragma once

namespace velmora {

// Access wanted and sharing granted by one open.
struct OpenMode {
  bool Read;
  bool Write;
  bool ShareRead;
  bool ShareWrite;
};

constexpr OpenMode kSharedRead{true, false, true, true};
constexpr OpenMode kDenyWriteRead{true, false, true, false};
constexpr OpenMode kExclusive{true, true, false, false};

// How many open streams of one file want each access and deny each sharing.
struct SharingCounts {
  int Opens = 0;
  int Readers = 0;
  int Writers = 0;
  int DenyRead = 0;
  int DenyWrite = 0;

  bool IsOpen() const { return Opens > 0; }
  bool ConflictsWith(const OpenMode& mode) const {
    return (mode.Read && DenyRead > 0) || (mode.Write && DenyWrite > 0) ||
           (Readers > 0 && !mode.ShareRead) || (Writers > 0 && !mode.ShareWrite);
  }
  void Count(const OpenMode& mode, int delta) {
    Opens += delta;
    Readers += mode.Read ? delta : 0;
    Writers += mode.Write ? delta : 0;
    DenyRead += mode.ShareRead ? 0 : delta;
    DenyWrite += mode.ShareWrite ? 0 : delta;
  }
};

}  // namespace velmora
