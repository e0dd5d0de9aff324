#include "testing/memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "sys/code_page.h"
#include "sys/sharing_rules.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// The most bytes one file may really hold: a write that would need more storage fails as a full
// disk instead of exhausting the test's memory (apparent sizes cover large files).
constexpr uint64_t kMaxStoredBytes = uint64_t{1} << 30;

bool Fail(unsigned long code) {
  SetLastSystemError(code);
  return false;
}

// The directory part of `path` without its final separator; empty when there is none.
std::string ParentOf(const std::string& path) {
  size_t slash = FindLastCharOf(path, "\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// True when the last character is a separator (not the second byte of a double-byte one).
bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && FindLastCharOf(path, "\\") == path.size() - 1;
}

// A directory path names the same directory with or without trailing separators.
std::string DirectoryKey(std::string path) {
  while (EndsWithSeparator(path)) path.pop_back();
  return path;
}

// A bare drive ("C:") or no directory part at all (the current directory) always exists.
bool IsImplicitDirectory(const std::string& dir) {
  return dir.empty() || (dir.size() == 2 && dir[1] == ':');
}

// Splits a name into whole characters of the code page, so that wildcards match characters.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> chars;
  for (size_t pos = 0; pos < text.size();) {
    size_t next = NextCharOffset(text, pos);
    chars.push_back(text.substr(pos, next - pos));
    pos = next;
  }
  return chars;
}

// '*' takes any run of characters, '?' exactly one. A mismatch goes back only to the last '*'
// seen, letting it take one character more: a pattern of many stars costs its length times the
// name's, where trying every split for every star would never end.
bool MatchesWildcards(const std::string& pattern_text, const std::string& name_text) {
  const std::vector<std::string> pattern = Characters(pattern_text);
  const std::vector<std::string> name = Characters(name_text);
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string::npos;
  size_t star_taken_to = 0;  // where the name stood behind the run that star takes so far
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == "*") {
      star = p++;
      star_taken_to = n;
    } else if (p < pattern.size() && (pattern[p] == "?" || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++star_taken_to;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == "*") ++p;
  return p == pattern.size();
}

}  // namespace

// A file and the sharing state of its open streams.
struct MemoryFileSystem::File : SharingCounts {
  std::string Bytes;
  std::string Flushed;  // the bytes a power cut leaves
  uint64_t ApparentSize = 0;
  bool ReadsFail = false;
  uint64_t ReadsFailFrom = 0;
  uint64_t ReadsFailUntil = UINT64_MAX;
  // Moves on every change of what the file reads as, so that a stream's version tells it.
  uint64_t Version = 0;
  uint64_t BytesRead = 0;

  uint64_t Size() const { return std::max<uint64_t>(Bytes.size(), ApparentSize); }
};

struct MemoryFileSystem::StreamShared {
  bool LimitWrites = false;
  uint64_t WritableBytes = 0;
  bool FailFlushes = false;
  unsigned long FlushError = 0;
  int OpenStreams = 0;
};

class MemoryFileSystem::MemoryStream final : public Stream {
 public:
  MemoryStream(std::shared_ptr<File> file, std::shared_ptr<StreamShared> shared, OpenMode mode)
      : file_(std::move(file)), shared_(std::move(shared)), mode_(mode) {
    file_->Count(mode_, +1);
    ++shared_->OpenStreams;
  }
  ~MemoryStream() override {
    file_->Count(mode_, -1);
    --shared_->OpenStreams;
  }

  size_t Read(void* buffer, size_t n) override {
    uint64_t end = file_->Size();
    bool fault =
        file_->ReadsFail && file_->ReadsFailFrom < end && position_ < file_->ReadsFailUntil;
    if (fault) end = file_->ReadsFailFrom;
    size_t count =
        position_ >= end ? 0 : static_cast<size_t>(std::min<uint64_t>(n, end - position_));
    const std::string& stored = file_->Bytes;
    size_t from_store =
        position_ >= stored.size()
            ? 0
            : static_cast<size_t>(std::min<uint64_t>(count, stored.size() - position_));
    if (from_store > 0) std::memcpy(buffer, stored.data() + position_, from_store);
    if (count > from_store)
      std::memset(static_cast<char*>(buffer) + from_store, 0, count - from_store);
    position_ += count;
    file_->BytesRead += count;
    if (count < n && fault) SetLastSystemError(SystemErrorReadFault());
    return count;
  }

  bool Write(const void* data, size_t n) override {
    if (!mode_.Write) return Fail(SystemErrorAccessDenied());
    size_t allowed = n;
    if (shared_->LimitWrites) {
      allowed = static_cast<size_t>(std::min<uint64_t>(n, shared_->WritableBytes));
    }
    if (position_ + allowed > kMaxStoredBytes) return Fail(SystemErrorDiskFull());
    std::string& stored = file_->Bytes;
    if (stored.size() < position_ + allowed) stored.resize(position_ + allowed, '\0');
    if (allowed > 0) std::memcpy(&stored[position_], data, allowed);
    ++file_->Version;
    position_ += allowed;
    if (shared_->LimitWrites) shared_->WritableBytes -= allowed;
    if (allowed < n) return Fail(SystemErrorDiskFull());
    return true;
  }

  bool Seek(uint64_t position) override {
    position_ = position;
    return true;
  }
  uint64_t Position() override { return position_; }
  bool Size(uint64_t* size) override {
    *size = file_->Size();
    return true;
  }
  bool Flush() override {
    if (shared_->FailFlushes) return Fail(shared_->FlushError);
    file_->Flushed = file_->Bytes;
    return true;
  }
  bool Version(FileVersion* version) override {
    version->File = reinterpret_cast<uintptr_t>(file_.get());
    version->Size = file_->Size();
    version->Written = file_->Version;
    return true;
  }

 private:
  std::shared_ptr<File> file_;
  std::shared_ptr<StreamShared> shared_;
  OpenMode mode_;
  uint64_t position_ = 0;
};

MemoryFileSystem::MemoryFileSystem() : shared_(std::make_shared<StreamShared>()) {}
MemoryFileSystem::~MemoryFileSystem() = default;

// --- Contents ------------------------------------------------------------------------------

void MemoryFileSystem::PutFile(const std::string& path, const std::string& bytes) {
  std::string parent = ParentOf(path);
  if (!IsImplicitDirectory(parent)) PutDirectory(parent);
  std::shared_ptr<File>& file = files_[path];
  // The record stays the same, so streams already open on the file see the new contents.
  if (!file) file = std::make_shared<File>();
  file->Bytes = bytes;
  file->Flushed = bytes;
  file->ApparentSize = 0;
  ++file->Version;
}

void MemoryFileSystem::PutDirectory(const std::string& path) {
  std::string dir = DirectoryKey(path);
  while (!IsImplicitDirectory(dir)) {
    directories_.insert(dir);
    dir = ParentOf(dir);
  }
}

bool MemoryFileSystem::HasFile(const std::string& path) const { return files_.count(path) > 0; }

bool MemoryFileSystem::HasDirectory(const std::string& path) const {
  return directories_.count(DirectoryKey(path)) > 0;
}

std::string MemoryFileSystem::FileBytes(const std::string& path) const {
  auto found = files_.find(path);
  return found == files_.end() ? std::string() : found->second->Bytes;
}

std::vector<std::string> MemoryFileSystem::FilePaths() const {
  std::vector<std::string> paths;
  for (const auto& entry : files_) paths.push_back(entry.first);
  return paths;
}

void MemoryFileSystem::SetApparentSize(const std::string& path, uint64_t size) {
  auto found = files_.find(path);
  if (found == files_.end()) throw std::logic_error("SetApparentSize: no file " + path);
  found->second->ApparentSize = size;
  ++found->second->Version;
}

// --- Faults --------------------------------------------------------------------------------

void MemoryFileSystem::FailOpensOf(const std::string& path, unsigned long error_code) {
  failing_opens_[path] = error_code;
}

void MemoryFileSystem::LimitWrittenBytes(uint64_t bytes) {
  shared_->LimitWrites = true;
  shared_->WritableBytes = bytes;
}

void MemoryFileSystem::FailReadsOfFrom(const std::string& path, uint64_t offset, uint64_t until) {
  auto found = files_.find(path);
  if (found == files_.end()) throw std::logic_error("FailReadsOfFrom: no file " + path);
  found->second->ReadsFail = true;
  found->second->ReadsFailFrom = offset;
  found->second->ReadsFailUntil = until;
  ++found->second->Version;
}

void MemoryFileSystem::FailFlushes(unsigned long error_code) {
  shared_->FailFlushes = true;
  shared_->FlushError = error_code;
}

void MemoryFileSystem::FailRenames() { fail_renames_ = true; }

void MemoryFileSystem::CutPower() {
  for (auto& entry : files_) entry.second->Bytes = entry.second->Flushed;
}

void MemoryFileSystem::FailMakeDirectory(const std::string& path) {
  failing_directories_.insert(DirectoryKey(path));
}

int MemoryFileSystem::OpenStreamCount() const { return shared_->OpenStreams; }

uint64_t MemoryFileSystem::BytesReadFrom(const std::string& path) const {
  auto found = files_.find(path);
  return found == files_.end() ? 0 : found->second->BytesRead;
}

// --- Opening -------------------------------------------------------------------------------

enum class Disposition { kOpenExisting, kCreateAlways, kCreateNew };

struct MemoryFileSystem::OpenRequest {
  OpenMode Mode;
  Disposition Creation;
};

// One open as the system performs it: the injected fault, the path, the sharing check, then
// the disposition.
std::unique_ptr<Stream> MemoryFileSystem::Open(const std::string& path,
                                               const OpenRequest& request) {
  auto failing = failing_opens_.find(path);
  if (failing != failing_opens_.end()) {
    Fail(failing->second);
    return nullptr;
  }
  if (directories_.count(DirectoryKey(path)) > 0 || EndsWithSeparator(path)) {
    Fail(SystemErrorAccessDenied());
    return nullptr;
  }
  auto found = files_.find(path);
  if (found == files_.end()) {
    if (request.Creation == Disposition::kOpenExisting) {
      Fail(SystemErrorNotFound());
      return nullptr;
    }
    std::string parent = ParentOf(path);
    if (!IsImplicitDirectory(parent) && directories_.count(parent) == 0) {
      Fail(SystemErrorPathNotFound());
      return nullptr;
    }
    found = files_.emplace(path, std::make_shared<File>()).first;
  } else {
    if (found->second->ConflictsWith(request.Mode)) {
      Fail(SystemErrorSharingViolation());
      return nullptr;
    }
    if (request.Creation == Disposition::kCreateNew) {
      Fail(SystemErrorAlreadyExists());
      return nullptr;
    }
    if (request.Creation == Disposition::kCreateAlways) {
      found->second->Bytes.clear();
      found->second->ApparentSize = 0;
      ++found->second->Version;
    }
  }
  return std::make_unique<MemoryStream>(found->second, shared_, request.Mode);
}

std::unique_ptr<Stream> MemoryFileSystem::OpenShared(const std::string& path) {
  return Open(path, {kSharedRead, Disposition::kOpenExisting});
}
std::unique_ptr<Stream> MemoryFileSystem::OpenDenyWrite(const std::string& path) {
  return Open(path, {kDenyWriteRead, Disposition::kOpenExisting});
}
std::unique_ptr<Stream> MemoryFileSystem::OpenExclusive(const std::string& path) {
  return Open(path, {kExclusive, Disposition::kOpenExisting});
}
std::unique_ptr<Stream> MemoryFileSystem::CreateExclusive(const std::string& path) {
  return Open(path, {kExclusive, Disposition::kCreateAlways});
}
std::unique_ptr<Stream> MemoryFileSystem::CreateNewExclusive(const std::string& path) {
  return Open(path, {kExclusive, Disposition::kCreateNew});
}

// --- Directory operations ------------------------------------------------------------------

// The directory search: entries of the path's directory whose names match its last part, in
// name order; the first one found decides.
bool MemoryFileSystem::FileIsPresent(const std::string& path) {
  size_t slash = FindLastCharOf(path, "\\");
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string pattern = path.substr(dir.size());
  if (pattern.empty()) return false;
  if (FindLastCharOf(pattern, "*?") == std::string::npos) {
    return files_.count(path) > 0;
  }
  std::map<std::string, bool> entries;  // name -> is a directory
  for (const auto& file : files_) {
    if (file.first.compare(0, dir.size(), dir) == 0 &&
        FindLastCharOf(file.first.substr(dir.size()), "\\") == std::string::npos) {
      entries[file.first.substr(dir.size())] = false;
    }
  }
  for (const std::string& directory : directories_) {
    if (directory.size() > dir.size() && directory.compare(0, dir.size(), dir) == 0 &&
        FindLastCharOf(directory.substr(dir.size()), "\\") == std::string::npos) {
      entries[directory.substr(dir.size())] = true;
    }
  }
  for (const auto& entry : entries) {
    if (MatchesWildcards(pattern, entry.first)) return !entry.second;
  }
  return false;
}

bool MemoryFileSystem::ListFiles(const std::string& directory, std::vector<std::string>* names) {
  if (!DirectoryExists(directory)) return Fail(SystemErrorPathNotFound());
  const std::string dir = DirectoryKey(directory);
  const std::string prefix = dir.empty() ? dir : dir + "\\";
  names->clear();
  for (const auto& file : files_) {  // sorted by path, so the names come out sorted too
    if (file.first.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string name = file.first.substr(prefix.size());
    if (FindLastCharOf(name, "\\") == std::string::npos) names->push_back(name);
  }
  return true;
}

bool MemoryFileSystem::DirectoryExists(const std::string& path) {
  std::string dir = DirectoryKey(path);
  return IsImplicitDirectory(dir) ? dir.size() == 2 : directories_.count(dir) > 0;
}

bool MemoryFileSystem::MakeDirectory(const std::string& path) {
  std::string dir = DirectoryKey(path);
  if (dir.empty() || failing_directories_.count(dir) > 0) return Fail(SystemErrorAccessDenied());
  if (IsImplicitDirectory(dir) || directories_.count(dir) > 0 || files_.count(dir) > 0) {
    return Fail(SystemErrorAlreadyExists());
  }
  std::string parent = ParentOf(dir);
  if (!IsImplicitDirectory(parent) && directories_.count(parent) == 0) {
    return Fail(SystemErrorPathNotFound());
  }
  directories_.insert(dir);
  created_directories_.push_back(dir);
  return true;
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
  auto found = files_.find(path);
  if (found == files_.end()) {
    return Fail(directories_.count(DirectoryKey(path)) > 0 ? SystemErrorAccessDenied()
                                                           : SystemErrorNotFound());
  }
  if (found->second->IsOpen()) return Fail(SystemErrorSharingViolation());
  files_.erase(found);
  return true;
}

bool MemoryFileSystem::RenameReplacing(const std::string& from, const std::string& to) {
  if (fail_renames_) return Fail(SystemErrorAccessDenied());
  auto source = files_.find(from);
  if (source == files_.end()) return Fail(SystemErrorNotFound());
  if (source->second->IsOpen()) return Fail(SystemErrorSharingViolation());
  if (from == to) return true;
  if (directories_.count(DirectoryKey(to)) > 0) return Fail(SystemErrorAccessDenied());
  std::string parent = ParentOf(to);
  if (!IsImplicitDirectory(parent) && directories_.count(parent) == 0) {
    return Fail(SystemErrorPathNotFound());
  }
  auto target = files_.find(to);
  if (target != files_.end()) {
    // The system refuses to replace a file in use as it refuses to write over a protected one.
    if (target->second->IsOpen()) return Fail(SystemErrorAccessDenied());
    files_.erase(target);
  }
  std::shared_ptr<File> file = source->second;
  files_.erase(source);
  files_[to] = file;
  return true;
}

}  // namespace velmora
