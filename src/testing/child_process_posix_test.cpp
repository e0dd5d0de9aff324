// The guard of forked test processes: a child that would never end is ended when its guard goes
// out of scope, a wait gives up and kills, and the body's result is the exit code.
#include "testing/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

TEST(ChildProcessTest, ChildThatWouldNeverEndIsEndedWithItsGuard) {
  Pipe alive;  // the child holds its sending end for as long as it lives
  {
    ChildProcess child([&] {
      alive.CloseReadEnd();
      pause();
      return 0;
    });
    ASSERT_TRUE(child.Started());
    alive.CloseWriteEnd();
    EXPECT_FALSE(child.Ended());
  }
  const auto start = Clock::now();
  EXPECT_FALSE(alive.Receive(std::chrono::seconds(20)));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10)) << "the child still holds its end";
}

TEST(ChildProcessTest, WaitGivesUpAndKillsAndTheBodysResultIsTheExitCode) {
  int status = 0;
  ChildProcess hanging([] {
    pause();
    return 0;
  });
  EXPECT_FALSE(hanging.Wait(&status, std::chrono::milliseconds(100)));
  ASSERT_TRUE(hanging.Ended(&status));
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

  ChildProcess done([] { return 7; });
  ASSERT_TRUE(done.Wait(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << "status " << status;

  ChildProcess thrown([]() -> int { throw std::runtime_error("in the child"); });
  ASSERT_TRUE(thrown.Wait(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 125) << "status " << status;
}

}  // namespace
}  // namespace velmora
