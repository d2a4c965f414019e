// Writing one output as FLAC, the way every output is written: into a file
// with no name yet (or a hidden temporary), complete and flushed to disk
// before it takes its name; removed on any failure or when the writer goes
// without being put in place. The same calls as OutputWavWriter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"
#include "wav/recording_tags.h"
#include "wav/wav_writer.h"

namespace quenlow {

class OutputFlacWriter {
 public:
  OutputFlacWriter(std::string finalName, std::int64_t outputSampleRate, std::int64_t frameCount,
                   const RecordingTags& tags);
  ~OutputFlacWriter();
  OutputFlacWriter(const OutputFlacWriter&) = delete;
  OutputFlacWriter& operator=(const OutputFlacWriter&) = delete;

  // Packed sample bytes, 6 a frame, in any number of pieces.
  void Append(const std::uint8_t* bytes, std::size_t size);
  WriteResult Complete();
  WriteResult PutInPlace();
  WriteResult Finish();
  bool Ok() const { return result_.ok; }

 private:
  class FileSink;
  void Fail(WriteFailure failure, platform::SystemError error = 0);
  void Discard();

  std::string finalName_;
  int unfinishedSlot_ = -1;
  platform::FileHandle file_ = platform::kNoFile;  // belongs to the list of unfinished outputs
  std::unique_ptr<FileSink> sink_;
  std::unique_ptr<class FlacEncoding> encoding_;
  bool completed_ = false;
  bool placed_ = false;
  WriteResult result_;
};

}  // namespace quenlow
