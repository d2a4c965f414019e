#include "wav/recording_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "platform/files.h"

namespace quenlow {

namespace {

constexpr std::uint64_t kFrameBytes = 4;
// Each output takes 24 bytes an input frame: past 2^40 frames (nine months
// at 44.1 kHz) an output passes 24 TiB, more than common file systems hold
// in one file. Refusing such a header at once also keeps every byte count
// far from the limits of the size arithmetic.
constexpr std::int64_t kMaxFrames = std::int64_t{1} << 40;

}  // namespace

bool RecordingReader::TooLong(std::int64_t frameCount) {
  if (frameCount <= kMaxFrames) return false;
  Fail(SourceProblem::kTooLong);
  return true;
}

RecordingReader::RecordingReader(const std::string& fileName, HeldFile checkedFile, const WavFormatInfo& info,
                                 std::int64_t frameCount)
    : fileName_(fileName), dataOffset_(info.dataOffset), frameCount_(std::max<std::int64_t>(frameCount, 0)) {
  atOpen_ = checkedFile.State();
  file_ = checkedFile.Release();
  if (TooLong(frameCount)) return;
  if (file_ == platform::kNoFile) {
    Fail(SourceProblem::kCannotRead);
    return;
  }
  platform::WillReadInOrder(file_);
}

RecordingReader::RecordingReader(const std::string& fileName, const WavFormatInfo& info, std::int64_t frameCount)
    : fileName_(fileName), dataOffset_(info.dataOffset), frameCount_(std::max<std::int64_t>(frameCount, 0)) {
  if (TooLong(frameCount)) return;
  const platform::OpenedFile opened = platform::OpenForReading(fileName);
  file_ = opened.handle;
  if (file_ == platform::kNoFile) {
    Fail(SourceProblem::kCannotOpen, opened.error);
    return;
  }
  const std::optional<platform::FileState> state = platform::StateOf(file_);
  if (!state) {
    Fail(SourceProblem::kCannotRead);
    return;
  }
  atOpen_ = *state;
  // Both passes read the file from start to end.
  platform::WillReadInOrder(file_);
}

RecordingReader::~RecordingReader() {
  if (file_ != platform::kNoFile) platform::CloseFile(file_);
}

bool RecordingReader::Read(std::int64_t first, std::int64_t count, std::int16_t* out) {
  if (!Ok()) return false;
  first = std::clamp<std::int64_t>(first, 0, frameCount_);
  count = std::clamp<std::int64_t>(count, 0, frameCount_ - first);
  const std::uint64_t offset = dataOffset_ + static_cast<std::uint64_t>(first) * kFrameBytes;
  const std::uint64_t size = static_cast<std::uint64_t>(count) * kFrameBytes;
  // Whatever lay beyond the file's end when it was opened is silence.
  const std::uint64_t held = offset < atOpen_.size ? std::min(size, atOpen_.size - offset) : 0;
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  const std::size_t got = platform::ReadAt(file_, offset, bytes, static_cast<std::size_t>(held));
  if (size > got) std::memset(bytes + got, 0, static_cast<std::size_t>(size - got));
  if (got != held || !Unchanged()) {
    Fail(SourceProblem::kChanged);
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
  return failure_.problem == SourceProblem::kNone;
}

SourceFailure RecordingReader::Failure() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

void RecordingReader::Fail(SourceProblem problem, platform::SystemError error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failure_.problem == SourceProblem::kNone) failure_ = SourceFailure{problem, fileName_, error, 0, {}};
}

std::optional<platform::FileIdentity> RecordingReader::Identity() const {
  if (file_ == platform::kNoFile) return std::nullopt;
  return platform::IdentityOf(file_);
}

bool RecordingReader::Unchanged() const { return platform::StateOf(file_) == atOpen_; }

}  // namespace quenlow
