#include "cli/tool_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

std::vector<std::string> Names(const PathParts& parts) { return parts.names; }

TEST(ToolPathsPosixTest, AbsolutePathsTakenApart) {
  EXPECT_EQ(Names(AbsolutePathParts("mods/ui.vlm", "/home/me")),
            (std::vector<std::string>{"home", "me", "mods", "ui.vlm"}));
  EXPECT_EQ(Names(AbsolutePathParts("../x/./ui.wdf", "/home/me")),
            (std::vector<std::string>{"home", "x", "ui.wdf"}));
  EXPECT_EQ(Names(AbsolutePathParts("/../../a//b\\c", "/home/me")),
            (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(AbsolutePathParts("a", "/").root, "/");
}

TEST(ToolPathsPosixTest, RoutesBetweenFolders) {
  struct Case {
    const char* from;
    const char* to;
    size_t ups;
    std::vector<std::string> down;
  };
  const std::vector<Case> cases = {
      {"/p", "/p/ui.wdf", 0, {"ui.wdf"}},
      {"/p/scripts", "/p/data/ui.wdf", 1, {"data", "ui.wdf"}},
      {"/p/a/b", "/p/ui.wdf", 2, {"ui.wdf"}},
      {"/p/a", "/q/a/x", 2, {"q", "a", "x"}},
      {"/P", "/p/x", 1, {"p", "x"}},  // names keep their case here
  };
  for (const Case& c : cases) {
    PathRoute route;
    ASSERT_TRUE(RouteBetween(AbsolutePathParts(c.from, "/"), AbsolutePathParts(c.to, "/"), &route));
    EXPECT_EQ(route.ups, c.ups) << c.from << " -> " << c.to;
    EXPECT_EQ(route.down, c.down) << c.from << " -> " << c.to;
  }
}

TEST(ToolPathsPosixTest, JoinAndLastName) {
  EXPECT_EQ(JoinPath("out", "a.bin"), "out/a.bin");
  EXPECT_EQ(JoinPath("out/", "a.bin"), "out/a.bin");
  EXPECT_EQ(JoinPath("", "a.bin"), "a.bin");
  EXPECT_EQ(LastPathName("x/y/ui.wdf"), "ui.wdf");
  EXPECT_EQ(LastPathName("ui"), "ui");
}

}  // namespace
}  // namespace velmora
