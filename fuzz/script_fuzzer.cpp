// Fuzzes the loading of a script, the key lookup and the cleaning of values.
//
// Input: one byte of flags (bit 0: the double-byte code page of the target systems), then the
// script file's bytes. The loaded lines, the line each key finds, the names, raw values and
// cleaned values must be those of the plain model.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/script.h"
#include "plain_model.h"
#include "sys/code_page.h"
#include "testing/memory_file_system.h"

using namespace velmora;
using namespace velmora::fuzzing;

namespace {

// Lookups checked per input: enough to reach every kind of name, few enough to stay fast.
constexpr size_t kKeysPerInput = 48;

std::string SwappedCase(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c + 32);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool double_byte = (data[0] & 1) != 0;
  SetActiveCodePage(double_byte ? CodePage::kGbk : CodePage::kUtf8);
  const PlainText plain(double_byte);
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  MemoryFileSystem files;
  files.PutFile("D:\\s.vlm", bytes);
  ScriptLines script = LoadScript(files, "D:\\s.vlm");
  FUZZ_CHECK(files.OpenStreamCount() == 0, "the script file stays open");

  const std::vector<std::string> lines = plain.Lines(bytes);
  FUZZ_CHECK(script.Count() == lines.size(), "%zu lines, expected %zu", script.Count(),
             lines.size());
  std::vector<bool> named(lines.size());
  std::vector<std::string> names(lines.size()), values(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(script.TextAt(i) == lines[i], "line %zu: \"%s\", expected \"%s\"", i,
               Shown(script.TextAt(i)).c_str(), Shown(lines[i]).c_str());
    FUZZ_CHECK(script.UsedMarkAt(i) == 0, "line %zu marked at load", i);
    named[i] = plain.NameAndValue(lines[i], &names[i], &values[i]);
    const int index = static_cast<int>(i);
    FUZZ_CHECK(ScriptNameAt(script, index) == (named[i] ? names[i] : ""), "name of line %zu", i);
    FUZZ_CHECK(ScriptValueAt(script, index) == (named[i] ? values[i] : ""), "value of line %zu", i);
    for (bool keep : {true, false}) {
      FUZZ_CHECK(CleanScriptValue(values[i], keep) == plain.Clean(values[i], keep),
                 "cleaning \"%s\" (keep escapes %d): \"%s\", expected \"%s\"",
                 Shown(values[i]).c_str(), keep, Shown(CleanScriptValue(values[i], keep)).c_str(),
                 Shown(plain.Clean(values[i], keep)).c_str());
    }
  }

  // The keys asked: the header keys, entry keys, and the names the script holds, as written and
  // with their letter case swapped.
  std::vector<std::string> keys = {
      "#SrcFile",  "#srcfile",       "#RunBegin",           "#RunEnd",
      "#DestFile", PlainEntryKey(0), PlainEntryKey(0xA1B2), "@0000a1b2"};
  if (size >= 5) {
    uint32_t id = 0;
    for (int k = 4; k >= 1; --k) id = id * 256 + data[k];
    keys.push_back(PlainEntryKey(id));
  }
  for (size_t i = 0; i < lines.size() && keys.size() < kKeysPerInput; ++i) {
    if (!named[i]) continue;
    keys.push_back(names[i]);
    keys.push_back(SwappedCase(names[i]));
  }
  for (const std::string& key : keys) {
    int expected = -1;
    for (size_t i = 0; i < lines.size() && expected < 0; ++i) {
      if (named[i] && plain.EqualFoldingAscii(names[i], key)) expected = static_cast<int>(i);
    }
    const int found = FindScriptKey(script, key);
    FUZZ_CHECK(found == expected, "key \"%s\" found at line %d, expected %d", Shown(key).c_str(),
               found, expected);
  }

  for (uint32_t id : {0u, 0x1Au, 0xA1B2u, 0xFFFFFFFFu}) {
    FUZZ_CHECK(EntryKey(id) == PlainEntryKey(id), "entry key of %08X", id);
  }
  return 0;
}
