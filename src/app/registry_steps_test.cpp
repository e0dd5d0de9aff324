#include "app/registry_steps.h"

#include <gtest/gtest.h>

#include "testing/memory_registry.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

class RegistryStepsTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(0, registry_.OpenKeyCount()) << "keys left open"; }
  // The message of the failure that reading `key_path` raises.
  std::string ReadFailure(const std::string& key_path) {
    try {
      ReadKeyDefault(registry_, key_path);
    } catch (const AppFailure& failure) {
      return failure.what();
    }
    return "(no failure)";
  }

  MemoryRegistry registry_;
};

TEST_F(RegistryStepsTest, ReadGivesEmptyTextWhenThereIsNothingToRead) {
  registry_.PutKey("novalue");
  registry_.PutDefault("nobytes", kRegBinary, "");
  registry_.PutDefaultText("denied", "text");
  registry_.FailOpenOf("denied", kKeyAllAccess);

  EXPECT_EQ("", ReadKeyDefault(registry_, "absent"));
  EXPECT_EQ("", ReadKeyDefault(registry_, "novalue"));
  EXPECT_EQ("", ReadKeyDefault(registry_, "nobytes"));
  EXPECT_EQ("", ReadKeyDefault(registry_, "denied"));
}

TEST_F(RegistryStepsTest, ReadFailsForANumberAndForUnreadableData) {
  registry_.PutDefault("number", kRegDword, std::string("\x07\x00\x00\x00", 4));
  registry_.PutDefaultText("unreadable", "text");
  registry_.FailDataQueryOf("unreadable");

  EXPECT_EQ("Invalid data type for ''", ReadFailure("number"));
  EXPECT_EQ("Failed to get data for ''", ReadFailure("unreadable"));
}

TEST_F(RegistryStepsTest, WriteCreatesEveryMissingParentAndStoresTheZeroByte) {
  WriteKeyDefault(registry_, "a\\b\\c", "text");

  EXPECT_TRUE(registry_.HasKey("a\\b"));
  EXPECT_FALSE(registry_.HasDefault("a\\b"));
  EXPECT_EQ(kRegSz, registry_.DefaultType("a\\b\\c"));
  EXPECT_EQ(std::string("text\0", 5), registry_.DefaultBytes("a\\b\\c"));
}

TEST_F(RegistryStepsTest, PresenceNeedsOnlyReadingAndListing) {
  registry_.PutKey("readonly");
  registry_.FailOpenOf("readonly", kKeyAllAccess);
  registry_.PutKey("hidden");
  registry_.FailOpenOf("hidden", kKeyReadInfo);

  EXPECT_TRUE(KeyPresent(registry_, "readonly"));
  EXPECT_FALSE(KeyPresent(registry_, "hidden"));
  EXPECT_FALSE(KeyPresent(registry_, "absent"));
}

TEST_F(RegistryStepsTest, RemovalGoesOnPastASubkeyThatStays) {
  registry_.PutKey("top\\a\\deep");
  registry_.PutKey("top\\b");
  registry_.PutKey("top\\c");
  registry_.FailDeleteOf("top\\b");

  EXPECT_FALSE(RemoveKeyTree(registry_, "top"));

  EXPECT_EQ("top\ntop\\b\n", registry_.Dump());
}

TEST_F(RegistryStepsTest, RemovalWithoutSubkeyCountOnlyTriesTheKeyItself) {
  registry_.PutKey("top\\sub");
  registry_.FailKeyInfoOf("top");

  EXPECT_FALSE(RemoveKeyTree(registry_, "top"));
  EXPECT_TRUE(registry_.HasKey("top\\sub"));

  registry_.PutKey("leaf");
  registry_.FailKeyInfoOf("leaf");
  EXPECT_TRUE(RemoveKeyTree(registry_, "leaf"));
}

TEST_F(RegistryStepsTest, RemovalOfTheEmptyPathLeavesTheRootAlone) {
  registry_.PutKey(".txt");

  EXPECT_FALSE(RemoveKeyTree(registry_, ""));
  EXPECT_TRUE(registry_.HasKey(".txt"));
}

}  // namespace
}  // namespace velmora
