#include "batch/batch_source.h"

#include "batch/batch_inputs.h"
#include "batch/batch_messages.h"
#include "batch/other_formats.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "wav/checked_recording.h"
#include "wav/recording_reader.h"
#include "wav/wav_reader.h"

namespace quenlow {

OpenedInput RejectedInput(std::string why) { return OpenedInput{nullptr, 0, 0, std::move(why)}; }

OpenedInput OpenWavInput(const std::string& path) {
  // The job reads the file whose header is checked here, through the same
  // open file.
  CheckedRecording checked = CheckRecording(path);
  if (!checked.header.info) return RejectedInput(BatchText(checked.header.rejection));
  const WavFormatInfo& info = *checked.header.info;
  const std::int64_t frames = SampleFrameCount(info);
  auto reader = checked.file.Handle() != platform::kNoFile
                    ? std::make_unique<RecordingReader>(path, std::move(checked.file), info, frames)
                    : std::make_unique<RecordingReader>(path, info, frames);
  // A file the header check could read but the job cannot (a length past
  // what any output holds) is refused here too.
  if (!reader->Ok()) return RejectedInput(BatchText(reader->Failure()));
  return OpenedInput{std::move(reader), info.sampleRate, frames, ""};
}

OpenedInput OpenBatchInput(const std::string& path) {
  platform::SystemError error = 0;
  switch (platform::KindOfTarget(path, &error)) {
    case platform::NameKind::Folder: return RejectedInput("is a folder");
    case platform::NameKind::Free:
    case platform::NameKind::Unknown: return RejectedInput("cannot be opened: " + platform::ErrorText(error));
    case platform::NameKind::File:
    case platform::NameKind::Link: break;
    case platform::NameKind::Other: return RejectedInput("is not a regular file");
  }
  // The system's reason for a file that cannot be read: the readers below
  // would call it not a recording.
  const platform::OpenedFile opened = platform::OpenForReading(path);
  if (opened.handle == platform::kNoFile) return RejectedInput("cannot be opened: " + platform::ErrorText(opened.error));
  platform::CloseFile(opened.handle);
  return IsWavName(path) ? OpenWavInput(path) : OpenOtherFormat(path);
}

}  // namespace quenlow
