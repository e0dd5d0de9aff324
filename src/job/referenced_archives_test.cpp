// The kept indexes of other archives: used while the archive stays as it was, read anew once it
// has been rewritten in the middle of a run.
#include "job/referenced_archives.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/pack_run_fixture.h"

namespace velmora {
namespace {

using pack_run_testing::Entries;
using pack_run_testing::MakeArchive;
using pack_run_testing::PackRunFixture;

// How the other archive is rewritten during the run, and whether the run holds it open.
struct Rewrite {
  bool SameSize;
  bool HeldFilesStay;
};

class ReferencedArchivesTest : public PackRunFixture,
                               public ::testing::WithParamInterface<Rewrite> {};

// Entry 1 of the other archive moves when it is rewritten: a kept index of the old archive would
// take the bytes now at its old place.
TEST_P(ReferencedArchivesTest, ArchiveRewrittenDuringTheRunIsReadAnewAndOtherwiseNot) {
  const std::string other = "D:\\proj\\data\\x.wdf";
  files.SetHeldFilesStayInPlace(GetParam().HeldFilesStay);
  files.PutFile(other, MakeArchive({{1, "AAAA"}, {2, "BBBB"}}));
  const std::string rewritten =
      MakeArchive({{2, GetParam().SameSize ? "CCCC" : "CCCCCC"}, {1, "DDDD"}});
  std::vector<uint64_t> read_before_entry;
  view.OnReport = [&](uint32_t index) {
    read_before_entry.push_back(files.BytesReadFrom(other));
    if (index == 1) files.PutFile(other, rewritten);
  };
  SetUpJob(MakeArchive({{0x10, "s"}, {0x20, "s"}, {0x30, "s"}, {0x40, "s"}}),
           "@00000010=x.wdf/@1\n@00000020=x.wdf/@1\n@00000030=x.wdf/@1\n");
  Run();
  EXPECT_EQ(ExpectWritten(),
            (Entries{{0x10, "AAAA"}, {0x20, "DDDD"}, {0x30, "DDDD"}, {0x40, "s"}}));
  ASSERT_EQ(read_before_entry.size(), 4u);
  // The header and the index, then the entry; after the rewrite all of them again; then the
  // entry alone, found in the index kept since.
  EXPECT_GT(read_before_entry[1] - read_before_entry[0], 4u);
  EXPECT_GT(read_before_entry[2] - read_before_entry[1], 4u);
  EXPECT_EQ(read_before_entry[3] - read_before_entry[2], 4u);
}

INSTANTIATE_TEST_SUITE_P(SameOrOtherSize, ReferencedArchivesTest,
                         ::testing::Values(Rewrite{true, false}, Rewrite{false, false},
                                           Rewrite{true, true}, Rewrite{false, true}),
                         [](const ::testing::TestParamInfo<Rewrite>& info) {
                           return std::string(info.param.SameSize ? "SameSize" : "OtherSize") +
                                  (info.param.HeldFilesStay ? "HeldOpen" : "OpenedAnew");
                         });

}  // namespace
}  // namespace velmora
