#include "wav/checked_recording.h"

#include <utility>

namespace quenlow {

HeldFile::~HeldFile() {
  if (file_ != platform::kNoFile) platform::CloseFile(file_);
}

HeldFile::HeldFile(HeldFile&& other) noexcept
    : file_(std::exchange(other.file_, platform::kNoFile)), state_(other.state_) {}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
  if (this != &other) {
    if (file_ != platform::kNoFile) platform::CloseFile(file_);
    file_ = std::exchange(other.file_, platform::kNoFile);
    state_ = other.state_;
  }
  return *this;
}

platform::FileHandle HeldFile::Release() { return std::exchange(file_, platform::kNoFile); }

CheckedRecording CheckRecording(const std::string& fileName) {
  CheckedRecording checked;
  const platform::OpenedFile opened = platform::OpenForReading(fileName);
  if (opened.handle == platform::kNoFile) {
    checked.header = ReadWavHeader(fileName);  // the message of a file that does not open
    return checked;
  }
  // The state comes before the header: a change made while the header is
  // read shows later as a change.
  const std::optional<platform::FileState> state = platform::StateOf(opened.handle);
  HeldFile file(opened.handle, state.value_or(platform::FileState{}));
  checked.header = ReadWavHeaderFrom(opened.handle);
  if (checked.header.info && state) checked.file = std::move(file);
  return checked;
}

}  // namespace quenlow
