#include "wav/recording_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "wav/file_io.h"

namespace quenlow {

namespace {

constexpr std::uint64_t kFrameBytes = 4;
// Each output takes 24 bytes an input frame: past 2^40 frames (25 years at
// 44.1 kHz) no file system holds them. Refusing such a header at once also
// keeps every byte count far from the limits of the size arithmetic.
constexpr std::int64_t kMaxFrames = std::int64_t{1} << 40;

std::int64_t ModificationTime(const struct stat& status) {
  return std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
}

}  // namespace

RecordingReader::RecordingReader(const std::string& fileName, const WavFormatInfo& info, std::int64_t frameCount)
    : fileName_(fileName), dataOffset_(info.dataOffset), frameCount_(std::max<std::int64_t>(frameCount, 0)) {
  if (frameCount > kMaxFrames) {
    Fail(fileName + " is longer than any output file can hold");
    return;
  }
  fd_ = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (fd_ < 0 || fstat(fd_, &status) != 0) {
    Fail(fileName + " cannot be read: " + std::strerror(errno));
    return;
  }
  sizeAtOpen_ = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
  modifiedAtOpen_ = ModificationTime(status);
  // Both passes read the file from start to end.
  (void)posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

RecordingReader::~RecordingReader() {
  if (fd_ >= 0) close(fd_);
}

bool RecordingReader::Read(std::int64_t first, std::int64_t count, std::int16_t* out) {
  if (!Ok()) return false;
  first = std::clamp<std::int64_t>(first, 0, frameCount_);
  count = std::clamp<std::int64_t>(count, 0, frameCount_ - first);
  const std::uint64_t offset = dataOffset_ + static_cast<std::uint64_t>(first) * kFrameBytes;
  const std::uint64_t size = static_cast<std::uint64_t>(count) * kFrameBytes;
  // Whatever lay beyond the file's end when it was opened is silence.
  const std::uint64_t held = offset < sizeAtOpen_ ? std::min(size, sizeAtOpen_ - offset) : 0;
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  const std::size_t got = ReadAt(fd_, offset, bytes, static_cast<std::size_t>(held));
  std::memset(bytes + got, 0, static_cast<std::size_t>(size - got));
  if (got != held || !Unchanged()) {
    Fail(fileName_ + " changed while it was being read: the outputs were not written");
    return false;
  }
  if constexpr (std::endian::native == std::endian::big) {
    for (std::int64_t i = 0; i < 2 * count; ++i) {
      const auto bits = static_cast<std::uint16_t>(out[i]);
      out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>((bits >> 8) | (bits << 8)));
    }
  }
  return true;
}

bool RecordingReader::Ok() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_.empty();
}

std::string RecordingReader::Failure() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

void RecordingReader::Fail(std::string why) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failure_.empty()) failure_ = std::move(why);
}

bool RecordingReader::Unchanged() const {
  struct stat status {};
  if (fstat(fd_, &status) != 0) return false;
  return static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)) == sizeAtOpen_ &&
         ModificationTime(status) == modifiedAtOpen_;
}

}  // namespace quenlow
