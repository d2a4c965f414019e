#include "wav/wav_writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/files.h"
#include "wav/unfinished_outputs.h"

namespace quenlow {

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// How far behind the bytes just written the written ones are let go of.
constexpr std::uint64_t kDropLag = std::uint64_t{32} << 20;

}  // namespace

OutputWavWriter::OutputWavWriter(std::string finalName, int channelCount, std::int64_t outputSampleRate,
                                 std::int64_t frameCount, std::uint64_t riffSizeLimit,
                                 std::vector<std::uint8_t> trailer)
    : finalName_(std::move(finalName)), trailer_(std::move(trailer)) {
  const auto layout = OutputWavHeader(channelCount, outputSampleRate, frameCount, riffSizeLimit, trailer_.size());
  if (!layout) {
    Fail(WriteFailure::kFormatTooLarge);
    return;
  }
  dataSize_ = layout->dataSize;

  // The file is made in the final name's folder, so that putting it in
  // place stays within one file system and replaces the old file at once.
  const UnfinishedOutput created = CreateUnfinishedOutput(finalName_);
  if (created.file == platform::kNoFile) {
    FailWithSystemError(created.error);
    return;
  }
  file_ = created.file;
  unfinishedSlot_ = created.slot;

  buffer_.reset(new (std::nothrow) std::uint8_t[kBufferSize]);
  bufferCapacity_ = buffer_ ? kBufferSize : 0;
  Put(layout->header.data(), layout->header.size());
}

OutputWavWriter::~OutputWavWriter() { RemoveTemporaryFile(); }

void OutputWavWriter::Append(const std::uint8_t* bytes, std::size_t size) {
  if (!result_.ok || completed_ || size == 0) return;
  if (bytes == nullptr) {
    Fail(WriteFailure::kNoBytes);
    return;
  }
  if (size > dataSize_ - appended_) {
    Fail(WriteFailure::kTooManyBytes);
    return;
  }
  appended_ += size;
  Put(bytes, size);
}

WriteResult OutputWavWriter::Complete() {
  if (completed_) return result_;
  completed_ = true;
  if (!result_.ok) return result_;
  if (appended_ != dataSize_) {
    Fail(WriteFailure::kTooFewBytes);
    return result_;
  }
  if (!trailer_.empty()) Put(trailer_.data(), trailer_.size());
  if (!Flush()) return result_;
  if (const platform::SystemError error = platform::FlushToDisk(file_); error != 0) FailWithSystemError(error);
  return result_;
}

WriteResult OutputWavWriter::PutInPlace() {
  if (!completed_) Complete();
  if (!result_.ok || placed_) return result_;
  if (const platform::SystemError error = PutUnfinishedOutputInPlace(unfinishedSlot_, finalName_); error != 0) {
    FailWithSystemError(error);
    return result_;
  }
  placed_ = true;
  unfinishedSlot_ = -1;
  file_ = platform::kNoFile;
  return result_;
}

void OutputWavWriter::MarkPlaced() {
  placed_ = true;
  unfinishedSlot_ = -1;
  file_ = platform::kNoFile;
}

WriteResult OutputWavWriter::Finish() {
  Complete();
  return PutInPlace();
}

void OutputWavWriter::Fail(WriteFailure failure, platform::SystemError error) {
  if (!result_.ok) return;
  result_ = WriteResult{false, failure, finalName_, error, appended_, dataSize_};
  RemoveTemporaryFile();
}

void OutputWavWriter::FailWithSystemError(platform::SystemError error) { Fail(WriteFailure::kSystem, error); }

// Small pieces gather in the buffer; a piece larger than the buffer goes to
// the file straight from the caller's memory.
void OutputWavWriter::Put(const std::uint8_t* bytes, std::size_t size) {
  if (!result_.ok) return;
  if (size <= bufferCapacity_ - buffered_) {
    std::memcpy(buffer_.get() + buffered_, bytes, size);
    buffered_ += size;
    return;
  }
  if (!Flush()) return;
  if (size < bufferCapacity_) {
    std::memcpy(buffer_.get(), bytes, size);
    buffered_ = size;
    return;
  }
  WriteOut(bytes, size);
}

bool OutputWavWriter::Flush() {
  if (!result_.ok) return false;
  const bool written = WriteOut(buffer_.get(), buffered_);
  buffered_ = 0;
  return written;
}

bool OutputWavWriter::WriteOut(const std::uint8_t* bytes, std::size_t size) {
  if (const platform::SystemError error = platform::WriteAll(file_, bytes, size); error != 0) {
    FailWithSystemError(error);
    return false;
  }
  platform::StartWriteBack(file_, writtenOut_, size);
  writtenOut_ += size;
  // What the disk had time to take lets go of memory, some way behind what
  // was just handed to it.
  if (writtenOut_ > droppedOut_ + 2 * kDropLag) {
    const std::uint64_t until = writtenOut_ - kDropLag;
    platform::DropWritten(file_, droppedOut_, until - droppedOut_);
    droppedOut_ = until;
  }
  return true;
}

void OutputWavWriter::RemoveTemporaryFile() {
  file_ = platform::kNoFile;
  if (unfinishedSlot_ < 0) return;
  DiscardUnfinishedOutput(std::exchange(unfinishedSlot_, -1));
}

}  // namespace quenlow
