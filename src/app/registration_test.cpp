#include "app/registration.h"

#include <functional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "testing/memory_registry.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

const std::string kProgram = "C:\\Program Files\\Velmora\\Velmora.exe";
const std::string kMovedProgram = "D:\\Tools\\Velmora.exe";

std::string CommandFor(const std::string& program) { return "\"" + program + "\" \"%1\""; }

// The association as the program leaves it for `program`.
void PutAssociation(MemoryRegistry& registry, const std::string& program) {
  registry.PutDefaultText(".vlm", "vlmfile");
  registry.PutDefaultText("vlmfile", "Velmora Script");
  registry.PutDefaultText("vlmfile\\DefaultIcon", program + ",1");
  registry.PutDefaultText("vlmfile\\Shell\\Open\\Command", CommandFor(program));
}

std::string Text(const std::string& text) { return text + std::string(1, '\0'); }

// The message of the failure that `action` raises.
std::string FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const AppFailure& failure) {
    return failure.what();
  }
  return "(no failure)";
}

class RegisterTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(0, registry_.OpenKeyCount()) << "keys left open"; }
  MemoryRegistry registry_;
};

TEST_F(RegisterTest, FirstStartWritesTheLayoutWithAQuotedCommand) {
  RegisterVelmoraScriptType(registry_, kProgram);

  EXPECT_EQ(
      ".vlm []=REG_SZ:\"vlmfile\\x00\"\n"
      "vlmfile []=REG_SZ:\"Velmora Script\\x00\"\n"
      "vlmfile\\DefaultIcon []=REG_SZ:\"C:\\Program Files\\Velmora\\Velmora.exe,1\\x00\"\n"
      "vlmfile\\Shell\n"
      "vlmfile\\Shell\\Open\n"
      "vlmfile\\Shell\\Open\\Command []=REG_SZ:\"\"C:\\Program Files\\Velmora\\Velmora.exe\" "
      "\"%1\"\\x00\"\n",
      registry_.Dump());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

// Associations that already say what the program wants: nothing is written, no notice is sent.
TEST(RegisterUnchangedTest, MatchingAssociationIsLeftAsStored) {
  const struct {
    const char* Name;
    std::function<void(MemoryRegistry&)> Arrange;
  } cases[] = {
      {"second start", [](MemoryRegistry& r) { RegisterVelmoraScriptType(r, kProgram); }},
      {"key names in another letter case",
       [](MemoryRegistry& r) {
         r.PutDefaultText(".VLM", "vlmfile");
         r.PutDefaultText("VlmFile", "Velmora Script");
         r.PutDefaultText("VlmFile\\defaulticon", kProgram + ",1");
         r.PutDefaultText("VlmFile\\shell\\open\\command", CommandFor(kProgram));
       }},
      {"expandable texts with the wanted text",
       [](MemoryRegistry& r) {
         r.PutDefault(".vlm", kRegExpandSz, Text("vlmfile"));
         r.PutDefault("vlmfile", kRegExpandSz, Text("Velmora Script"));
         r.PutDefault("vlmfile\\DefaultIcon", kRegExpandSz, Text(kProgram + ",1"));
         r.PutDefault("vlmfile\\Shell\\Open\\Command", kRegExpandSz, Text(CommandFor(kProgram)));
       }},
      {"texts ending at their first zero byte or their last byte",
       [](MemoryRegistry& r) {
         PutAssociation(r, kProgram);
         r.PutDefault(".vlm", kRegSz, "vlmfile");  // stored without its zero byte
         r.PutDefault("vlmfile", kRegSz, Text("Velmora Script") + "left over");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryRegistry registry;
    c.Arrange(registry);
    const std::string before = registry.Dump();
    const int writes = registry.Modifications(), notices = registry.ChangeNotices();

    RegisterVelmoraScriptType(registry, kProgram);

    EXPECT_EQ(before, registry.Dump());
    EXPECT_EQ(writes, registry.Modifications());
    EXPECT_EQ(notices, registry.ChangeNotices());
    EXPECT_EQ(0, registry.OpenKeyCount()) << "keys left open";
  }
}

TEST_F(RegisterTest, MovedProgramRewritesOnlyIconAndCommandWithOneNotice) {
  PutAssociation(registry_, kProgram);

  RegisterVelmoraScriptType(registry_, kMovedProgram);

  EXPECT_EQ(2, registry_.Modifications());
  EXPECT_EQ(Text(kMovedProgram + ",1"), registry_.DefaultBytes("vlmfile\\DefaultIcon"));
  EXPECT_EQ(Text(CommandFor(kMovedProgram)),
            registry_.DefaultBytes("vlmfile\\Shell\\Open\\Command"));
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(RegisterTest, UnquotedCommandIsRewrittenOnce) {
  PutAssociation(registry_, kProgram);
  registry_.PutDefaultText("vlmfile\\Shell\\Open\\Command", kProgram + " \"%1\"");

  RegisterVelmoraScriptType(registry_, kProgram);
  RegisterVelmoraScriptType(registry_, kProgram);

  EXPECT_EQ(Text("\"C:\\Program Files\\Velmora\\Velmora.exe\" \"%1\""),
            registry_.DefaultBytes("vlmfile\\Shell\\Open\\Command"));
  EXPECT_EQ(1, registry_.Modifications());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(RegisterTest, ExtensionNamingAnotherProgIdIsSetBackAndTheOtherKeyStays) {
  PutAssociation(registry_, kProgram);
  registry_.PutDefaultText(".vlm", "otherfile");
  registry_.PutDefaultText("otherfile", "Other Script");
  registry_.PutDefaultText("otherfile\\Shell\\Open\\Command", "other.exe \"%1\"");

  RegisterVelmoraScriptType(registry_, kProgram);

  EXPECT_EQ(Text("vlmfile"), registry_.DefaultBytes(".vlm"));
  EXPECT_EQ(Text("Other Script"), registry_.DefaultBytes("otherfile"));
  EXPECT_EQ(Text("other.exe \"%1\""), registry_.DefaultBytes("otherfile\\Shell\\Open\\Command"));
  EXPECT_EQ(1, registry_.Modifications());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(RegisterTest, ValueDifferingOnlyInLetterCaseIsRewritten) {
  PutAssociation(registry_, kProgram);
  registry_.PutDefaultText("vlmfile", "Velmora script");

  RegisterVelmoraScriptType(registry_, kProgram);

  EXPECT_EQ(Text("Velmora Script"), registry_.DefaultBytes("vlmfile"));
  EXPECT_EQ(1, registry_.Modifications());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(RegisterTest, NumberOnTheExtensionStopsBeforeAnythingIsWritten) {
  registry_.PutDefault(".vlm", kRegDword, std::string("\x01\x00\x00\x00", 4));
  const std::string before = registry_.Dump();

  EXPECT_EQ("Invalid data type for ''",
            FailureOf([&] { RegisterVelmoraScriptType(registry_, kProgram); }));

  EXPECT_EQ(before, registry_.Dump());
  EXPECT_EQ(0, registry_.ChangeNotices());
}

TEST_F(RegisterTest, EmptyDescriptionReplacesAStoredOne) {
  PutAssociation(registry_, kProgram);

  RegisterScriptType(registry_, ".vlm", "vlmfile", "", kProgram + ",1", kProgram);

  EXPECT_EQ(Text(""), registry_.DefaultBytes("vlmfile"));
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(RegisterTest, EmptyProgIdIsDerivedFromTheExtension) {
  RegisterScriptType(registry_, ".vlm", "", "Velmora Script", kProgram + ",1", kProgram);

  EXPECT_EQ(Text("vlmFile"), registry_.DefaultBytes(".vlm"));
  EXPECT_EQ(Text("Velmora Script"), registry_.DefaultBytes("vlmFile"));
  EXPECT_EQ(Text(kProgram + ",1"), registry_.DefaultBytes("vlmFile\\DefaultIcon"));
  EXPECT_EQ(Text(CommandFor(kProgram)), registry_.DefaultBytes("vlmFile\\Shell\\Open\\Command"));
}

TEST_F(RegisterTest, EmptyIconLocationRemovesTheIconKeyWithItsSubkeys) {
  PutAssociation(registry_, kProgram);
  registry_.PutKey("vlmfile\\DefaultIcon\\Extra\\Deeper");

  RegisterScriptType(registry_, ".vlm", "vlmfile", "Velmora Script", "", kProgram);

  EXPECT_FALSE(registry_.HasKey("vlmfile\\DefaultIcon"));
  EXPECT_TRUE(registry_.HasKey("vlmfile\\Shell\\Open\\Command"));
  EXPECT_EQ(1, registry_.ChangeNotices());

  RegisterScriptType(registry_, ".vlm", "vlmfile", "Velmora Script", "", kProgram);
  EXPECT_EQ(1, registry_.ChangeNotices()) << "nothing to remove the second time";
}

TEST_F(RegisterTest, EmptyProgramPathRemovesTheWholeShellKey) {
  PutAssociation(registry_, kProgram);
  registry_.PutDefaultText("vlmfile\\Shell\\Edit\\Command", "editor.exe \"%1\"");

  RegisterScriptType(registry_, ".vlm", "vlmfile", "Velmora Script", kProgram + ",1", "");

  EXPECT_FALSE(registry_.HasKey("vlmfile\\Shell"));
  EXPECT_EQ(Text(kProgram + ",1"), registry_.DefaultBytes("vlmfile\\DefaultIcon"));
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(RegisterTest, KeyThatCannotBeOpenedAfterCreationCountsAsAChange) {
  PutAssociation(registry_, kProgram);
  registry_.FailOpenOf("vlmfile\\DefaultIcon", kKeyAllAccess);

  RegisterVelmoraScriptType(registry_, kProgram);

  EXPECT_EQ(0, registry_.Modifications());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

// Each failure ends the operation where it happens: the keys after it are not touched and the
// shell is not told, although the extension's key was already written.
struct FailureCase {
  const char* Name;
  std::function<void(MemoryRegistry&)> Arrange;
  const char* Message;
  const char* UntouchedKey;
};

// Names the case in the list of tests and in a failure's report.
void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.Name; }

class RegisterFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(RegisterFailureTest, EndsTheOperationAtOnceWithoutANotice) {
  const FailureCase& failure = GetParam();
  MemoryRegistry registry;
  registry.PutDefaultText(".vlm", "otherfile");
  failure.Arrange(registry);

  EXPECT_EQ(failure.Message, FailureOf([&] { RegisterVelmoraScriptType(registry, kProgram); }));

  EXPECT_EQ(Text("vlmfile"), registry.DefaultBytes(".vlm")) << "the first step did write";
  EXPECT_FALSE(registry.HasKey(failure.UntouchedKey));
  EXPECT_EQ(0, registry.ChangeNotices());
  EXPECT_EQ(0, registry.OpenKeyCount());
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, RegisterFailureTest,
    ::testing::Values(FailureCase{"CreateFails",
                                  [](MemoryRegistry& r) { r.FailCreateOf("vlmfile\\DefaultIcon"); },
                                  "Failed to create key vlmfile\\DefaultIcon", "vlmfile\\Shell"},
                      FailureCase{"SetFails", [](MemoryRegistry& r) { r.FailSetOf("vlmfile"); },
                                  "Failed to set data for ''", "vlmfile\\DefaultIcon"},
                      FailureCase{"DataQueryFails",
                                  [](MemoryRegistry& r) {
                                    r.PutDefaultText("vlmfile", "Old Script");
                                    r.FailDataQueryOf("vlmfile");
                                  },
                                  "Failed to get data for ''", "vlmfile\\DefaultIcon"},
                      FailureCase{
                          "NumberOnTheProgId",
                          [](MemoryRegistry& r) { r.PutDefault("vlmfile", kRegBinary, "\x01"); },
                          "Invalid data type for ''", "vlmfile\\DefaultIcon"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.Name; });

class UnregisterTest : public RegisterTest {};

TEST_F(UnregisterTest, RemovesBothKeysWithEverySubkeyDeepestAndLastFirst) {
  PutAssociation(registry_, kProgram);
  registry_.PutDefaultText("vlmfile\\Shell\\Edit\\Command", "editor.exe \"%1\"");
  registry_.PutKey("vlmfile\\a\\b\\c");
  registry_.PutKey(".vlm\\ShellNew");
  registry_.PutDefaultText(".txt", "txtfile");

  UnregisterVelmoraScriptType(registry_);

  EXPECT_EQ(".txt []=REG_SZ:\"txtfile\\x00\"\n", registry_.Dump());
  const std::vector<std::string> order = {".vlm\\ShellNew",
                                          ".vlm",
                                          "vlmfile\\Shell\\Open\\Command",
                                          "vlmfile\\Shell\\Open",
                                          "vlmfile\\Shell\\Edit\\Command",
                                          "vlmfile\\Shell\\Edit",
                                          "vlmfile\\Shell",
                                          "vlmfile\\DefaultIcon",
                                          "vlmfile\\a\\b\\c",
                                          "vlmfile\\a\\b",
                                          "vlmfile\\a",
                                          "vlmfile"};
  EXPECT_EQ(order, registry_.DeletedKeys());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(UnregisterTest, NothingToRemoveChangesNothingAndSendsNoNotice) {
  registry_.PutDefaultText(".txt", "txtfile");

  UnregisterVelmoraScriptType(registry_);

  EXPECT_EQ(0, registry_.Modifications());
  EXPECT_EQ(0, registry_.ChangeNotices());
}

TEST_F(UnregisterTest, ExtensionGoesWhateverProgIdItNames) {
  registry_.PutDefaultText(".vlm", "otherfile");
  registry_.PutDefaultText("otherfile", "Other Script");

  UnregisterVelmoraScriptType(registry_);

  EXPECT_FALSE(registry_.HasKey(".vlm"));
  EXPECT_TRUE(registry_.HasKey("otherfile"));
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(UnregisterTest, WhatCannotBeDeletedStaysAndTheShellIsStillTold) {
  PutAssociation(registry_, kProgram);
  registry_.FailDeleteOf("vlmfile\\Shell\\Open\\Command");

  UnregisterVelmoraScriptType(registry_);

  EXPECT_EQ(
      "vlmfile []=REG_SZ:\"Velmora Script\\x00\"\n"
      "vlmfile\\Shell\n"
      "vlmfile\\Shell\\Open\n"
      "vlmfile\\Shell\\Open\\Command []=REG_SZ:\"\"C:\\Program Files\\Velmora\\Velmora.exe\" "
      "\"%1\"\\x00\"\n",
      registry_.Dump());
  EXPECT_EQ(1, registry_.ChangeNotices());
}

TEST_F(UnregisterTest, EmptyNamesNeverReachTheWholeRoot) {
  PutAssociation(registry_, kProgram);
  const std::string before = registry_.Dump();

  UnregisterScriptType(registry_, "", "");

  EXPECT_EQ(before, registry_.Dump());
  EXPECT_EQ(0, registry_.ChangeNotices());
}

}  // namespace
}  // namespace velmora
