// Files for end-to-end runs: a scratch folder and WAV files written byte by
// byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quenlow::e2e {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExistsAt(const std::string& path);

// A canonical 44-byte header followed by `frameCount` silent stereo 16-bit
// frames.
std::vector<std::uint8_t> SilentWav(std::uint32_t sampleRate, std::uint32_t frameCount);

}  // namespace quenlow::e2e
