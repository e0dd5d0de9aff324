// Whole runs over hostile archives and scripts: each ends with the archive the rules say or with
// a clear message, the old target untouched, nothing left open, and memory that follows the
// size of the files, never a count read from them. Native only: the memory limit is checked
// through the hooks of the sanitizers' allocator, which the native test build runs under.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "job/job_state.h"
#include "job/pack_run.h"
#include "testing/pack_run_fixture.h"
#include "job/prepare.h"
#include "testing/recording_view.h"
#include "job/script.h"
#include "msg/format.h"
#include "testing/memory_file_system.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_ALLOCATOR_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_ALLOCATOR_HOOKS 1
#endif
#endif

#if VELMORA_ALLOCATOR_HOOKS
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void*);
#endif

namespace velmora {
namespace {

using pack_run_testing::Entries;
using pack_run_testing::IndexRecord;
using pack_run_testing::Le32;
using pack_run_testing::MakeArchive;
using pack_run_testing::ReadWrittenArchive;

// The most memory held at once while it watches (this thread's allocations and everyone
// else's, which in a single-threaded test are none).
class AllocationWatch {
 public:
  AllocationWatch() {
#if VELMORA_ALLOCATOR_HOOKS
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    available_ = installed;
#endif
    held_ = peak_ = 0;
    watching_ = available_;
  }
  ~AllocationWatch() { watching_ = false; }
  bool Available() const { return available_; }
  uint64_t Peak() const { return peak_; }

 private:
  static void OnMalloc(const volatile void*, size_t size) {
    if (!watching_) return;
    held_ += size;
    if (held_ > peak_) peak_ = held_;
  }
  static void OnFree(const volatile void* block) {
#if VELMORA_ALLOCATOR_HOOKS
    if (!watching_) return;
    const uint64_t size = __sanitizer_get_allocated_size(block);
    held_ = held_ > size ? held_ - size : 0;
#else
    (void)block;
#endif
  }

  bool available_ = false;
  static inline bool watching_ = false;
  static inline uint64_t held_ = 0, peak_ = 0;
};

const char kScriptPath[] = "D:\\p\\ui.vlm";
const char kSource[] = "D:\\p\\a.wdf";
const char kOther[] = "D:\\p\\b.wdf";
const char kFile[] = "D:\\p\\c.bin";
const char kTarget[] = "D:\\p\\ui.wdf";
const char kOldTarget[] = "the archive that was there before";

// How a run ends: refused by preparation (its box), failed in the pack run (its message), or a
// new archive with these entries.
struct Outcome {
  enum Ending { kRefused, kFailed, kWritten } Kind;
  std::string Message;
  Entries Written;
};
Outcome Refused(MessageKey key, std::initializer_list<FormatArg> args = {}) {
  return {Outcome::kRefused, Message(key, args), {}};
}
Outcome Failed(MessageKey key, std::initializer_list<FormatArg> args = {}) {
  return {Outcome::kFailed, Message(key, args), {}};
}
Outcome Written(Entries entries) { return {Outcome::kWritten, "", std::move(entries)}; }

void PrintTo(const Outcome& outcome, std::ostream* out) {
  static const char* const kKinds[] = {"refused", "failed", "written"};
  *out << kKinds[outcome.Kind] << " \"" << outcome.Message.substr(0, 200) << "\"";
  for (const auto& entry : outcome.Written) *out << " " << entry.first << ":" << entry.second;
}
bool operator==(const Outcome& a, const Outcome& b) {
  return a.Kind == b.Kind && a.Message == b.Message && a.Written == b.Written;
}

// A script, a source archive, another archive and a file in the folder D:\p, and an old target
// that every run that does not write must leave as it was.
class HostileRun {
 public:
  HostileRun(const std::string& script, const std::string& source) {
    files_.PutFile(kScriptPath, script);
    files_.PutFile(kSource, source);
    files_.PutFile(kOther, MakeArchive({{0x10, "ten"}}));
    files_.PutFile(kFile, "file bytes");
    files_.PutFile(kTarget, kOldTarget);
  }

  // Loads the script, prepares and runs, as the program entry does; checks what every end must
  // leave and returns how it ended.
  Outcome Run() {
    Outcome outcome{Outcome::kRefused, "", {}};
    const std::vector<std::string> paths_before = files_.FilePaths();
    {
      JobState job;
      job.ScriptPath = kScriptPath;
      job.ScriptDir = "D:\\p\\";
      job.Script = std::make_unique<ScriptLines>(LoadScript(files_, kScriptPath));
      if (!PrepareJob(job, files_, view_)) {
        EXPECT_FALSE(view_.Boxes.empty());
        if (!view_.Boxes.empty()) outcome.Message = view_.Boxes.back().Text;
      } else {
        RunPack(job, files_, view_);
        outcome.Kind = job.ErrorText.empty() ? Outcome::kWritten : Outcome::kFailed;
        outcome.Message = job.ErrorText;
      }
    }
    EXPECT_EQ(files_.OpenStreamCount(), 0);
    if (outcome.Kind == Outcome::kWritten) {
      EXPECT_TRUE(ReadWrittenArchive(files_.FileBytes(kTarget), &outcome.Written));
    } else {
      EXPECT_EQ(files_.FileBytes(kTarget), kOldTarget);
      EXPECT_EQ(files_.FilePaths(), paths_before) << "a file was left behind";
    }
    return outcome;
  }

  MemoryFileSystem& Files() { return files_; }

 private:
  MemoryFileSystem files_;
  RecordingView view_;
};

// Runs and checks the outcome and, where the allocator can be watched, that the memory held at
// once stayed within `limit` bytes.
void ExpectRun(HostileRun& run, const Outcome& expected, uint64_t limit) {
  AllocationWatch watch;
  const Outcome outcome = run.Run();
  EXPECT_EQ(outcome, expected);
  if (watch.Available()) {
    EXPECT_LE(watch.Peak(), limit) << "bytes held at once";
  }
}

// --- Archives ------------------------------------------------------------------------------

// Three entries in the writer layout: data from 12 to 30, the index from 30 to 78. Entry 2
// takes entry 1's bytes by its rule.
const Entries kEntries = {{1, "alpha"}, {2, "bravo!"}, {3, "charlie"}};
const char kArchiveScript[] = "#SrcFile=a.wdf\r\n@00000002=@00000001\r\n";
constexpr size_t kIndexOffset = 30;
constexpr size_t kArchiveSize = 78;

Entries RuledEntries() { return {{1, "alpha"}, {2, "alpha"}, {3, "charlie"}}; }

struct ArchiveCase {
  std::string Name;
  std::function<void(std::string&)> Mutate;
  Outcome Expected;
};
void PrintTo(const ArchiveCase& c, std::ostream* out) { *out << c.Name; }

std::function<void(std::string&)> Put32(size_t at, uint32_t value) {
  return [at, value](std::string& bytes) { bytes.replace(at, 4, Le32(value)); };
}

Outcome SourceNotWdf(Outcome::Ending kind) {
  return {kind, Message(MessageKey::MsgSourceNotWdf, {kSource}), {}};
}

// What the rules make of the three entries as `source` now holds them: each entry in turn must
// end by 30 (the file's size less the index's room), then takes its own bytes, or, having the id
// 2, those of the first entry with the id 1.
Outcome ExpectedRun(const std::string& source) {
  struct Entry {
    uint32_t Id, Offset, Size, Space;
  };
  std::vector<Entry> index;
  for (size_t e = 0; e < 3; ++e) {
    const auto get = [&](size_t f) {
      return pack_run_testing::GetLe32(source, kIndexOffset + 16 * e + 4 * f);
    };
    index.push_back({get(0), get(1), get(2), get(3)});
  }
  Entries written;
  for (Entry& entry : index) {
    if (uint64_t{entry.Offset} + entry.Size + entry.Space > kIndexOffset) {
      return SourceNotWdf(Outcome::kFailed);
    }
    if (entry.Id == 2) {
      const auto first = std::find_if(index.begin(), index.end(),
                                      [](const Entry& other) { return other.Id == 1; });
      if (first == index.end()) return Failed(MessageKey::MsgInternalIdNotFound, {"00000001"});
      entry.Offset = first->Offset;
      entry.Size = first->Size;
    }
    if (entry.Size != 0 && uint64_t{entry.Offset} + entry.Size > source.size()) {
      return SourceNotWdf(Outcome::kFailed);
    }
    written.emplace_back(entry.Id, entry.Size == 0 ? "" : source.substr(entry.Offset, entry.Size));
  }
  return Written(written);
}

std::vector<ArchiveCase> ArchiveCases() {
  const Outcome refused = SourceNotWdf(Outcome::kRefused);
  const Outcome failed = SourceNotWdf(Outcome::kFailed);
  std::vector<ArchiveCase> cases;
  for (size_t k = 0; k < 4; ++k) {
    cases.push_back({"magic byte " + std::to_string(k),
                     [k](std::string& bytes) { bytes[k] = static_cast<char>(bytes[k] ^ 0x20); },
                     refused});
  }
  cases.push_back({"count 0", Put32(4, 0), Written({})});
  cases.push_back({"count 2", Put32(4, 2), Written({{1, "alpha"}, {2, "alpha"}})});
  // A count is believed only as far as the file is long enough for its index.
  for (uint32_t count : {4u, 0x0FFFFFFFu, 0x10000000u, 0x10000001u, 0xFFFFFFFFu}) {
    cases.push_back({"count " + std::to_string(count), Put32(4, count), refused});
  }
  // The index offset: inside the header (the records read there are out of bounds), one too
  // far, and far beyond the file and 32 bits.
  cases.push_back({"index offset 0", Put32(8, 0), failed});
  cases.push_back({"index offset 31", Put32(8, 31), refused});
  cases.push_back({"index offset 0xFFFFFFFF", Put32(8, 0xFFFFFFFF), refused});
  // Every field of every entry.
  const char* const kFields[] = {"id", "offset", "size", "space"};
  for (uint32_t k = 0; k < 3; ++k) {
    for (uint32_t field = 0; field < 4; ++field) {
      for (uint32_t value :
           {0u, 1u, 2u, 17u, 29u, 30u, 31u, 0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        const size_t at = kIndexOffset + 16 * k + 4 * field;
        std::string source = MakeArchive(kEntries);
        Put32(at, value)(source);
        cases.push_back(
            {"entry " + std::to_string(k) + " " + kFields[field] + " " + std::to_string(value),
             Put32(at, value), ExpectedRun(source)});
      }
    }
  }
  // Cut at every 16-byte boundary: the index never lies whole in what is left.
  for (size_t size = 0; size < kArchiveSize; size += 16) {
    cases.push_back({"cut to " + std::to_string(size),
                     [size](std::string& bytes) { bytes.resize(size); }, refused});
  }
  return cases;
}

class HostileArchiveTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(HostileArchiveTest, EndsWithTheRulesArchiveOrAMessage) {
  std::string source = MakeArchive(kEntries);
  ASSERT_EQ(source.size(), kArchiveSize);
  GetParam().Mutate(source);
  HostileRun run(kArchiveScript, source);
  // The files are a few hundred bytes: nothing read from them may make the run hold more than
  // the same small amount whatever they claim.
  ExpectRun(run, GetParam().Expected, 1 << 20);
}

INSTANTIATE_TEST_SUITE_P(Mutations, HostileArchiveTest, ::testing::ValuesIn(ArchiveCases()),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(HostileArchiveCheck, UnmutatedArchiveFollowsItsRule) {
  HostileRun run(kArchiveScript, MakeArchive(kEntries));
  ExpectRun(run, Written(RuledEntries()), 1 << 20);
}

// --- Scripts -------------------------------------------------------------------------------

const Entries kTwo = {{1, "one"}, {2, "two"}};

struct ScriptCase {
  std::string Name;
  std::function<std::string()> Script;
  std::function<Outcome()> Expected;
};
void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.Name; }

std::string Repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t k = 0; k < times; ++k) out += text;
  return out;
}

const std::string kHead = "#SrcFile=a.wdf\r\n";
const size_t k10MB = 10u << 20;

std::vector<ScriptCase> ScriptCases() {
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
  const std::string up_chain = Repeat("..\\", 1000000);
  return {
      {"line of 10 MB as a file name",
       [] { return kHead + "@00000001=" + std::string(k10MB, 'x') + "\r\n"; },
       [] {
         return Failed(MessageKey::MsgRefFileNotFound, {"D:\\p\\" + std::string(k10MB, 'x')});
       }},
      {"line of 10 MB without a separator",
       [] { return kHead + std::string(k10MB, '@') + "\r\n@00000002=@Delete"; },
       [] {
         return Written({{1, "one"}});
       }},
      {"a million rule lines",
       [] {
         std::string script = kHead;
         for (uint32_t id = 0; id < 1000000; ++id) script += EntryKey(id + 3) + "=@Delete\n";
         return script + "@00000001=@00000002\n";
       },
       [] {
         return Written({{1, "two"}, {2, "two"}});
       }},
      {"every byte value", [=] { return kHead + every_byte + "\r\n=" + every_byte; },
       [] { return Written(kTwo); }},
      {"lone carriage returns", [] { return "#SrcFile=a.wdf\r@00000001=@Delete\r\r"; },
       [] {
         return Written({{2, "two"}});
       }},
      {"byte 0 ends the script",
       [] { return kHead + std::string("@00000001=@Delete\r\n\0@00000002=@Delete", 37); },
       [] {
         return Written({{2, "two"}});
       }},
      // The bytes 60 to 255: no blank, ';' or '/' among them, and the wildcard '?' lies before
      // the last backslash, in the folder's name.
      {"binary rule value", [=] { return kHead + "@00000001=" + every_byte.substr(59) + "\r\n"; },
       [=] { return Failed(MessageKey::MsgRefFileNotFound, {"D:\\p\\" + every_byte.substr(59)}); }},
      {"long chain of .. in #SrcPath", [=] { return "#SrcPath=" + up_chain + "\r\n" + kHead; },
       [] { return Refused(MessageKey::MsgSourceNotFound, {"D:\\a.wdf"}); }},
      {"long chain of .. that ends wrongly in #DestPath",
       [=] { return kHead + "#DestPath=" + up_chain + ".\r\n"; },
       [] { return Refused(MessageKey::MsgTargetPathInvalid); }},
      {"long chain of .. in a rule path",
       [=] { return kHead + "@00000001=" + up_chain + "c.bin\r\n"; },
       [=] { return Failed(MessageKey::MsgRefFileNotFound, {"D:\\p\\" + up_chain + "c.bin"}); }},
      {"wildcards in the source name", [] { return std::string("#SrcFile=?.wdf\r\n"); },
       [] {
         return Refused(MessageKey::MsgSourceOpenFailed,
                        {"D:\\p\\?.wdf", pack_run_testing::SystemText(SystemErrorNotFound())});
       }},
      {"wildcards in a file rule", [] { return kHead + "@00000002=*.bin\r\n"; },
       [] {
         return Failed(MessageKey::MsgRefFileOpenFailed,
                       {"D:\\p\\*.bin", pack_run_testing::SystemText(SystemErrorNotFound())});
       }},
      {"wildcards in another archive's path", [] { return kHead + "@00000002=?.wdf/@10\r\n"; },
       [] {
         return Failed(MessageKey::MsgRefArchiveOpenFailed,
                       {"D:\\p\\?.wdf", pack_run_testing::SystemText(SystemErrorNotFound())});
       }},
      {"device names as the source", [] { return std::string("#SrcFile=CON\r\n"); },
       [] { return Refused(MessageKey::MsgSourceNotFound, {"D:\\p\\CON"}); }},
      {"device names in rules", [] { return kHead + "@00000001=NUL/@1\r\n@00000002=CON\r\n"; },
       [] { return Failed(MessageKey::MsgRefArchiveNotFound, {"D:\\p\\NUL"}); }},
  };
}

class HostileScriptTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(HostileScriptTest, EndsWithTheRulesArchiveOrAMessage) {
  const std::string script = GetParam().Script();
  HostileRun run(script, MakeArchive(kTwo));
  // Lines, names and values are copies of the script's text, each held a few times over.
  ExpectRun(run, GetParam().Expected(), 32 * uint64_t{script.size()} + (16 << 20));
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostileScriptTest, ::testing::ValuesIn(ScriptCases()),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace velmora
