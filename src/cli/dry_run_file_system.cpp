#include "cli/dry_run_file_system.h"

#include <algorithm>

#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

struct DryRunFileSystem::Sink {
  uint64_t Size = 0;
  bool Open = true;
};

namespace {

bool Fail(unsigned long code) {
  SetLastSystemError(code);
  return false;
}

std::unique_ptr<Stream> FailOpen(unsigned long code) {
  SetLastSystemError(code);
  return nullptr;
}

// The directory a path lies in: its directory part without the final separator. The system
// separates folders with '/' as with '\\', and so does the question asked here.
std::string ParentOf(const std::string& path) {
  std::string trimmed = path;
  if (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  const size_t last = FindLastCharOf(trimmed, "\\/:");
  std::string parent = last == std::string::npos ? std::string() : trimmed.substr(0, last + 1);
  if (parent.size() > 1 && (parent.back() == '\\' || parent.back() == '/') &&
      parent[parent.size() - 2] != ':') {
    parent.pop_back();
  }
  return parent == trimmed ? std::string() : parent;
}

// Counts what is written and remembers where, without keeping a byte.
class SinkStream final : public Stream {
 public:
  explicit SinkStream(std::shared_ptr<DryRunFileSystem::Sink> sink) : sink_(std::move(sink)) {}
  ~SinkStream() override { sink_->Open = false; }
  size_t Read(void*, size_t) override { return 0; }
  bool Write(const void*, size_t n) override {
    position_ += n;
    sink_->Size = std::max(sink_->Size, position_);
    return true;
  }
  bool Seek(uint64_t position) override {
    position_ = position;
    return true;
  }
  uint64_t Position() override { return position_; }
  bool Size(uint64_t* size) override {
    *size = sink_->Size;
    return true;
  }
  // Nothing reaches a disk in a dry run, so there is nothing to wait for.
  bool Flush() override { return true; }

 private:
  std::shared_ptr<DryRunFileSystem::Sink> sink_;
  uint64_t position_ = 0;
};

// A real file opened as the run opens it, with every write refused.
class ReadOnlyStream final : public Stream {
 public:
  explicit ReadOnlyStream(std::unique_ptr<Stream> real) : real_(std::move(real)) {}
  size_t Read(void* buffer, size_t n) override { return real_->Read(buffer, n); }
  bool Write(const void*, size_t) override { return Fail(SystemErrorAccessDenied()); }
  bool Seek(uint64_t position) override { return real_->Seek(position); }
  uint64_t Position() override { return real_->Position(); }
  bool Size(uint64_t* size) override { return real_->Size(size); }
  bool Flush() override { return true; }

 private:
  std::unique_ptr<Stream> real_;
};

}  // namespace

bool DryRunFileSystem::HeldBySink(const std::string& path) const {
  auto found = sinks_.find(path);
  return found != sinks_.end() && found->second->Open;
}

uint64_t DryRunFileSystem::CreatedSize(const std::string& path) const {
  auto found = sinks_.find(path);
  return found == sinks_.end() ? 0 : found->second->Size;
}

std::unique_ptr<Stream> DryRunFileSystem::OpenShared(const std::string& path) {
  // A file being created is held without sharing; one that exists only here has no bytes to
  // read back, which no run asks for.
  if (HeldBySink(path)) return FailOpen(SystemErrorSharingViolation());
  if (removed_.count(path) != 0 || created_.count(path) != 0) {
    return FailOpen(SystemErrorNotFound());
  }
  return real_.OpenShared(path);
}

std::unique_ptr<Stream> DryRunFileSystem::OpenDenyWrite(const std::string& path) {
  if (HeldBySink(path)) return FailOpen(SystemErrorSharingViolation());
  if (removed_.count(path) != 0 || created_.count(path) != 0) {
    return FailOpen(SystemErrorNotFound());
  }
  return real_.OpenDenyWrite(path);
}

std::unique_ptr<Stream> DryRunFileSystem::OpenExclusive(const std::string& path) {
  if (HeldBySink(path)) return FailOpen(SystemErrorSharingViolation());
  if (removed_.count(path) != 0 || created_.count(path) != 0) {
    return FailOpen(SystemErrorNotFound());
  }
  std::unique_ptr<Stream> real = real_.OpenExclusive(path);
  if (!real) return nullptr;
  return std::make_unique<ReadOnlyStream>(std::move(real));
}

std::unique_ptr<Stream> DryRunFileSystem::CreateSink(const std::string& path) {
  if (HeldBySink(path)) return FailOpen(SystemErrorSharingViolation());
  if (DirectoryExists(path)) return FailOpen(SystemErrorAccessDenied());
  const std::string parent = ParentOf(path);
  if (!parent.empty() && !DirectoryExists(parent)) return FailOpen(SystemErrorPathNotFound());
  // An existing file would be truncated: it must at least open as the run opens it.
  if (created_.count(path) == 0 && removed_.count(path) == 0 && real_.FileIsPresent(path)) {
    if (!real_.OpenExclusive(path)) return nullptr;
  }
  auto sink = std::make_shared<Sink>();
  sinks_[path] = sink;
  created_.insert(path);
  removed_.erase(path);
  return std::make_unique<SinkStream>(sink);
}

std::unique_ptr<Stream> DryRunFileSystem::CreateExclusive(const std::string& path) {
  return CreateSink(path);
}

std::unique_ptr<Stream> DryRunFileSystem::CreateNewExclusive(const std::string& path) {
  if (FileIsPresent(path)) return FailOpen(SystemErrorAlreadyExists());
  return CreateSink(path);
}

bool DryRunFileSystem::FileIsPresent(const std::string& path) {
  if (created_.count(path) != 0) return true;
  if (removed_.count(path) != 0) return false;
  return real_.FileIsPresent(path);
}

bool DryRunFileSystem::FileIsPresentForReading(const std::string& path) {
  if (created_.count(path) != 0) return true;
  if (removed_.count(path) != 0) return false;
  return real_.FileIsPresentForReading(path);
}

bool DryRunFileSystem::DirectoryExists(const std::string& path) {
  std::string trimmed = path;
  if (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  return directories_.count(trimmed) != 0 || real_.DirectoryExists(path);
}

bool DryRunFileSystem::MakeDirectory(const std::string& path) {
  if (DirectoryExists(path) || FileIsPresent(path)) return Fail(SystemErrorAlreadyExists());
  const std::string parent = ParentOf(path);
  if (!parent.empty() && !DirectoryExists(parent)) return Fail(SystemErrorPathNotFound());
  std::string trimmed = path;
  if (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  directories_.insert(trimmed);
  made_directories_.push_back(trimmed);
  return true;
}

bool DryRunFileSystem::RemoveFile(const std::string& path) {
  if (HeldBySink(path)) return Fail(SystemErrorSharingViolation());
  if (!FileIsPresent(path)) return Fail(SystemErrorNotFound());
  if (created_.erase(path) == 0) removed_.insert(path);
  return true;
}

bool DryRunFileSystem::RenameReplacing(const std::string& from, const std::string& to) {
  if (HeldBySink(from)) return Fail(SystemErrorSharingViolation());
  if (HeldBySink(to)) return Fail(SystemErrorAccessDenied());
  if (!FileIsPresent(from)) return Fail(SystemErrorNotFound());
  if (created_.erase(from) == 0) removed_.insert(from);
  auto sink = sinks_.find(from);
  if (sink != sinks_.end()) {
    sinks_[to] = sink->second;
    sinks_.erase(sink);
  }
  created_.insert(to);
  removed_.erase(to);
  return true;
}

}  // namespace velmora
