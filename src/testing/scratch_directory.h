// A fresh directory of real files for a test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>

namespace velmora {

class ScratchDirectory {
 public:
  // A new directory in the system's folder for temporary files ($TMPDIR, or /tmp; %TEMP% on
  // Windows) whose name starts with velmora-`purpose`-.
  explicit ScratchDirectory(const std::string& purpose) {
    std::random_device seed;
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          temp / ("velmora-" + purpose + "-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
    }
    if (path_.empty())
      throw std::runtime_error("cannot make a scratch directory in " + temp.string());
  }
  ~ScratchDirectory() {
    std::error_code ignored;  // links inside are removed, never followed
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const {
    return (std::filesystem::path(path_) / name).make_preferred().string();
  }

  // Writes `bytes` as the file `name` (directories on the way are made).
  void Put(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  // The bytes of the file `name`; empty when there is none.
  std::string Get(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(Path(name), ignored));
  }
  // The names directly inside the directory `name` ("" for the scratch directory itself).
  std::set<std::string> Names(const std::string& name = "") const {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(name.empty() ? path_ : Path(name), ignored)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::string path_;
};

}  // namespace velmora
