#include "batch/other_formats.h"

#include <sndfile.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "batch/batch_messages.h"
#include "flac/flac_tags.h"
#include "flac/flac_writer.h"
#include "platform/file_names.h"
#include "wav/recording_format.h"

namespace quenlow {

namespace {

// libsndfile's reason when it has one a user can act on: a short read with
// no error means the file ends early, and its internal failures mean
// nothing outside it.
std::string DecoderReason(SNDFILE* file) {
  if (sf_error(file) == SF_ERR_NO_ERROR) return "the file ends before the length it gives";
  const std::string text = sf_strerror(file);
  if (text.find("Internal") != std::string::npos || text.find("psf_") != std::string::npos) {
    return "the file is damaged or cut short";
  }
  return text;
}

// A stream whose length was not known when it was written (a FLAC encoded
// to a pipe says 0): its frames are counted by decoding it once.
std::int64_t CountFrames(SNDFILE* file) {
  std::vector<std::int16_t> block(2 * 65536);
  std::int64_t frames = 0;
  for (sf_count_t got; (got = sf_readf_short(file, block.data(), 65536)) > 0;) frames += got;
  return frames;
}

// A decoded recording: libsndfile hands out 16-bit PCM as the very values
// the file holds, whatever its container or compression. The two passes
// read at once, each from its own place: one decoder, taken by turns.
class DecodedSource : public SampleSource {
 public:
  DecodedSource(SNDFILE* file, const std::string& name, std::int64_t frames)
      : file_(file), name_(name), frames_(frames), identity_(platform::IdentityOfName(name)) {}
  ~DecodedSource() override { sf_close(file_); }
  DecodedSource(const DecodedSource&) = delete;
  DecodedSource& operator=(const DecodedSource&) = delete;

  bool Ok() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_.problem == SourceProblem::kNone;
  }
  SourceFailure Failure() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

  std::optional<platform::FileIdentity> Identity() const override { return identity_; }

  bool Read(std::int64_t first, std::int64_t count, std::int16_t* out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_.problem != SourceProblem::kNone) return false;
    // Frames past the recording's end are silence, as for a WAV file.
    const std::int64_t held = std::clamp<std::int64_t>(frames_ - first, 0, std::max<std::int64_t>(count, 0));
    std::fill(out + 2 * held, out + 2 * std::max<std::int64_t>(count, 0), std::int16_t{0});
    if (held == 0) return true;
    if (first != position_ && sf_seek(file_, first, SEEK_SET) != first) {
      failure_ = SourceFailure{SourceProblem::kCannotRead, name_, 0, first, DecoderReason(file_)};
      return false;
    }
    std::int64_t done = 0;
    while (done < held) {
      const sf_count_t got = sf_readf_short(file_, out + 2 * done, held - done);
      if (got <= 0) break;
      done += got;
    }
    position_ = first + done;
    // A file that ends before the length its header gives is damaged: its
    // outputs would hold silence where music was.
    if (done < held) {
      failure_ = SourceFailure{SourceProblem::kCannotDecode, name_, 0, position_, DecoderReason(file_)};
      return false;
    }
    return true;
  }

 private:
  SNDFILE* file_;
  std::string name_;
  std::int64_t frames_;
  std::optional<platform::FileIdentity> identity_;
  std::int64_t position_ = 0;
  mutable std::mutex mutex_;
  SourceFailure failure_;
};

std::string SubtypeName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format & SF_FORMAT_SUBMASK;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) return "unknown";
  return info.name;
}

}  // namespace

// The dialogue's rule for what libsndfile reports, with its figures.
OpenedInput OpenOtherFormat(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return RejectedInput(std::string("This is not a recording libsndfile reads (") + sf_strerror(nullptr) + ")");
  auto reject = [&](std::string why) {
    sf_close(file);
    return RejectedInput(std::move(why));
  };
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  const bool pcm = subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_16 ||
                   subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32;
  const int bits = subtype == SF_FORMAT_PCM_16 ? 16 : 0;  // only whether it is 16 matters
  const WavRejection rejection = CheckRecordingFormat(pcm, info.channels, bits, info.samplerate);
  if (rejection == WavRejection::kNotStereo) {
    return reject(BatchText(rejection, std::to_string(info.channels) + (info.channels == 1 ? " channel" : " channels")));
  }
  if (rejection == WavRejection::kWrongRate) return reject(BatchText(rejection, std::to_string(info.samplerate) + " Hz"));
  if (rejection != WavRejection::kNone) return reject(BatchText(rejection, SubtypeName(info.format)));
  std::int64_t frames = info.frames;
  if (frames < 0 || frames >= SF_COUNT_MAX) {
    frames = CountFrames(file);
    if (sf_error(file) != SF_ERR_NO_ERROR) {
      return reject(BatchText(SourceFailure{SourceProblem::kCannotDecode, path, 0, frames, DecoderReason(file)}));
    }
    // Opened afresh rather than sought back: a stream of unknown length
    // need not seek.
    sf_close(file);
    info = SF_INFO{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return RejectedInput(std::string("cannot be opened again: ") + sf_strerror(nullptr));
  }
  return OpenedInput{std::make_unique<DecodedSource>(file, path, frames), info.samplerate, frames, ""};
}

bool FlacOutputsAvailable() { return true; }

std::optional<RecordingTags> ReadOtherFormatTags(const std::string& path) { return ReadFlacTags(path); }

std::unique_ptr<OutputWriter> MakeFlacWriter(const std::string& name, std::int64_t rate, std::int64_t frames,
                                             const RecordingTags& tags) {
  return std::make_unique<OutputFlacWriter>(name, rate, frames, tags);
}

}  // namespace quenlow
