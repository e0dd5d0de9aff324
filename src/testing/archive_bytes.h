// Archives as tests write them: the resources' bytes from offset 12, then the index, in the
// layout every archive the program writes has.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "wdf/wdf.h"

namespace velmora {

using TestResource = std::pair<uint32_t, std::string>;

inline std::string ArchiveOf(const std::vector<TestResource>& resources) {
  std::string data;
  std::string index;
  for (const TestResource& resource : resources) {
    unsigned char record[kWdfEntrySize];
    EncodeWdfEntry({resource.first, static_cast<uint32_t>(kWdfHeaderSize + data.size()),
                    static_cast<uint32_t>(resource.second.size()), 0},
                   record);
    index.append(reinterpret_cast<const char*>(record), sizeof record);
    data += resource.second;
  }
  unsigned char header[kWdfHeaderSize];
  EncodeWdfHeader({kWdfMagic, static_cast<uint32_t>(resources.size()),
                   static_cast<uint32_t>(kWdfHeaderSize + data.size())},
                  header);
  return std::string(reinterpret_cast<const char*>(header), sizeof header) + data + index;
}

}  // namespace velmora
