// The operating system's files: handles with the sharing modes the program relies on.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <thread>

#include "sys/code_page.h"
#include "sys/file_system.h"

namespace velmora {

namespace {

// The system's read at an offset, below ReadFile (ntdll's NtReadFile), and its status codes.
struct IoStatus {
  union {
    LONG Status;
    void* Pointer;
  };
  ULONG_PTR Information;
};
using NtReadFileCall = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, IoStatus*, void*, ULONG,
                                     LARGE_INTEGER*, ULONG*);
constexpr LONG kStatusEndOfFile = static_cast<LONG>(0xC0000011);

// A procedure of the system's own library, by name; null where it has none.
template <typename Call>
Call SystemProcedure(const char* name) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll ? reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)))
               : nullptr;
}

DWORD SystemErrorOfStatus(LONG status) {
  using Call = ULONG(WINAPI*)(LONG);
  static const Call to_error = SystemProcedure<Call>("RtlNtStatusToDosError");
  return to_error ? to_error(status) : ERROR_READ_FAULT;
}

class Win32Stream final : public Stream {
 public:
  explicit Win32Stream(HANDLE handle) : handle_(handle) {}
  ~Win32Stream() override {
    DWORD saved = GetLastError();  // closing must not replace the reason of an earlier failure
    if (flushing_.joinable()) flushing_.join();
    CloseHandle(handle_);
    SetLastError(saved);
  }

  size_t Read(void* buffer, size_t n) override {
    size_t done = 0;
    while (done < n) {
      DWORD chunk = n - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n - done);
      DWORD got = 0;
      if (!ReadFile(handle_, static_cast<char*>(buffer) + done, chunk, &got, nullptr)) break;
      if (got == 0) break;  // the end of the file
      done += got;
    }
    return done;
  }

  // The system's own read at an offset, below ReadFile: one call, where a seek and a read are
  // two, and ReadFile given an offset also reports a completion, a call to the file service per
  // read under some emulations. (Reading ahead on a thread is not offered here: measured, the
  // thread took more from the run's other work than it gave.)
  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    static const NtReadFileCall nt_read_file = SystemProcedure<NtReadFileCall>("NtReadFile");
    if (!nt_read_file) return Stream::ReadAt(offset, buffer, n);
    size_t done = 0;
    while (done < n) {
      const ULONG chunk = n - done > 0x10000000 ? 0x10000000 : static_cast<ULONG>(n - done);
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(offset + done);
      IoStatus status = {};
      const LONG result = nt_read_file(handle_, nullptr, nullptr, nullptr, &status,
                                       static_cast<char*>(buffer) + done, chunk, &at, nullptr);
      if (result == kStatusEndOfFile) break;  // the end of the file is no failure
      if (result < 0) {
        SetLastError(SystemErrorOfStatus(result));
        break;
      }
      if (status.Information == 0) break;
      done += status.Information;
    }
    return done;
  }

  bool Write(const void* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      DWORD chunk = n - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n - done);
      DWORD put = 0;
      if (!WriteFile(handle_, static_cast<const char*>(data) + done, chunk, &put, nullptr)) {
        return false;
      }
      if (put == 0) {
        SetLastError(ERROR_DISK_FULL);
        return false;
      }
      done += put;
      written_since_flush_ahead_ += put;
    }
    return true;
  }

  bool Seek(uint64_t position) override {
    if (position > static_cast<uint64_t>(LLONG_MAX)) {
      SetLastError(ERROR_NEGATIVE_SEEK);
      return false;
    }
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != FALSE;
  }

  uint64_t Position() override {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER now;
    now.QuadPart = 0;
    SetFilePointerEx(handle_, zero, &now, FILE_CURRENT);
    return static_cast<uint64_t>(now.QuadPart);
  }

  bool Size(uint64_t* size) override {
    LARGE_INTEGER got;
    if (!GetFileSizeEx(handle_, &got)) return false;
    *size = static_cast<uint64_t>(got.QuadPart);
    return true;
  }
  bool Flush() override {
    if (flushing_.joinable()) flushing_.join();
    if (flush_ahead_error_ != 0) {
      // What the system reported once may not be reported again: every flush fails from then on.
      SetLastError(flush_ahead_error_);
      return false;
    }
    return FlushFileBuffers(handle_) != FALSE;
  }
  // The system has no call that starts the write-back alone, so a flush is started on a thread
  // of its own, one at a time, while the program goes on writing: the last flush then waits for
  // little. Small files are left to that last flush, which a thread would only delay.
  void FlushAhead() override {
    if (written_since_flush_ahead_ < kWrittenBeforeFlushAhead) return;
    if (flushing_.joinable()) {
      if (!flushed_ahead_.load()) return;  // the last one is still under way
      flushing_.join();
    }
    written_since_flush_ahead_ = 0;
    flushed_ahead_ = false;
    try {
      flushing_ = std::thread([this] {
        if (!FlushFileBuffers(handle_)) flush_ahead_error_ = GetLastError();
        flushed_ahead_ = true;
      });
    } catch (...) {
      flushed_ahead_ = true;  // no thread: the last flush does it all
    }
  }

  // Size and times only, each read from the open file itself (no volume query): a file that
  // another takes the place of by a rename or a copy brings a change time of its own.
  bool Version(FileVersion* version) override {
    FILE_STANDARD_INFO standard;
    FILE_BASIC_INFO times;
    if (!GetFileInformationByHandleEx(handle_, FileStandardInfo, &standard, sizeof standard) ||
        !GetFileInformationByHandleEx(handle_, FileBasicInfo, &times, sizeof times)) {
      return false;
    }
    version->Size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    version->Written = static_cast<uint64_t>(times.LastWriteTime.QuadPart);
    version->Changed = static_cast<uint64_t>(times.ChangeTime.QuadPart);
    return true;
  }

  // A file on a disk, as opposed to a device or a pipe.
  bool IsDiskFile() const { return GetFileType(handle_) == FILE_TYPE_DISK; }

  // The volume's serial number and the file's index on it: the pair the system promises unique
  // while the file is open.
  bool Identity(FileVersion* identity) override {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_, &info)) return false;
    *identity = FileVersion();
    identity->Volume = info.dwVolumeSerialNumber;
    identity->File = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
  }

 private:
  static constexpr uint64_t kWrittenBeforeFlushAhead = 8u << 20;

  HANDLE handle_;
  uint64_t written_since_flush_ahead_ = 0;
  std::thread flushing_;  // the flush started ahead, if any
  std::atomic<bool> flushed_ahead_{true};
  DWORD flush_ahead_error_ = 0;  // set by the flushing thread, read once it has ended
};

// Paths are texts of the active code page; the system takes them as UTF-16, whatever its own
// ANSI code page.
std::wstring Wide(const std::string& path) { return WideFromActiveCodePage(path); }

std::unique_ptr<Win32Stream> OpenFile(const std::string& path, DWORD access, DWORD share,
                                      DWORD disposition) {
  HANDLE handle = CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32Stream>(handle);
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<Stream> OpenShared(const std::string& path) override {
    return OpenFile(path, GENERIC_READ, kShareReadWrite, OPEN_EXISTING);
  }
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override {
    return OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  }
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override {
    return OpenFile(path, kReadWrite, 0, OPEN_EXISTING);
  }
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override {
    return OpenFile(path, kReadWrite, 0, CREATE_ALWAYS);
  }
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override {
    return OpenFile(path, kReadWrite, 0, CREATE_NEW);
  }

  bool FileIsPresent(const std::string& path) override {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  // A disk file that opens is one the directory search finds, so the search, which costs as
  // much as the open, is made only where the open cannot tell: after a failed open, to tell a
  // missing file from one that will not open, and for a device (a name such as NUL), which no
  // search finds.
  std::unique_ptr<Stream> OpenSharedIfPresent(const std::string& path, bool* present) override {
    std::unique_ptr<Win32Stream> file =
        OpenFile(path, GENERIC_READ, kShareReadWrite, OPEN_EXISTING);
    if (!file) {
      const DWORD code = GetLastError();
      *present = FileIsPresent(path);
      SetLastError(code);
      return nullptr;
    }
    *present = file->IsDiskFile() || FileIsPresent(path);
    if (!*present) return nullptr;
    return file;
  }
  bool DirectoryExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  bool MakeDirectory(const std::string& path) override {
    return CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
  }
  bool RemoveFile(const std::string& path) override {
    return DeleteFileW(Wide(path).c_str()) != FALSE;
  }
  // Files are opened without FILE_SHARE_DELETE: an open file can be neither deleted nor renamed.
  bool HeldFilesStayInPlace() const override { return true; }
  // An open asks the system's file service in several round trips, each a wait when the service
  // is busy, while a small file's bytes take one read.
  bool OpensPayAhead() const override { return true; }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    // Write-through: the call returns only when the new name is on the disk.
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  // A name with characters the active code page lacks comes back with '?' in their place, which
  // names no file: callers that open it get the system's own refusal.
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override {
    std::string pattern = directory;
    if (pattern.empty() ||
        (pattern.back() != '\\' && pattern.back() != '/' && pattern.back() != ':')) {
      pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    names->clear();
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        names->push_back(ActiveCodePageFromWide(found.cFileName));
    } while (FindNextFileW(search, &found));
    const DWORD code = GetLastError();
    FindClose(search);
    if (code != ERROR_NO_MORE_FILES) {
      SetLastError(code);
      return false;
    }
    std::sort(names->begin(), names->end());
    return true;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem* file_system = new Win32FileSystem;
  return *file_system;
}

}  // namespace velmora
