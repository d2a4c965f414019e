// Writing the two 24-bit stereo outputs at four times the input rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "wav/output_wav_header.h"

namespace quenlow {

inline constexpr std::string_view kUnfilteredSuffix = " QLW unfiltered.wav";
inline constexpr std::string_view kFilteredSuffix = " QLW filtered.wav";

// The input name without its last four characters (whatever they are), then
// the suffix. Characters are counted as bytes, the name as typed.
std::string OutputFileName(const std::string& inputName, std::string_view suffix);

// Why an output could not be written.
enum class WriteFailure {
  kNone,
  kFormatTooLarge,  // the figures do not fit a WAV header
  kNoBytes,         // sample bytes were promised and none given
  kTooManyBytes,    // more sample bytes than the header announces
  kTooFewBytes,     // `given` of the `expected` sample bytes
  kSystem,          // the system refused: `error`
  // Of a FLAC output only.
  kEncoderSetUp,    // the encoder could not be set up
  kPartFrame,       // a piece of sample bytes was not whole frames
  kTooManyFrames,   // more frames than announced
  kStreamNotEnded,  // the stream could not be ended
};

// The outcome of one output file: ok, or why it could not be written.
struct WriteResult {
  bool ok = true;
  WriteFailure failure = WriteFailure::kNone;
  std::string name;  // the output's final name
  platform::SystemError error = 0;
  std::uint64_t given = 0;
  std::uint64_t expected = 0;
};

// Streams one output file: a file that has no name yet, or a temporary one
// beside the final name, gets the header and then the sample bytes in any
// number of pieces; Complete flushes it to disk, PutInPlace gives it the
// final name (Finish does both). Until then an existing file of that name is
// untouched; a replaced file's permission bits carry over to the new one. On
// any failure, or when the writer goes without being put in place, the new
// file is removed. The writer puts the header in itself: Append takes sample
// bytes only, and Complete fails unless exactly the data size was appended.
// After a failure, Append does nothing and the rest report the first failure.
class OutputWavWriter {
 public:
  // channelCount and the output rate go into the header; frameCount fixes its
  // sizes. Headers whose sizes pass the 32-bit fields are written as RF64;
  // riffSizeLimit lowers that bound, for tests. `trailer` is written after
  // the data: whole chunks of an even size (the tags' LIST/INFO chunk).
  OutputWavWriter(std::string finalName, int channelCount, std::int64_t outputSampleRate,
                  std::int64_t frameCount, std::uint64_t riffSizeLimit = kMaxRiffSize,
                  std::vector<std::uint8_t> trailer = {});
  ~OutputWavWriter();  // removes the temporary file unless Finish succeeded
  OutputWavWriter(const OutputWavWriter&) = delete;
  OutputWavWriter& operator=(const OutputWavWriter&) = delete;

  void Append(const std::uint8_t* bytes, std::size_t size);
  // The whole file on disk, still under no name of its own.
  WriteResult Complete();
  // The complete file under its final name.
  WriteResult PutInPlace();
  WriteResult Finish();

  // The sample bytes the header promises (6 a frame for stereo).
  std::uint64_t DataSize() const { return dataSize_; }
  // False once anything has failed: a caller may stop producing samples.
  bool Ok() const { return result_.ok; }

  // For putting several outputs in place together (output_pair.h): the
  // unfinished file, its final name, and the news that it took that name.
  int UnfinishedSlot() const { return unfinishedSlot_; }
  const std::string& FinalName() const { return finalName_; }
  void MarkPlaced();

 private:
  void Fail(WriteFailure failure, platform::SystemError error = 0);
  void FailWithSystemError(platform::SystemError error);
  void Put(const std::uint8_t* bytes, std::size_t size);
  bool Flush();
  bool WriteOut(const std::uint8_t* bytes, std::size_t size);
  void RemoveTemporaryFile();

  std::string finalName_;
  int unfinishedSlot_ = -1;  // the temporary file, in the list the clean-up on interruption reads
  platform::FileHandle file_ = platform::kNoFile;              // belongs to the list of unfinished outputs
  std::uint64_t dataSize_ = 0;
  std::vector<std::uint8_t> trailer_;
  std::uint64_t appended_ = 0;
  bool completed_ = false;
  bool placed_ = false;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t bufferCapacity_ = 0;
  std::size_t buffered_ = 0;
  std::uint64_t writtenOut_ = 0;  // bytes in the file so far
  std::uint64_t droppedOut_ = 0;  // bytes on disk and let go of
  WriteResult result_;
};


}  // namespace quenlow
