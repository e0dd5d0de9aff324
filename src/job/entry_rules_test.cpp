// The entry rules: what each kind of rule writes, every refusal with its exact words, and the
// search of the loaded source index.
#include "job/entry_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "testing/gbk_lead_bytes.h"
#include "testing/pack_run_fixture.h"

namespace velmora {
namespace {

using pack_run_testing::CountingStream;
using pack_run_testing::Entries;
using pack_run_testing::Le32;
using pack_run_testing::MakeArchive;
using pack_run_testing::PackRunFixture;
using pack_run_testing::SystemText;

TEST(FindEntryInSourceTest, TheLookupAnswersAsTheScanFromTheStart) {
  std::mt19937 random(12345);
  JobState job;
  for (int k = 0; k < 2000; ++k) {
    job.SourceIndex.push_back(
        {static_cast<uint32_t>(random() % 300), static_cast<uint32_t>(k), 1000u + k, 0});
  }
  JobState scanned;
  scanned.SourceIndex = job.SourceIndex;
  BuildSourceIdLookup(job);
  ASSERT_TRUE(job.SourceIds.Built);
  for (uint32_t count : {0u, 1u, 150u, 2000u}) {
    for (uint32_t id = 0; id < 310; ++id) {
      WdfEntry by_lookup{id, 1, 2, 3};
      WdfEntry by_scan{id, 1, 2, 3};
      const bool found = FindEntryInSource(job, by_lookup, count, id);
      ASSERT_EQ(found, FindEntryInSource(scanned, by_scan, count, id))
          << "id " << id << ", count " << count;
      EXPECT_EQ(by_lookup.Offset, by_scan.Offset) << "id " << id << ", count " << count;
      EXPECT_EQ(by_lookup.Size, by_scan.Size);
      EXPECT_EQ(by_lookup.Id, id);
      EXPECT_EQ(by_lookup.Space, 3u);
    }
  }
}

// The table of rule lines by id finds, for every id, asked in any order, the line the script's
// own lookup finds: over names that only the system's comparison tells apart from entry keys too.
TEST(EntryRuleLinesTest, FindsTheLineTheScriptsLookupFinds) {
  [[maybe_unused]] GbkLeadBytes gbk;
  // Names that leave the table in use: entry keys, other plain names, names that begin with
  // another character than '@' to the system too; then names the system may find equal to an
  // entry key, which make the table give way to the script's lookup.
  const std::vector<std::string> forms = {
      "@%08X",        "@%08x",         " @%08X",     "@%07X",        "X@%08X",
      "#RunEnd",      "\xD7\xA2%08X",  "@%04X-%04X", "'@%08X",       "-@%08X",
      "\xA3\xC0%08X", "\xA3\xBB@%08X", "\x01@%08X",  "@%06X\xB0\x61"};
  std::mt19937 random(77);
  for (int round = 0; round < 60; ++round) {
    const size_t kinds = round < 20 ? 2 : round < 40 ? 7 : forms.size();
    std::string text;
    for (int k = 0; k < 40; ++k) {
      const uint32_t id = random() % 24;
      char name[32];
      const std::string& form = forms[random() % kinds];
      std::snprintf(name, sizeof name, form.c_str(),
                    form.find("%04X") != std::string::npos ? id >> 16 : id, id & 0xFFFF);
      text += std::string(name) + (random() % 5 == 0 ? "" : "=value") + "\r\n";
      if (random() % 8 == 0) text += "; a comment\r\n\xA3\xBB\xD7\xA2=\xD7\xA2\r\n";
    }
    const ScriptLines script(text);
    EntryRuleLines lines;
    std::vector<uint32_t> ids;
    for (uint32_t id = 0; id < 26; ++id) ids.push_back(id);
    if (round % 2 == 1) std::shuffle(ids.begin(), ids.end(), random);
    for (uint32_t id : ids) {
      ASSERT_EQ(lines.Find(script, id), FindScriptKey(script, EntryKey(id)))
          << "id " << id << " in round " << round << " of the script:\n"
          << text;
    }
  }
}

// The source used below: five entries; 0x30 is empty.
const Entries kSource = {
    {0x10, "ten"}, {0x20, "twenty"}, {0x30, ""}, {0x40, "forty"}, {0xA1B2, "a1b2"}};

class EntryRulesTest : public PackRunFixture {
 protected:
  // Runs the source above under `rules` and returns the new archive's entries.
  Entries RunRules(const std::string& rules) {
    SetUpJob(MakeArchive(kSource), rules);
    Run();
    return ExpectWritten();
  }
  // Runs a source of one entry 0x10 under `rule` (the value of its line), expecting failure.
  void ExpectRuleFails(const std::string& rule, const std::string& error) {
    SetUpJob(MakeArchive({{0x10, "ten"}}), "@00000010=" + rule + "\n");
    Run();
    ExpectNothingWritten(error);
    EXPECT_EQ(job.Script->UsedMarkAt(0), 1);
  }
};

TEST_F(EntryRulesTest, EmptyOrCommentOnlyValueKeepsTheEntryAndMarksTheLine) {
  EXPECT_EQ(RunRules("@00000010=\n@00000020=   ; nothing to do\n"), kSource);
  EXPECT_EQ(job.Script->UsedMarkAt(0), 1);
  EXPECT_EQ(job.Script->UsedMarkAt(1), 1);
  EXPECT_EQ(job.ErrorRule, "@00000020=");
}

TEST_F(EntryRulesTest, InternalReferenceTakesTheBytesOfTheFirstEntryWithTheId) {
  EXPECT_EQ(
      RunRules("@00000010=@a1b2\n@00000020=@000000000000A1B2\n@00000040=@00000040\n"),
      (Entries{{0x10, "a1b2"}, {0x20, "a1b2"}, {0x30, ""}, {0x40, "forty"}, {0xA1B2, "a1b2"}}));
}

TEST_F(EntryRulesTest, HexadecimalIdComesBeforeTheWordDelete) {
  SetUpJob(MakeArchive({{1, "one"}, {0xDE, "de"}, {3, "three"}, {4, "four"}}),
           "@00000001=@DE\n@00000003=@delete\n@00000004=@Delete   ; gone\n");
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{1, "de"}, {0xDE, "de"}}));
  EXPECT_EQ(job.TargetCount, 2u);
}

TEST_F(EntryRulesTest, ReferencesFollowRedirectionsInIndexOrder) {
  // X refers to Y, Z to X. In the order X, Y, Z, Z finds X already redirected to Y's bytes.
  const std::string rules = "@00000001=@00000002\n@00000003=@00000001\n";
  SetUpJob(MakeArchive({{1, "X"}, {2, "Y"}, {3, "Z"}}), rules);
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{1, "Y"}, {2, "Y"}, {3, "Y"}}));
}

TEST_F(EntryRulesTest, ReferenceToALaterRedirectedEntryTakesItsOwnSourceBytes) {
  // The order Z, X, Y: when Z is resolved, X has not been redirected yet.
  const std::string rules = "@00000001=@00000002\n@00000003=@00000001\n";
  SetUpJob(MakeArchive({{3, "Z"}, {1, "X"}, {2, "Y"}}), rules);
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{3, "X"}, {1, "Y"}, {2, "Y"}}));
}

TEST_F(EntryRulesTest, ReferenceToADeletedEntryStillFindsItsBytes) {
  EXPECT_EQ(RunRules("@00000010=@Delete\n@00000020=@10\n"),
            (Entries{{0x20, "ten"}, {0x30, ""}, {0x40, "forty"}, {0xA1B2, "a1b2"}}));
}

TEST_F(EntryRulesTest, DuplicateIdsShareTheRuleAndReferencesFindTheFirst) {
  SetUpJob(MakeArchive({{7, "first"}, {8, "eight"}, {7, "second"}, {9, "nine"}}),
           "@00000009=@7\n@00000008=@Delete\n@00000008=never reached\n");
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{7, "first"}, {7, "second"}, {9, "first"}}));
  EXPECT_EQ(job.Script->UsedMarkAt(2), 0) << "only the first line of an id is ever used";
}

TEST_F(EntryRulesTest, RuleOfADuplicatedIdAppliesToEveryEntryWithIt) {
  SetUpJob(MakeArchive({{7, "first"}, {8, "eight"}, {7, "second"}}), "@00000007=@8\n");
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{7, "eight"}, {8, "eight"}, {7, "eight"}}));
}

TEST_F(EntryRulesTest, EmptyEntriesShareTheOffsetOfTheNextOne) {
  const Entries source = {{1, ""}, {2, "b"}, {3, ""}, {4, ""}, {5, "eee"}};
  SetUpJob(MakeArchive(source), "@00000002=@3\n");
  Run();
  // ExpectWritten checks the offsets: 12, 12, 12, 12, 12.
  EXPECT_EQ(ExpectWritten(), (Entries{{1, ""}, {2, ""}, {3, ""}, {4, ""}, {5, "eee"}}));
}

class InvalidInternalIdTest : public EntryRulesTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(InvalidInternalIdTest, NamesTheTextAfterTheAt) {
  const std::string text = GetParam();
  ExpectRuleFails("@" + text, Message(MessageKey::MsgInternalIdInvalid, {text}));
}

INSTANTIATE_TEST_SUITE_P(Texts, InvalidInternalIdTest,
                         ::testing::Values("1A2B3C4D5", "-1", " A1B2", "0xA1B2", "", "Deleted"));

TEST_F(EntryRulesTest, MissingInternalIdIsNamedAsWritten) {
  ExpectRuleFails("@00000099", Message(MessageKey::MsgInternalIdNotFound, {"00000099"}));
  EXPECT_EQ(job.ErrorRule, "@00000010=@00000099");
}

TEST_F(EntryRulesTest, ValueEndingWithASlashIsAnInvalidReference) {
  ExpectRuleFails("pics/ ; note", Message(MessageKey::MsgExternalRefInvalid, {"pics/"}));
  EXPECT_EQ(job.ErrorRule, "@00000010=pics/");
}

TEST_F(EntryRulesTest, EntryOfAnotherArchiveIsFoundBesideTheSourceArchive) {
  files.PutFile("D:\\proj\\data\\sub\\x.wdf",
                MakeArchive({{0x11, "wrong"}, {0x10, "from x"}, {0x10, "second"}}));
  EXPECT_EQ(
      RunRules("@00000020=sub\\x.wdf/@10\n@00000040=sub\\x.wdf/@00000011\n"),
      (Entries{{0x10, "ten"}, {0x20, "from x"}, {0x30, ""}, {0x40, "wrong"}, {0xA1B2, "a1b2"}}));
}

TEST_F(EntryRulesTest, SourceArchiveItselfCanBeReferencedAsAnotherArchive) {
  EXPECT_EQ(
      RunRules("@00000010=ui.wdf/@40\n"),
      (Entries{{0x10, "forty"}, {0x20, "twenty"}, {0x30, ""}, {0x40, "forty"}, {0xA1B2, "a1b2"}}));
}

TEST_F(EntryRulesTest, InvalidIdOfAnotherArchiveTouchesNoFile) {
  files.FailOpensOf("D:\\proj\\data\\x.wdf", SystemErrorAccessDenied());
  ExpectRuleFails("x.wdf/@zz",
                  Message(MessageKey::MsgExternalIdInvalid, {"D:\\proj\\data\\x.wdf", "zz"}));
}

TEST_F(EntryRulesTest, MissingArchiveIsNamedWithItsFullPath) {
  ExpectRuleFails("..\\x.wdf/@1",
                  Message(MessageKey::MsgRefArchiveNotFound, {"D:\\proj\\data\\..\\x.wdf"}));
}

TEST_F(EntryRulesTest, ArchiveThatCannotBeOpenedGivesTheSystemsReason) {
  files.PutFile("D:\\proj\\data\\x.wdf", MakeArchive({{1, "one"}}));
  files.FailOpensOf("D:\\proj\\data\\x.wdf", SystemErrorSharingViolation());
  ExpectRuleFails("x.wdf/@1",
                  Message(MessageKey::MsgRefArchiveOpenFailed,
                          {"D:\\proj\\data\\x.wdf", SystemText(SystemErrorSharingViolation())}));
}

// The new archive is written beside the target, so nothing is under the target's name during
// the run; a rule naming it, as an archive or as a whole file, is still refused as an open of a
// held file.
struct TargetReference {
  const char* Rule;
  MessageKey Refusal;
};

class TargetReferenceTest : public PackRunFixture,
                            public ::testing::WithParamInterface<TargetReference> {};

TEST_P(TargetReferenceTest, TheTargetBeingWrittenCannotBeReferenced) {
  const std::string target = "D:\\proj\\data\\new.wdf";
  SetUpJob(MakeArchive({{0x10, "ten"}}), GetParam().Rule);
  job.ScriptDir = "D:\\proj\\data\\";
  job.TargetPath = target;
  Run();
  const std::string named =
      GetParam().Refusal == MessageKey::MsgRefFileOpenFailed ? "D:\\proj\\data\\NEW.WDF" : target;
  ExpectNothingWritten(
      Message(GetParam().Refusal, {named, SystemText(SystemErrorSharingViolation())}));
  EXPECT_FALSE(files.HasFile(target));
}

INSTANTIATE_TEST_SUITE_P(AsArchiveOrWholeFile, TargetReferenceTest,
                         ::testing::Values(TargetReference{"@00000010=new.wdf/@10\n",
                                                           MessageKey::MsgRefArchiveOpenFailed},
                                           TargetReference{"@00000010=NEW.WDF\n",
                                                           MessageKey::MsgRefFileOpenFailed}));

TEST_F(EntryRulesTest, ArchiveWithoutAValidHeaderIsRefused) {
  files.PutFile("D:\\proj\\data\\x.wdf", "PFDW" + Le32(5) + Le32(12));
  ExpectRuleFails("x.wdf/@1", Message(MessageKey::MsgRefArchiveNotWdf, {"D:\\proj\\data\\x.wdf"}));
}

TEST_F(EntryRulesTest, IdMissingFromTheOtherArchiveIsNamedAsWritten) {
  files.PutFile("D:\\proj\\data\\x.wdf", MakeArchive({{1, "one"}}));
  ExpectRuleFails("x.wdf/@0002",
                  Message(MessageKey::MsgRefArchiveIdNotFound, {"D:\\proj\\data\\x.wdf", "0002"}));
}

// Reads of another archive that stop early: inside the entry's bytes, or inside the index while
// it is searched.
class ShortReadOfArchiveTest : public EntryRulesTest,
                               public ::testing::WithParamInterface<uint64_t> {};

TEST_P(ShortReadOfArchiveTest, IsAnInvalidArchive) {
  files.PutFile("D:\\proj\\data\\x.wdf", MakeArchive({{1, "0123456789"}, {2, "abcdef"}}));
  files.FailReadsOfFrom("D:\\proj\\data\\x.wdf", GetParam());
  ExpectRuleFails("x.wdf/@2", Message(MessageKey::MsgRefArchiveNotWdf, {"D:\\proj\\data\\x.wdf"}));
}

// The archive: header 12, data 12 to 28 (entry 2 from 22), index 28 to 60.
INSTANTIATE_TEST_SUITE_P(Offsets, ShortReadOfArchiveTest, ::testing::Values(25, 50));

TEST_F(EntryRulesTest, ExternalFileIsTakenWholeFromTheScriptsDirectory) {
  files.PutFile("D:\\proj\\pics\\title.bmp", std::string(100, 'p'));
  files.PutFile("D:\\proj\\empty.bin", "");
  EXPECT_EQ(RunRules("@00000010=pics\\title.bmp\n@00000020=empty.bin\n"),
            (Entries{{0x10, std::string(100, 'p')},
                     {0x20, ""},
                     {0x30, ""},
                     {0x40, "forty"},
                     {0xA1B2, "a1b2"}}));
}

TEST_F(EntryRulesTest, MissingExternalFileIsNamedWithItsFullPath) {
  files.PutDirectory("D:\\proj\\pics");
  ExpectRuleFails("pics", Message(MessageKey::MsgRefFileNotFound, {"D:\\proj\\pics"}));
}

TEST_F(EntryRulesTest, ExternalFileThatCannotBeOpenedGivesTheSystemsReason) {
  files.PutFile("D:\\proj\\a.bmp", "bytes");
  files.FailOpensOf("D:\\proj\\a.bmp", SystemErrorAccessDenied());
  ExpectRuleFails("a.bmp", Message(MessageKey::MsgRefFileOpenFailed,
                                   {"D:\\proj\\a.bmp", SystemText(SystemErrorAccessDenied())}));
}

TEST_F(EntryRulesTest, ExternalFileThatCannotBeReadWholeFails) {
  files.PutFile("D:\\proj\\a.bmp", std::string(70000, 'a'));
  files.FailReadsOfFrom("D:\\proj\\a.bmp", 65000);
  ExpectRuleFails("a.bmp", Message(MessageKey::MsgRefFileReadFailed, {"D:\\proj\\a.bmp"}));
}

TEST_F(EntryRulesTest, ExternalFileOfFourGibibytesIsNotCutTo32Bits) {
  files.PutFile("D:\\proj\\huge.bin", "x");
  files.SetApparentSize("D:\\proj\\huge.bin", 0x100000000ull + 5);
  ExpectRuleFails("huge.bin", Message(MessageKey::MsgRefFileTooLarge, {"D:\\proj\\huge.bin"}));
}

TEST_F(EntryRulesTest, ExternalFileThatWouldCarryTheArchivePastFourGibibytesIsRefused) {
  files.PutFile("D:\\proj\\big.bin", "x");
  files.SetApparentSize("D:\\proj\\big.bin", 0xFFFFFFFFull);
  ExpectRuleFails("big.bin", Message(MessageKey::MsgTargetTooLarge, {kTargetPath}));
}

TEST_F(EntryRulesTest, LargeEntryIsStreamedInPiecesOfBoundedSize) {
  std::string big(600000, '\0');
  for (size_t k = 0; k < big.size(); ++k) big[k] = static_cast<char>(k * 7);
  files.PutFile("D:\\proj\\big.bin", big);
  SetUpJob(MakeArchive({{1, big}, {2, "small"}}), "@00000002=big.bin\n");
  std::vector<size_t> source_reads, target_writes, unused;
  job.SourceStream =
      std::make_unique<CountingStream>(std::move(job.SourceStream), &source_reads, &unused);
  job.TargetStream =
      std::make_unique<CountingStream>(std::move(job.TargetStream), &unused, &target_writes);
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{1, big}, {2, big}}));
  // No piece larger than a run buffer is ever read or written: memory does not grow with the
  // size of an entry.
  EXPECT_EQ(source_reads.front(), 32u) << "the index is read in one piece";
  for (size_t n : source_reads) EXPECT_LE(n, kRunBufferSize);
  for (size_t n : target_writes) EXPECT_LE(n, kRunBufferSize);
  size_t written = 0;
  for (size_t n : target_writes) written += n;
  EXPECT_EQ(written, 12 + 2 * big.size() + 32 + 8);
}

TEST_F(EntryRulesTest, ConsecutiveSmallEntriesAreReadAndWrittenTogether) {
  Entries entries;
  for (uint32_t id = 1; id <= 100; ++id)
    entries.emplace_back(id, std::string(100, char('a' + id % 26)));
  SetUpJob(MakeArchive(entries), "@00000032=@00000001\n");
  std::vector<size_t> source_reads, target_writes, unused;
  job.SourceStream =
      std::make_unique<CountingStream>(std::move(job.SourceStream), &source_reads, &unused);
  job.TargetStream =
      std::make_unique<CountingStream>(std::move(job.TargetStream), &unused, &target_writes);
  Run();
  entries[49].second = entries[0].second;
  EXPECT_EQ(ExpectWritten(), entries);
  // The index, then every entry in one read; header, every entry (the rule line between them
  // costs no write of its own), index, header counts.
  EXPECT_EQ(source_reads.size(), 2u);
  EXPECT_EQ(target_writes, (std::vector<size_t>{12, 10000, 1600, 8}));
}

TEST_F(EntryRulesTest, EveryReferencedFileIsClosedAgain) {
  files.PutFile("D:\\proj\\data\\x.wdf", MakeArchive({{1, "one"}}));
  files.PutFile("D:\\proj\\a.bmp", "bmp");
  std::vector<int> open_at_report;
  view.OnReport = [this, &open_at_report](uint32_t) {
    open_at_report.push_back(files.OpenStreamCount());
  };
  SetUpJob(MakeArchive(kSource), "@00000010=x.wdf/@1\n@00000020=a.bmp\n@00000030=x.wdf/@5\n");
  Run();
  // The source and the target only, at the start of every entry; the source alone at the end.
  EXPECT_EQ(open_at_report, (std::vector<int>{2, 2, 2}));
  ExpectNothingWritten(
      Message(MessageKey::MsgRefArchiveIdNotFound, {"D:\\proj\\data\\x.wdf", "5"}));
}

}  // namespace
}  // namespace velmora
