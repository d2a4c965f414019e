#include <bit>
#include <new>

#include "platform/files.h"
#include "wav/wav_reader.h"

namespace quenlow {

namespace {

// More frames than any memory holds; refusing them early also keeps the byte
// count far from the limits of the size arithmetic.
constexpr std::uint64_t kMaxFrames = std::uint64_t{1} << 40;

// The file's bytes are little-endian; on a big-endian host each value is
// turned round after the read.
void ToHostOrder(std::vector<std::int16_t>& values) {
  if constexpr (std::endian::native == std::endian::big) {
    for (std::int16_t& value : values) {
      const auto bits = static_cast<std::uint16_t>(value);
      value = static_cast<std::int16_t>(static_cast<std::uint16_t>((bits >> 8) | (bits << 8)));
    }
  }
}

struct FileCloser {
  platform::FileHandle file;
  ~FileCloser() { platform::CloseFile(file); }
};

}  // namespace

std::optional<std::vector<std::int16_t>> ReadSampleBlock(const std::string& fileName,
                                                         const WavFormatInfo& info,
                                                         std::int64_t frameCount,
                                                         std::string* failure) {
  auto fail = [&](const std::string& reason) -> std::optional<std::vector<std::int16_t>> {
    if (failure != nullptr) *failure = reason;
    return std::nullopt;
  };
  const platform::OpenedFile file = platform::OpenForReading(fileName);
  if (file.handle == platform::kNoFile) {
    return fail(fileName + " cannot be read: " + platform::ErrorText(file.error));
  }
  const FileCloser closer{file.handle};
  if (frameCount <= 0) return std::vector<std::int16_t>{};
  if (static_cast<std::uint64_t>(frameCount) > kMaxFrames) return fail("Not enough memory for this recording");
  const std::uint64_t valueCount = 2 * static_cast<std::uint64_t>(frameCount);

  std::vector<std::int16_t> values;
  try {
    // Zero-filled: whatever the file does not hold stays 0.
    values.resize(valueCount);
  } catch (const std::bad_alloc&) {
    return fail("Not enough memory for this recording");
  }

  auto* bytes = reinterpret_cast<std::uint8_t*>(values.data());
  platform::ReadAt(file.handle, info.dataOffset, bytes, values.size() * sizeof(std::int16_t));
  ToHostOrder(values);
  return values;
}

}  // namespace quenlow
