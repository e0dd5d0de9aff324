// A thread's wait for another without being woken: where the system is slow to wake a thread
// (each wake-up a call to its file service), threads that hand work to each other poll.
#pragma once

#include <chrono>
#include <thread>

namespace velmora {

// Returns once `ready()` is true: yields the processor `yields` times first, for what ends within
// a fraction of a millisecond, then sleeps a millisecond at a time, for what lasts.
template <typename Ready>
void WaitPolling(Ready ready, int yields) {
  for (int round = 0; !ready(); ++round) {
    if (round < yields) {
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

}  // namespace velmora
