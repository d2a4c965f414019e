// The recording's samples, read piece by piece from one open file: each pass
// of the job reads just the frames its next piece needs, so memory does not
// grow with the recording's length.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/files.h"
#include "wav/checked_recording.h"
#include "wav/sample_source.h"
#include "wav/wav_reader.h"

namespace quenlow {

class RecordingReader : public SampleSource {
 public:
  // Opens the file; the frames it holds now are the recording, the rest of
  // the N frames being silence, as for any file shorter than its header says.
  RecordingReader(const std::string& fileName, const WavFormatInfo& info, std::int64_t frameCount);
  // Reads the file that was checked, already open; its state at the check is
  // the one it must keep.
  RecordingReader(const std::string& fileName, HeldFile checkedFile, const WavFormatInfo& info,
                  std::int64_t frameCount);
  ~RecordingReader() override;
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  // False, with the reason in Failure(), once the file could not be opened or
  // has changed since: a pass that read other samples than the other pass
  // would give outputs of two different recordings.
  bool Ok() const override;
  SourceFailure Failure() const override;

  // Frames [first, first + count) into out, left and right interleaved (2
  // values a frame). False when the file is found changed (shorter, or
  // written to) since it was opened. Both passes may read at once.
  bool Read(std::int64_t first, std::int64_t count, std::int16_t* out) override;

  std::optional<platform::FileIdentity> Identity() const override;

 private:
  bool TooLong(std::int64_t frameCount);
  bool Unchanged() const;
  void Fail(SourceProblem problem, platform::SystemError error = 0);

  std::string fileName_;
  platform::FileHandle file_ = platform::kNoFile;
  std::uint64_t dataOffset_ = 0;
  std::int64_t frameCount_ = 0;
  platform::FileState atOpen_;
  mutable std::mutex mutex_;
  SourceFailure failure_;
};

}  // namespace quenlow
