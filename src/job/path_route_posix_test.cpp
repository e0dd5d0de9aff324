#include "job/path_route.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

std::vector<std::string> Names(const PathParts& parts) { return parts.Names; }

TEST(ToolPathsPosixTest, AbsolutePathsTakenApart) {
  EXPECT_EQ(Names(AbsolutePathParts("mods/ui.vlm", "/home/me")),
            (std::vector<std::string>{"home", "me", "mods", "ui.vlm"}));
  EXPECT_EQ(Names(AbsolutePathParts("../x/./ui.wdf", "/home/me")),
            (std::vector<std::string>{"home", "x", "ui.wdf"}));
  EXPECT_EQ(Names(AbsolutePathParts("/../../a//b\\c", "/home/me")),
            (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(AbsolutePathParts("a", "/").Root, "/");
}

TEST(ToolPathsPosixTest, RoutesBetweenFolders) {
  struct Case {
    const char* From;
    const char* To;
    size_t Ups;
    std::vector<std::string> Down;
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
    ASSERT_TRUE(RouteBetween(AbsolutePathParts(c.From, "/"), AbsolutePathParts(c.To, "/"), &route));
    EXPECT_EQ(route.Ups, c.Ups) << c.From << " -> " << c.To;
    EXPECT_EQ(route.Down, c.Down) << c.From << " -> " << c.To;
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
