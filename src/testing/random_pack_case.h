// Random archives and scripts for the tests that compare a run with another reading of it:
// every rule kind, repeated ids, names that locale comparisons treat specially, references into
// other archives (the source itself, the target, one that changes during the run, one that is
// no archive), external files, stops and full disks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "testing/pack_run_fixture.h"

namespace velmora {
namespace random_pack_case {

using pack_run_testing::Entries;
using pack_run_testing::Le32;
using pack_run_testing::MakeArchive;

inline const std::string kDir = "D:\\proj\\";
inline const std::string kDataDir = "D:\\proj\\data\\";
inline const std::string kSource = kDataDir + "ui.wdf";
inline const std::string kTarget = kDataDir + "new.wdf";  // beside the source: rules can name it

// One random case, as data, so that both runs start from exactly the same state.
struct Case {
  std::vector<std::pair<std::string, std::string>> Files;
  std::string Script;
  bool TargetExists = false;
  bool HeldFilesStay = false;
  int64_t StopAfter = -1;
  int64_t WriteLimit = -1;
  std::string FailReadsOf;
  uint64_t FailReadsFrom = 0;
  // Replaced with new contents when the entry with this index is begun.
  int64_t ChangeAt = -1;
  std::pair<std::string, std::string> Change;
};

class CaseMaker {
 public:
  explicit CaseMaker(uint32_t seed) : random_(seed) {}

  Case Make(bool allow_large) {
    Case c;
    const int pool_size = 1 + Pick(10);
    for (int k = 0; k < pool_size; ++k) pool_.push_back(Pick(4) == 0 ? random_() : Pick(64));
    std::string source = MakeArchive(RandomEntries(Pick(4) == 0 ? 0 : Pick(30), allow_large));
    if (Pick(12) == 0 && source.size() > 28) {
      // An entry that breaks the bounds rule: a Size or a Space too large.
      const uint32_t count = pack_run_testing::GetLe32(source, 4);
      if (count > 0) {
        const size_t at = source.size() - 16 * (1 + Pick(count)) + 8 + 4 * Pick(2);
        source.replace(at, 4, Le32(static_cast<uint32_t>(Pick(4) == 0 ? random_() : 500)));
      }
    }
    c.Files.push_back({kSource, source});
    c.Files.push_back({kDataDir + "other.wdf", MakeArchive(RandomEntries(Pick(40), false))});
    c.Files.push_back({kDataDir + "sub\\x.wdf", MakeArchive(RandomEntries(Pick(5), false))});
    c.Files.push_back({kDataDir + "bad.wdf", "this is no archive"});
    c.Files.push_back({kDataDir + "short.wdf", "PFDW" + Le32(1000) + Le32(12)});
    c.Files.push_back({kDir + "pic.bin", Bytes(Pick(300))});
    c.Files.push_back({kDir + "pics\\a.bmp", Bytes(Pick(3) == 0 ? 0 : Pick(100))});
    c.TargetExists = Pick(3) == 0;
    c.HeldFilesStay = Pick(2) == 0;
    const int lines = Pick(25);
    for (int k = 0; k < lines; ++k) c.Script += Line() + (Pick(6) == 0 ? "\n" : "\r\n");
    if (Pick(10) == 0) c.StopAfter = Pick(30);
    if (Pick(10) == 0) c.WriteLimit = Pick(static_cast<uint32_t>(source.size() + 400));
    if (Pick(20) == 0) {
      c.FailReadsOf = kDataDir + "other.wdf";
      c.FailReadsFrom = Pick(400);
    }
    // A full disk may be found some entries after the write that met it, so a change made at an
    // entry would then reach one run and not the other.
    if (Pick(6) == 0 && c.WriteLimit < 0) {
      c.ChangeAt = Pick(20);
      c.Change = Pick(2) == 0 ? std::make_pair(kDataDir + "other.wdf",
                                               MakeArchive(RandomEntries(Pick(40), false)))
                              : std::make_pair(kDataDir + "other.wdf", std::string("gone bad"));
    }
    return c;
  }

 private:
  uint32_t Pick(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(random_() % n); }
  uint32_t PoolId() { return pool_[Pick(static_cast<uint32_t>(pool_.size()))]; }

  std::string Bytes(size_t n) {
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(random_());
    return bytes;
  }

  Entries RandomEntries(uint32_t n, bool allow_large) {
    Entries entries;
    for (uint32_t k = 0; k < n; ++k) {
      size_t size = Pick(5) == 0 ? 0 : Pick(200);
      if (allow_large && Pick(8) == 0) size = 100000 + Pick(300000);
      entries.emplace_back(PoolId(), Bytes(size));
    }
    return entries;
  }

  std::string Hex(uint32_t id, bool lower) {
    char text[16];
    std::snprintf(text, sizeof text, lower ? "%08x" : "%08X", static_cast<unsigned>(id));
    return text;
  }

  std::string Name() {
    const uint32_t id = Pick(8) == 0 ? Pick(64) : PoolId();
    switch (Pick(12)) {
      case 0:
        return "@" + Hex(id, true);
      case 1:
        return "@" + Hex(id, false).substr(0, 4) + "-" + Hex(id, false).substr(4);
      case 2:
        return "'@" + Hex(id, false);
      case 3:
        return "\xA3\xC0" + Hex(id, false);  // a full-width at sign
      case 4:
        return "\xA3\xBB@" + Hex(id, false);  // a full-width semicolon: a comment to the eye
      case 5:
        return "@" + Hex(id, false).substr(0, 6) + "\xB0\x61";  // trail byte 'a'
      case 6:
        return "#RunEnd";
      default:
        return "@" + Hex(id, false);
    }
  }

  std::string Value() {
    const uint32_t id = Pick(6) == 0 ? Pick(64) : PoolId();
    const std::string hex = Pick(2) == 0 ? Hex(id, Pick(2) == 0) : Hex(id, false).substr(4);
    switch (Pick(22)) {
      case 0:
        return "";
      case 1:
        return "   ; only a comment";
      case 2:
        return "@Delete";
      case 3:
        return "@delete  ; gone";
      case 4:
        return "@Deleted";
      case 5:
        return Pick(2) == 0 ? "@zz" : "@";
      case 6:
      case 7:
      case 8:
        return "@" + hex;
      case 9:
      case 10:
      case 11:
        return "other.wdf/@" + hex;
      case 12:
        return "sub/x.wdf/@" + hex;
      case 13:
        return "ui.wdf/@" + hex;  // the source itself
      case 14:
        return "new.wdf/@" + hex;  // the target, held without sharing
      case 15:
        return Pick(2) == 0 ? "bad.wdf/@1" : "short.wdf/@1";
      case 16:
        return Pick(2) == 0 ? "missing.wdf/@1" : "other.wdf/@zz";
      case 17:
        return "pics/";
      case 18:
        return "pic.bin";
      case 19:
        return "pics\\a.bmp ; a picture";
      case 20:
        return "nothing.bin";
      default:
        return "@" + Hex(random_(), false);
    }
  }

  std::string Line() {
    switch (Pick(15)) {
      case 0:
        return "";
      case 1:
        return "no separator here";
      case 5:
        return Pick(2) == 0 ? "#AddEntries=yes" : "#AddEntries=no";
      case 2:
        return "#RunEnd=Done.\\nAll of it.";
      case 3:
        return "\xA3\xBB\xD7\xA2\xCA\xCD=\xD7\xA2";  // a full-width comment line
      case 4:
        if (!lines_.empty()) return lines_[Pick(static_cast<uint32_t>(lines_.size()))];
        return "";
      default: {
        std::string line = Name() + "=" + Value();
        lines_.push_back(line);
        return line;
      }
    }
  }

  std::mt19937 random_;
  std::vector<uint32_t> pool_;
  std::vector<std::string> lines_;
};

}  // namespace random_pack_case
}  // namespace velmora
