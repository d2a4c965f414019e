#include "digest/sha256.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace quenlow {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, on every system
// (this test runs under Wine too, for the Windows digest).
class Folder {
 public:
  Folder() : path_(fs::temp_directory_path() / ("quenlow-sha256-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return (path_ / name).string();
  }
  std::string Path(const std::string& name = "") const { return (name.empty() ? path_ : path_ / name).string(); }

 private:
  fs::path path_;
};

// The standard's own examples, and a file longer than one read.
TEST(Sha256, GivesTheKnownDigestsOfBytesAndOfFiles) {
  struct Case {
    std::string text;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  Folder folder;
  for (const Case& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.text.data());
    EXPECT_EQ(Sha256Hex(bytes, c.text.size()), c.digest) << c.text.size() << " bytes";
    const std::string file = folder.Write("f", c.text);
    EXPECT_EQ(Sha256OfFile(file), c.digest) << c.text.size() << " bytes, from a file";
  }
  EXPECT_EQ(Sha256OfFile(folder.Path("none")), std::nullopt);
  EXPECT_EQ(Sha256OfFile(folder.Path()), std::nullopt);
}

}  // namespace
}  // namespace quenlow
