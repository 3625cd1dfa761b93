#pragma once
// A temporary directory for the desktop tests, removed with everything in it, and small file
// helpers.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace tarnwick::test {

class TTempDir {
 public:
  TTempDir() {
    static std::atomic<int> counter{0};
    Root = std::filesystem::temp_directory_path() /
           ("tarnwick-desktop-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(Root);
    std::filesystem::create_directories(Root);
  }
  ~TTempDir() { std::filesystem::remove_all(Root); }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  std::string Path(const std::string& relative) const { return (Root / relative).string(); }

  std::string Write(const std::string& relative, const std::string& text) const {
    const auto path = Root / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  std::string Read(const std::string& relative) const {
    std::ifstream in(Root / relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

 private:
  std::filesystem::path Root;
};

}  // namespace tarnwick::test
