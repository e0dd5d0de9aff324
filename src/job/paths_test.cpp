#include "job/paths.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(PathPartsTest, DirectoryPartRunsToTheLastBackslashOrColon) {
  EXPECT_EQ(DirectoryPart("D:\\proj\\ui.vlm"), "D:\\proj\\");
  EXPECT_EQ(DirectoryPart("D:\\proj\\"), "D:\\proj\\");
  EXPECT_EQ(DirectoryPart("D:ui.vlm"), "D:");
  EXPECT_EQ(DirectoryPart("D:\\a:b"), "D:\\a:");
  EXPECT_EQ(DirectoryPart("ui.vlm"), "");
  EXPECT_EQ(DirectoryPart(""), "");
  EXPECT_EQ(DirectoryPart("a/b/c.vlm"), "");  // a slash is no separator here
}

TEST(PathPartsTest, FileNamePartIsTheRest) {
  EXPECT_EQ(FileNamePart("D:\\proj\\ui.vlm"), "ui.vlm");
  EXPECT_EQ(FileNamePart("D:\\proj\\"), "");
  EXPECT_EQ(FileNamePart("D:ui.vlm"), "ui.vlm");
  EXPECT_EQ(FileNamePart("ui.vlm"), "ui.vlm");
}

TEST(PathPartsTest, ExtensionComesFromTheLastDotOfTheFileName) {
  EXPECT_EQ(Extension("D:\\proj\\gfx.wdf"), ".wdf");
  EXPECT_EQ(Extension("D:\\proj\\gfx.old.wdf"), ".wdf");
  EXPECT_EQ(Extension("D:\\proj.v2\\gfx"), "");  // a dot in a directory name does not count
  EXPECT_EQ(Extension("D:\\proj\\gfx."), ".");
  EXPECT_EQ(Extension("D:\\proj\\.wdf"), ".wdf");
  EXPECT_EQ(Extension("gfx"), "");
}

TEST(PathPartsTest, ReplaceExtension) {
  EXPECT_EQ(ReplaceExtension("job.vlm", ".wdf"), "job.wdf");
  EXPECT_EQ(ReplaceExtension("job.vlm", ""), "job");
  EXPECT_EQ(ReplaceExtension("job", ".wdf"), "job.wdf");
  EXPECT_EQ(ReplaceExtension("job.A.vlm", ".wdf"), "job.A.wdf");
  EXPECT_EQ(ReplaceExtension("", ".wdf"), ".wdf");
}

TEST(PathPartsTest, OneLevelUpDropsTheLastNameAndKeepsRoots) {
  EXPECT_EQ(OneLevelUp("D:\\a\\b\\"), "D:\\a\\");
  EXPECT_EQ(OneLevelUp("D:\\a\\"), "D:\\");
  EXPECT_EQ(OneLevelUp("C:\\"), "C:\\");
  EXPECT_EQ(OneLevelUp("D:\\a\\..\\"), "D:\\a\\");  // text only: ".." is just a name
  EXPECT_EQ(OneLevelUp("\\\\server\\share\\"), "\\\\server\\");
  EXPECT_EQ(OneLevelUp("\\\\"), "\\\\");
  EXPECT_EQ(OneLevelUp("D:\\a\\\\"), "D:\\a\\\\");  // a backslash behind a backslash stays
  EXPECT_EQ(OneLevelUp("a\\"), "");
  EXPECT_EQ(OneLevelUp("\\"), "");
  EXPECT_EQ(OneLevelUp(""), "");
}

struct Resolved {
  bool Ok;
  std::string Dir;
};

Resolved Resolve(const std::string& base, const std::string& relative) {
  std::string dir = base;
  bool ok = ResolveRelativePath(dir, relative);
  return {ok, dir};
}

void ExpectMovesTo(const std::string& base, const std::string& relative,
                   const std::string& expected) {
  Resolved r = Resolve(base, relative);
  EXPECT_TRUE(r.Ok) << "\"" << relative << "\" from " << base << " refused";
  EXPECT_EQ(r.Dir, expected) << "\"" << relative << "\" from " << base;
}

void ExpectRefused(const std::string& base, const std::string& relative) {
  Resolved r = Resolve(base, relative);
  EXPECT_FALSE(r.Ok) << "\"" << relative << "\" from " << base << " accepted as " << r.Dir;
  EXPECT_EQ(r.Dir, base) << "base changed by the refused \"" << relative << "\"";
}

TEST(ResolveRelativePathTest, AcceptedFormsMoveUpOnTheTextAloneAndStopAtARoot) {
  ExpectMovesTo("D:\\a\\b\\c\\", "", "D:\\a\\b\\c\\");
  ExpectMovesTo("D:\\a\\b\\c\\", "..", "D:\\a\\b\\");
  ExpectMovesTo("D:\\a\\b\\c\\", "..\\", "D:\\a\\b\\");
  ExpectMovesTo("D:\\a\\b\\c\\", "..\\..", "D:\\a\\");
  ExpectMovesTo("D:\\a\\b\\c\\", "..\\..\\", "D:\\a\\");
  ExpectMovesTo("D:\\a\\b\\c\\", "..\\..\\..\\", "D:\\");
  ExpectMovesTo("D:\\a\\..\\b\\", "..\\..", "D:\\a\\");
  ExpectMovesTo("C:\\", "..", "C:\\");
  ExpectMovesTo("D:\\a\\", "..\\..\\..\\..", "D:\\");
}

TEST(ResolveRelativePathTest, RefusedFormsLeaveTheBase) {
  for (const char* relative : {"data\\", "..\\data", "...\\", "..\\\\", ".\\", ".", "D:\\data\\",
                               "\\..", " ..", "..\\..\\x", "..\\.", "..x", "../"}) {
    ExpectRefused("D:\\a\\b\\c\\", relative);
  }
}

TEST(ResolveRelativePathTest, BaseWithoutASeparatorCannotMoveUp) {
  ExpectRefused("abc", "..");
  ExpectRefused("a\\", "..\\..");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A #SrcFile or #DestFile value is joined to its folder as written, whatever it holds, unless a
// slash separates folders: then a path from the root is taken as it is, and a drive or a network
// share, which such a system lacks, is refused.
TEST(FileKeyPathTest, JoinedAsWrittenUnlessASlashSeparatesFolders) {
  const char kDir[] = "\\home\\me\\";
  const struct {
    const char* Value;
    const char* Joined;       // without slashes as separators (Windows)
    const char* WithSlashes;  // nullptr: refused
  } cases[] = {
      {"ui.wdf", "\\home\\me\\ui.wdf", "\\home\\me\\ui.wdf"},
      {"sub\\ui.wdf", "\\home\\me\\sub\\ui.wdf", "\\home\\me\\sub\\ui.wdf"},
      {"/srv/ui.wdf", "\\home\\me\\/srv/ui.wdf", "\\srv\\ui.wdf"},
      {"\\ui.wdf", "\\home\\me\\\\ui.wdf", "\\home\\me\\\\ui.wdf"},
      {"C:\\out\\ui.wdf", "\\home\\me\\C:\\out\\ui.wdf", nullptr},
      {"z:ui.wdf", "\\home\\me\\z:ui.wdf", nullptr},
      {"\\\\server\\share\\ui.wdf", "\\home\\me\\\\\\server\\share\\ui.wdf", nullptr},
      {"1:ui.wdf", "\\home\\me\\1:ui.wdf", "\\home\\me\\1:ui.wdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    std::string path = "unchanged";
    SetSlashSeparatesFolders(false);
    ASSERT_TRUE(FileKeyPath(kDir, c.Value, &path));
    EXPECT_EQ(path, c.Joined);
    SetSlashSeparatesFolders(true);
    path = "unchanged";
    EXPECT_EQ(FileKeyPath(kDir, c.Value, &path), c.WithSlashes != nullptr);
    EXPECT_EQ(path, c.WithSlashes ? c.WithSlashes : "unchanged");
    SetSlashSeparatesFolders(false);
  }
}

}  // namespace
}  // namespace velmora
