#include "job/path_route.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

struct PartsCase {
  const char* Path;
  const char* Root;
  std::vector<std::string> Names;
};

TEST(ToolPathsWin32Test, AbsolutePathsOfEveryForm) {
  const std::vector<PartsCase> cases = {
      {"mods\\ui.vlm", "C:", {"work", "mods", "ui.vlm"}},
      {"..\\x/ui.wdf", "C:", {"x", "ui.wdf"}},
      {"\\data\\ui.wdf", "C:", {"data", "ui.wdf"}},
      {"D:\\data\\ui.wdf", "D:", {"data", "ui.wdf"}},
      {"c:ui.wdf", "C:", {"work", "ui.wdf"}},  // the current drive's current directory
      {"D:ui.wdf", "D:", {"ui.wdf"}},
      {"\\\\srv\\share\\a\\ui.wdf", "\\\\srv\\share", {"a", "ui.wdf"}},
  };
  for (const PartsCase& c : cases) {
    const PathParts parts = AbsolutePathParts(c.Path, "C:\\work");
    EXPECT_EQ(parts.Root, c.Root) << c.Path;
    EXPECT_EQ(parts.Names, c.Names) << c.Path;
  }
}

TEST(ToolPathsWin32Test, RoutesFoldCaseAndStopAtOtherDrives) {
  PathRoute route;
  ASSERT_TRUE(RouteBetween(AbsolutePathParts("C:\\Proj\\Scripts", "C:\\"),
                           AbsolutePathParts("c:\\proj\\data\\ui.wdf", "C:\\"), &route));
  EXPECT_EQ(route.Ups, 1u);
  EXPECT_EQ(route.Down, (std::vector<std::string>{"data", "ui.wdf"}));
  EXPECT_FALSE(RouteBetween(AbsolutePathParts("C:\\proj", "C:\\"),
                            AbsolutePathParts("D:\\proj\\ui.wdf", "C:\\"), &route));
  EXPECT_EQ(JoinPath("out", "a.bin"), "out\\a.bin");
  EXPECT_EQ(JoinPath("D:", "a.bin"), "D:a.bin");
  EXPECT_EQ(LastPathName("D:ui.wdf"), "ui.wdf");
}

}  // namespace
}  // namespace velmora
