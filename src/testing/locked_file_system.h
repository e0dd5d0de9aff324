// A file system whose every call, and every call of the streams it opens, holds one lock: a
// memory file system then serves a run that opens files on threads of its own (OpensPayAhead)
// and reads its source on a thread of its own (ReadsFromThreads).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

class LockedFileSystem final : public FileSystem {
 public:
  explicit LockedFileSystem(FileSystem& real) : real_(real) {}

  // Held while the test itself changes the real file system during a run.
  std::unique_lock<std::mutex> Hold() { return std::unique_lock<std::mutex>(mutex_); }
  // Streams open at once, at most, since the start.
  int MostOpenAtOnce() {
    std::lock_guard<std::mutex> lock(mutex_);
    return most_open_;
  }

  std::unique_ptr<Stream> OpenShared(const std::string& path) override {
    return Opened([&] { return real_.OpenShared(path); });
  }
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& path) override {
    return Opened([&] { return real_.OpenDenyWrite(path); });
  }
  std::unique_ptr<Stream> OpenExclusive(const std::string& path) override {
    return Opened([&] { return real_.OpenExclusive(path); });
  }
  std::unique_ptr<Stream> CreateExclusive(const std::string& path) override {
    return Opened([&] { return real_.CreateExclusive(path); });
  }
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& path) override {
    return Opened([&] { return real_.CreateNewExclusive(path); });
  }
  std::unique_ptr<Stream> OpenSharedIfPresent(const std::string& path, bool* present) override {
    return Opened([&] { return real_.OpenSharedIfPresent(path, present); });
  }
  bool FileIsPresent(const std::string& path) override {
    return Locked([&] { return real_.FileIsPresent(path); });
  }
  bool FileIsPresentForReading(const std::string& path) override {
    return Locked([&] { return real_.FileIsPresentForReading(path); });
  }
  bool DirectoryExists(const std::string& path) override {
    return Locked([&] { return real_.DirectoryExists(path); });
  }
  bool MakeDirectory(const std::string& path) override {
    return Locked([&] { return real_.MakeDirectory(path); });
  }
  bool RemoveFile(const std::string& path) override {
    return Locked([&] { return real_.RemoveFile(path); });
  }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return Locked([&] { return real_.RenameReplacing(from, to); });
  }
  bool ListFiles(const std::string& directory, std::vector<std::string>* names) override {
    return Locked([&] { return real_.ListFiles(directory, names); });
  }
  bool HeldFilesStayInPlace() const override { return real_.HeldFilesStayInPlace(); }
  bool HeldFileStillAt(const std::string& path, Stream& held) override {
    return Locked(
        [&] { return real_.HeldFileStillAt(path, *static_cast<LockedStream&>(held).inner_); });
  }
  bool OpensPayAhead() const override { return true; }

 private:
  class LockedStream final : public Stream {
   public:
    LockedStream(LockedFileSystem& files, std::unique_ptr<Stream> inner)
        : files_(files), inner_(std::move(inner)) {}
    ~LockedStream() override {
      std::lock_guard<std::mutex> lock(files_.mutex_);
      inner_.reset();
      --files_.open_;
    }
    size_t Read(void* buffer, size_t n) override {
      return files_.Locked([&] { return inner_->Read(buffer, n); });
    }
    size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
      return files_.Locked([&] { return inner_->ReadAt(offset, buffer, n); });
    }
    bool ReadsFromThreads() const override { return true; }
    bool Write(const void* data, size_t n) override {
      return files_.Locked([&] { return inner_->Write(data, n); });
    }
    bool Seek(uint64_t position) override {
      return files_.Locked([&] { return inner_->Seek(position); });
    }
    uint64_t Position() override {
      return files_.Locked([&] { return inner_->Position(); });
    }
    bool Size(uint64_t* size) override {
      return files_.Locked([&] { return inner_->Size(size); });
    }
    bool Flush() override {
      return files_.Locked([&] { return inner_->Flush(); });
    }
    bool Version(FileVersion* version) override {
      return files_.Locked([&] { return inner_->Version(version); });
    }
    bool Identity(FileVersion* identity) override {
      return files_.Locked([&] { return inner_->Identity(identity); });
    }

   private:
    friend class LockedFileSystem;
    LockedFileSystem& files_;
    std::unique_ptr<Stream> inner_;
  };

  template <typename Call>
  auto Locked(Call call) -> decltype(call()) {
    std::lock_guard<std::mutex> lock(mutex_);
    return call();
  }
  template <typename Open>
  std::unique_ptr<Stream> Opened(Open open) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::unique_ptr<Stream> inner = open();
    if (!inner) return nullptr;
    if (++open_ > most_open_) most_open_ = open_;
    return std::make_unique<LockedStream>(*this, std::move(inner));
  }

  FileSystem& real_;
  std::mutex mutex_;
  int open_ = 0;
  int most_open_ = 0;
};

}  // namespace velmora
