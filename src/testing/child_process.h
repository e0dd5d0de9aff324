// A process forked by a test, and the pipes it talks over, released on every path: a failed
// assertion leaves the test through its scope, and the destructors end the child and close the
// pipes. A child left running would wait forever on a pipe and keep the test run's output open,
// so that the run hangs instead of failing.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

namespace velmora {

// How long a test waits for its child to answer or to end before it calls that a failure.
constexpr std::chrono::milliseconds kChildPatience{30000};

// One byte at a time from one process to the other: "go on", "I am here". A socket pair, so
// that sending to a process that has ended fails instead of raising SIGPIPE.
class Pipe {
 public:
  Pipe() {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pipe() {
    CloseReadEnd();
    CloseWriteEnd();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool IsOpen() const { return fds_[0] >= 0 && fds_[1] >= 0; }
  bool Send() {
    const char byte = 0;
    return fds_[1] >= 0 && send(fds_[1], &byte, 1, MSG_NOSIGNAL) == 1;
  }
  // False when nothing came within `patience`, or the other side closed its end.
  bool Receive(std::chrono::milliseconds patience = kChildPatience) {
    if (fds_[0] < 0) return false;
    pollfd ready{fds_[0], POLLIN, 0};
    int polled;
    do {
      polled = poll(&ready, 1, static_cast<int>(patience.count()));
    } while (polled < 0 && errno == EINTR);
    char byte;
    return polled == 1 && read(fds_[0], &byte, 1) == 1;
  }
  // Each process closes the end it does not use, so that a reader sees the writer's end.
  void CloseReadEnd() { Close(&fds_[0]); }
  void CloseWriteEnd() { Close(&fds_[1]); }

 private:
  static void Close(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  int fds_[2];
};

// A forked copy of the test process that runs `body` and ends with its result, skipping the
// exit handlers and destructors that belong to the parent. Killed (SIGKILL) and reaped when the
// object goes out of scope, unless it has been reaped already; on Linux it is also killed when
// the test process dies, even by a signal.
class ChildProcess {
 public:
  explicit ChildProcess(const std::function<int()>& body) : pid_(fork()) {
    if (pid_ != 0) return;
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    int code = 125;
    try {
      code = body();
    } catch (...) {
    }
    _exit(code);
  }
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  // True once the child has ended, with its wait status in `*status`; does not wait.
  bool Ended(int* status = nullptr) {
    if (pid_ > 0 && !reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    if (reaped_ && status) *status = status_;
    return reaped_;
  }

  // Waits until the child ends, at most `patience`; a child that does not end by then is
  // killed, and the answer is false.
  bool Wait(int* status, std::chrono::milliseconds patience = kChildPatience) {
    const auto give_up = std::chrono::steady_clock::now() + patience;
    while (pid_ > 0 && !Ended(status)) {
      if (std::chrono::steady_clock::now() >= give_up) {
        Kill();
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return reaped_;
  }

  // Ends the child at once and reaps it.
  void Kill() {
    if (pid_ <= 0 || reaped_) return;
    kill(pid_, SIGKILL);
    while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }

 private:
  pid_t pid_;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace velmora
