// The scratch folder of every test layer: a folder of its own for one test
// under the temporary folder, removed with everything in it at the end.
// Names are UTF-8 text, so that a folder whose name the ANSI code page cannot
// hold can be made and named.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <thread>

namespace horalog::test {

// The path that UTF-8 text names.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::u8string(text.begin(), text.end());
}

class ScratchDir {
 public:
  // leaf, when given, ends the folder's name.
  explicit ScratchDir(const std::string& leaf = {}) {
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "horalog-";
    if (info) name += std::string(info->test_suite_name()) + "-" + info->name() + "-";
    for (char& c : name)
      if (c == '/') c = '_';
    name += std::to_string(std::random_device{}()) + "-" + std::to_string(counter++);
    if (!leaf.empty()) name += " " + leaf;
    dir_ = std::filesystem::temp_directory_path() / PathFromUtf8(name);
    std::filesystem::create_directories(dir_);
  }
  ~ScratchDir() {
    // Read-only files cannot be removed on Windows, and the files of a
    // process that has just ended may stay locked for a moment.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (;;) {
      std::error_code ignored, failed;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_, ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ignored);
      std::filesystem::remove_all(dir_, failed);
      if (!failed || std::chrono::steady_clock::now() >= until) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The file name in the folder; with no name, the folder ending in a separator.
  std::string Path(const std::string& name = {}) const {
    const std::u8string path = (dir_ / PathFromUtf8(name)).u8string();
    return {path.begin(), path.end()};
  }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace horalog::test
