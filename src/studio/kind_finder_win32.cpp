#include "studio/kind_finder_win32.h"

#include "studio/entry_kinds.h"

namespace velmora {

void KindFinder::Start(std::unique_ptr<Stream> reader, std::vector<WdfEntry> entries,
                       uint64_t file_size, HWND window, UINT message) {
  Stop();
  if (!reader) return;
  reader_ = std::move(reader);
  entries_ = std::move(entries);
  file_size_ = file_size;
  window_ = window;
  message_ = message;
  stop_ = false;
  thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
  if (!thread_) reader_.reset();
}

DWORD WINAPI KindFinder::Main(void* self) {
  auto* finder = static_cast<KindFinder*>(self);
  finder->kinds_ =
      ReadEntryKinds(*finder->reader_, finder->entries_, finder->file_size_, &finder->stop_);
  if (!finder->stop_) PostMessageW(finder->window_, finder->message_, 0, 0);
  return 0;
}

void KindFinder::Join() {
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  reader_.reset();
  entries_ = std::vector<WdfEntry>();
}

void KindFinder::Stop() {
  if (thread_) {
    stop_ = true;
    Join();
  }
  reader_.reset();
  entries_ = std::vector<WdfEntry>();
  kinds_ = std::vector<uint8_t>();
}

bool KindFinder::Take(std::vector<uint8_t>* kinds) {
  if (!thread_) return false;
  Join();
  *kinds = std::move(kinds_);
  kinds_ = std::vector<uint8_t>();
  return true;
}

}  // namespace velmora
