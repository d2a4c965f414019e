#include "flac/flac_writer.h"

#include <cstring>
#include <utility>
#include <vector>

#include "flac/flac_encoding.h"
#include "platform/files.h"
#include "wav/unfinished_outputs.h"

namespace quenlow {

// Appends gather in a buffer; the encoder's few writes over the stream's
// start (its length, MD5 and seek table, at the end) go to their places.
class OutputFlacWriter::FileSink : public FlacSink {
 public:
  explicit FileSink(platform::FileHandle file) : file_(file) { buffer_.reserve(kBufferSize); }

  bool Append(const std::uint8_t* bytes, std::size_t size) override {
    if (error_ != 0) return false;
    if (buffer_.size() + size > kBufferSize && !Flush()) return false;
    if (size >= kBufferSize) return Put(bytes, size);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
  }

  bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) override {
    if (!Flush()) return false;
    error_ = platform::WriteAt(file_, offset, bytes, size);
    return error_ == 0;
  }

  bool Flush() {
    if (error_ != 0) return false;
    const bool put = Put(buffer_.data(), buffer_.size());
    buffer_.clear();
    return put;
  }

  platform::SystemError Error() const { return error_; }

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  bool Put(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return true;
    error_ = platform::WriteAll(file_, bytes, size);
    return error_ == 0;
  }

  platform::FileHandle file_;
  std::vector<std::uint8_t> buffer_;
  platform::SystemError error_ = 0;
};

OutputFlacWriter::OutputFlacWriter(std::string finalName, std::int64_t outputSampleRate, std::int64_t frameCount,
                                   const RecordingTags& tags)
    : finalName_(std::move(finalName)) {
  const UnfinishedOutput created = CreateUnfinishedOutput(finalName_);
  if (created.file == platform::kNoFile) {
    Fail(WriteFailure::kSystem, created.error);
    return;
  }
  unfinishedSlot_ = created.slot;
  file_ = created.file;
  sink_ = std::make_unique<FileSink>(created.file);
  encoding_ = std::make_unique<FlacEncoding>(*sink_, outputSampleRate, frameCount, tags);
  if (!encoding_->Ok()) Fail(WriteFailure::kEncoderSetUp);
}

OutputFlacWriter::~OutputFlacWriter() { Discard(); }

void OutputFlacWriter::Append(const std::uint8_t* bytes, std::size_t size) {
  if (!result_.ok || completed_ || size == 0) return;
  if (size % 6 != 0) {
    Fail(WriteFailure::kPartFrame);
    return;
  }
  if (!encoding_->Encode(bytes, static_cast<std::int64_t>(size / 6))) {
    Fail(sink_->Error() != 0 ? WriteFailure::kSystem : WriteFailure::kTooManyFrames, sink_->Error());
  }
}

WriteResult OutputFlacWriter::Complete() {
  if (completed_) return result_;
  completed_ = true;
  if (!result_.ok) return result_;
  if (!encoding_->Finish() || !sink_->Flush()) {
    Fail(sink_->Error() != 0 ? WriteFailure::kSystem : WriteFailure::kStreamNotEnded, sink_->Error());
    return result_;
  }
  encoding_.reset();
  if (const platform::SystemError error = platform::FlushToDisk(file_); error != 0) {
    Fail(WriteFailure::kSystem, error);
  }
  return result_;
}

WriteResult OutputFlacWriter::PutInPlace() {
  if (!completed_) Complete();
  if (!result_.ok || placed_) return result_;
  if (const platform::SystemError error = PutUnfinishedOutputInPlace(unfinishedSlot_, finalName_); error != 0) {
    Fail(WriteFailure::kSystem, error);
    return result_;
  }
  placed_ = true;
  unfinishedSlot_ = -1;
  file_ = platform::kNoFile;
  return result_;
}

WriteResult OutputFlacWriter::Finish() {
  Complete();
  return PutInPlace();
}

void OutputFlacWriter::Fail(WriteFailure failure, platform::SystemError error) {
  if (!result_.ok) return;
  result_ = WriteResult{false, failure, finalName_, error, 0, 0};
  Discard();
}

void OutputFlacWriter::Discard() {
  encoding_.reset();
  file_ = platform::kNoFile;
  if (unfinishedSlot_ < 0) return;
  DiscardUnfinishedOutput(std::exchange(unfinishedSlot_, -1));
}

}  // namespace quenlow
