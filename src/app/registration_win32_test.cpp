// Registration against the system's own registry. A file type of its own keeps the program's
// real association untouched; every test starts and ends without its keys.
#include "app/registration.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "app/registry.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

const char kExtension[] = ".vlmtest";
const char kProgId[] = "vlmtestfile";
const char kDescription[] = "Velmora Test Script";
const std::string kProgram = "C:\\Program Files\\Velmora\\Velmora.exe";
const std::string kMovedProgram = "D:\\Tools\\Velmora.exe";

struct StoredValue {
  bool Present = false;
  DWORD Type = REG_NONE;
  std::string Bytes;
};

std::ostream& operator<<(std::ostream& out, const StoredValue& value) {
  if (!value.Present) return out << "(no value)";
  return out << "type " << value.Type << " \"" << value.Bytes << "\" (" << value.Bytes.size()
             << " bytes)";
}

// The default value of `key_path`, read straight from the system.
StoredValue StoredDefault(const std::string& key_path) {
  StoredValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return value;
  }
  char data[1024];
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, "", nullptr, &value.Type, reinterpret_cast<BYTE*>(data), &size) ==
      ERROR_SUCCESS) {
    value.Present = true;
    value.Bytes.assign(data, size);
  }
  RegCloseKey(key);
  return value;
}

StoredValue Text(const std::string& text) {
  return StoredValue{true, REG_SZ, text + std::string(1, '\0')};
}

StoredValue ExpandableText(const std::string& text) {
  return StoredValue{true, REG_EXPAND_SZ, text + std::string(1, '\0')};
}

bool operator==(const StoredValue& a, const StoredValue& b) {
  return a.Present == b.Present && a.Type == b.Type && a.Bytes == b.Bytes;
}

bool KeyExists(const std::string& key_path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void Plant(const std::string& key_path, DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())));
  RegCloseKey(key);
}

std::string Command(const std::string& program) { return "\"" + program + "\" \"%1\""; }

class SystemRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { Unregister(); }
  void TearDown() override { Unregister(); }

  void Register(const std::string& program) {
    RegisterScriptType(SystemRegistry(), kExtension, kProgId, kDescription, program + ",1",
                       program);
  }
  void Unregister() { UnregisterScriptType(SystemRegistry(), kExtension, kProgId); }

  std::string Key(const char* below) const { return std::string(kProgId) + below; }
};

TEST_F(SystemRegistrationTest, WritesTheLayoutAsTextsWithTheirZeroByte) {
  Register(kProgram);

  EXPECT_EQ(Text(kProgId), StoredDefault(kExtension));
  EXPECT_EQ(Text(kDescription), StoredDefault(kProgId));
  EXPECT_EQ(Text(kProgram + ",1"), StoredDefault(Key("\\DefaultIcon")));
  EXPECT_EQ(Text("\"C:\\Program Files\\Velmora\\Velmora.exe\" \"%1\""),
            StoredDefault(Key("\\Shell\\Open\\Command")));
  EXPECT_TRUE(KeyExists(Key("\\Shell\\Open")));
  EXPECT_FALSE(StoredDefault(Key("\\Shell")).Present);
}

TEST_F(SystemRegistrationTest, ValuesInPlaceAreNotWrittenAgain) {
  // Expandable texts with the wanted text count as in place; a write would store plain texts.
  Plant(kExtension, REG_EXPAND_SZ, std::string(kProgId) + '\0');
  Plant(kProgId, REG_EXPAND_SZ, std::string(kDescription) + '\0');
  Plant(Key("\\DefaultIcon"), REG_EXPAND_SZ, kProgram + ",1" + '\0');
  Plant(Key("\\Shell\\Open\\Command"), REG_EXPAND_SZ, Command(kProgram) + '\0');

  Register(kProgram);

  EXPECT_EQ(ExpandableText(kProgId), StoredDefault(kExtension));
  EXPECT_EQ(ExpandableText(kDescription), StoredDefault(kProgId));
  EXPECT_EQ(ExpandableText(kProgram + ",1"), StoredDefault(Key("\\DefaultIcon")));
  EXPECT_EQ(ExpandableText(Command(kProgram)), StoredDefault(Key("\\Shell\\Open\\Command")));
}

TEST_F(SystemRegistrationTest, MovedProgramAndUnquotedCommandAreRewritten) {
  Register(kProgram);
  Plant(Key("\\Shell\\Open\\Command"), REG_SZ, kProgram + " \"%1\"" + '\0');

  Register(kMovedProgram);

  EXPECT_EQ(Text(kMovedProgram + ",1"), StoredDefault(Key("\\DefaultIcon")));
  EXPECT_EQ(Text(Command(kMovedProgram)), StoredDefault(Key("\\Shell\\Open\\Command")));
}

TEST_F(SystemRegistrationTest, NumberOnTheExtensionStopsBeforeAnythingIsWritten) {
  Plant(kExtension, REG_DWORD, std::string("\x01\x00\x00\x00", 4));

  std::string message = "(no failure)";
  try {
    Register(kProgram);
  } catch (const AppFailure& failure) {
    message = failure.what();
  }

  EXPECT_EQ("Invalid data type for ''", message);
  EXPECT_EQ(REG_DWORD, StoredDefault(kExtension).Type);
  EXPECT_FALSE(KeyExists(kProgId));
}

TEST_F(SystemRegistrationTest, RemovalTakesEveryKeyBelowAtAnyDepth) {
  Register(kProgram);
  Plant(Key("\\Shell\\Edit\\Command"), REG_SZ, std::string("editor.exe \"%1\"") + '\0');
  Plant(Key("\\a\\b\\c\\d"), REG_SZ, std::string("deep") + '\0');
  // A verb named with double-byte characters: its name is longer in bytes than in characters.
  Plant(Key("\\Shell\\\xB1\xE0\xBC\xAD\xB1\xE0\xBC\xAD\\Command"), REG_SZ, std::string("x") + '\0');
  Plant(std::string(kExtension) + "\\ShellNew", REG_SZ, std::string() + '\0');

  Unregister();

  EXPECT_FALSE(KeyExists(kExtension));
  EXPECT_FALSE(KeyExists(kProgId));
}

}  // namespace
}  // namespace velmora
