// Building WAV files byte by byte, and a scratch folder that cleans up after
// itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quenlow::test {

using Bytes = std::vector<std::uint8_t>;

struct HeaderFigures {
  std::uint16_t formatTag = 1;
  std::uint16_t channelField = 2;
  std::uint32_t sampleRate = 44100;
  std::uint16_t bitsPerSample = 16;
  std::uint32_t dataSize = 0;
};

// The canonical 44-byte header.
Bytes CanonicalHeader(const HeaderFigures& figures);

// "RIFF", a size, "WAVE" and the given chunks.
Bytes RiffFile(const std::vector<Bytes>& chunks);
// One chunk: id, size, payload and a pad byte after an odd payload.
Bytes Chunk(const std::string& id, const Bytes& payload);
// A chunk header claiming `size` bytes, without its payload.
Bytes ChunkHeader(const std::string& id, std::uint32_t size);
// The 16 (or more) bytes of a PCM format chunk's payload.
Bytes FormatPayload(const HeaderFigures& figures, std::size_t extraBytes = 0);

Bytes Join(const std::vector<Bytes>& parts);
void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value);

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const Bytes& bytes) const;
  // Names of the folder's entries, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

Bytes ReadWholeFile(const std::string& path);

}  // namespace quenlow::test
