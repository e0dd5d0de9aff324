#include "job/files_opened_ahead.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "sys/polling_wait.h"

namespace velmora {

namespace {

// About a millisecond of yielding: an open takes a tenth of that where it is slow to answer.
constexpr int kYieldsBeforeSleeping = 2000;

}  // namespace

FilesOpenedAhead::FilesOpenedAhead(FileSystem& files, std::vector<std::string> paths)
    : files_(files), paths_(std::move(paths)), slots_(new Slot[paths_.size()]) {
  for (size_t t = 0; t < kThreads && t < paths_.size(); ++t) {
    try {
      threads_.emplace_back([this, t] { OpenEvery(t); });
    } catch (const std::system_error&) {
      // The paths of a thread that could not start are opened by the run itself.
    }
  }
}

FilesOpenedAhead::~FilesOpenedAhead() {
  stopping_.store(true);
  for (std::thread& thread : threads_) thread.join();
  for (size_t k = 0; k < paths_.size(); ++k) delete slots_[k].File.exchange(nullptr);
}

size_t FilesOpenedAhead::CloseBehind(size_t from, size_t taken) {
  for (; from + 1 < taken; ++from) delete slots_[from].File.exchange(nullptr);
  return from;
}

void FilesOpenedAhead::OpenEvery(size_t first) {
  size_t swept = 0;
  size_t k = first;
  try {
    while (!stopping_.load()) {
      const size_t taken = taken_.load();
      swept = CloseBehind(swept, taken);
      if (k >= paths_.size() || k >= taken + kMostAhead) {
        // Polled rather than woken: where the file service is slow, so is every wake-up, and
        // the run should never wait for one.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      // A path the run has gone past is not opened: its slot is behind this thread's sweep.
      if (k >= taken) {
        slots_[k].Begun.store(true);
        bool present = false;
        std::unique_ptr<Stream> file = files_.OpenSharedIfPresent(paths_[k], &present);
        if (present) slots_[k].File.store(file.release());
      }
      slots_[k].Done.store(true);
      k += kThreads;
    }
  } catch (...) {
    // Without memory to go on, the run opens the rest itself.
    if (k < paths_.size()) slots_[k].Done.store(true);
  }
}

std::unique_ptr<Stream> FilesOpenedAhead::Take(const std::string& path) {
  const size_t k = taken_.load();
  last_taken_ = SIZE_MAX;
  if (k >= paths_.size() || paths_[k] != path) return nullptr;
  // An open already begun ends sooner than one begun now would; the wait yields the processor
  // to it and to the file service, and sleeps once it has lasted (a file on a slow network).
  Slot& slot = slots_[k];
  if (slot.Begun.load()) WaitPolling([&slot] { return slot.Done.load(); }, kYieldsBeforeSleeping);
  std::unique_ptr<Stream> file;
  if (slot.Done.load()) file.reset(slot.File.exchange(nullptr));
  if (file) last_taken_ = k;
  // From here on the slot is behind the run: a file that arrives in it late is closed by the
  // threads, as is the one given back.
  taken_.store(k + 1);
  return file;
}

void FilesOpenedAhead::GiveBack(std::unique_ptr<Stream> file) {
  if (!file || last_taken_ == SIZE_MAX || threads_.empty()) return;  // it closes here
  slots_[last_taken_].File.store(file.release());
  last_taken_ = SIZE_MAX;
}

}  // namespace velmora
