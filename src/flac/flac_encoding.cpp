#include "flac/flac_encoding.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <vector>

namespace quenlow {
namespace {

// A seek point every ten seconds: players of these long, large files can
// jump anywhere without reading what lies before.
constexpr std::int64_t kSeekPointSeconds = 10;
constexpr std::int64_t kBatchFrames = 4096;

}  // namespace

struct FlacEncoding::State {
  FlacSink* sink = nullptr;
  FLAC__StreamEncoder* encoder = nullptr;
  FLAC__StreamMetadata* comments = nullptr;
  FLAC__StreamMetadata* seekTable = nullptr;
  std::uint64_t position = 0;  // where the next write goes
  std::uint64_t end = 0;       // bytes appended so far
  bool sinkFailed = false;
  std::int64_t framesLeft = 0;
  std::vector<FLAC__int32> samples = std::vector<FLAC__int32>(2 * kBatchFrames);

  static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                             uint32_t, uint32_t, void* client) {
    auto* self = static_cast<State*>(client);
    bool written = false;
    if (self->position == self->end) {
      written = self->sink->Append(buffer, bytes);
      self->end += bytes;
    } else if (self->position + bytes <= self->end) {
      written = self->sink->WriteAt(self->position, buffer, bytes);
    }
    self->position += bytes;
    if (written) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    self->sinkFailed = true;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }

  static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
    auto* self = static_cast<State*>(client);
    if (offset > self->end) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    self->position = offset;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
    *offset = static_cast<State*>(client)->position;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }

  ~State() {
    if (encoder != nullptr) FLAC__stream_encoder_delete(encoder);
    if (comments != nullptr) FLAC__metadata_object_delete(comments);
    if (seekTable != nullptr) FLAC__metadata_object_delete(seekTable);
  }
};

FlacEncoding::FlacEncoding(FlacSink& sink, std::int64_t sampleRate, std::int64_t frameCount,
                           const RecordingTags& tags)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.sink = &sink;
  s.framesLeft = frameCount;
  s.encoder = FLAC__stream_encoder_new();
  s.comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
  s.seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
  if (s.encoder == nullptr || s.comments == nullptr || s.seekTable == nullptr || frameCount < 0) {
    ok_ = false;
    return;
  }
  for (const TagField& field : tags) {
    // A field whose name or text a Vorbis comment cannot hold is left out.
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, field.name.c_str(),
                                                                         field.value.c_str())) {
      continue;
    }
    if (!FLAC__metadata_object_vorbiscomment_append_comment(s.comments, entry, false)) free(entry.entry);
  }
  const auto total = static_cast<FLAC__uint64>(frameCount);
  if (total > 0) {
    FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
        s.seekTable, static_cast<uint32_t>(kSeekPointSeconds * sampleRate), total);
    FLAC__metadata_object_seektable_template_sort(s.seekTable, true);
  }
  FLAC__StreamMetadata* blocks[] = {s.comments, s.seekTable};
  ok_ = FLAC__stream_encoder_set_channels(s.encoder, 2) && FLAC__stream_encoder_set_bits_per_sample(s.encoder, 24) &&
        FLAC__stream_encoder_set_sample_rate(s.encoder, static_cast<uint32_t>(sampleRate)) &&
        FLAC__stream_encoder_set_compression_level(s.encoder, 5) &&
        FLAC__stream_encoder_set_total_samples_estimate(s.encoder, total) &&
        FLAC__stream_encoder_set_metadata(s.encoder, blocks, total > 0 ? 2 : 1) &&
        FLAC__stream_encoder_init_stream(s.encoder, State::Write, State::Seek, State::Tell, nullptr, &s) ==
            FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

FlacEncoding::~FlacEncoding() = default;

bool FlacEncoding::Encode(const std::uint8_t* packed, std::int64_t frames) {
  State& s = *state_;
  if (!ok_ || frames > s.framesLeft) return ok_ = false;
  s.framesLeft -= frames;
  while (frames > 0) {
    const std::int64_t batch = std::min(frames, kBatchFrames);
    for (std::int64_t i = 0; i < 2 * batch; ++i) {
      const std::uint8_t* b = packed + 3 * i;
      // Sign-extended from 24 bits.
      const auto bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                        static_cast<std::uint32_t>(b[2]) << 16;
      s.samples[static_cast<std::size_t>(i)] = static_cast<FLAC__int32>(bits ^ 0x800000u) - 0x800000;
    }
    if (!FLAC__stream_encoder_process_interleaved(s.encoder, s.samples.data(), static_cast<uint32_t>(batch))) {
      return ok_ = false;
    }
    packed += 6 * batch;
    frames -= batch;
  }
  return true;
}

bool FlacEncoding::Finish() {
  State& s = *state_;
  if (s.encoder == nullptr) return ok_ = false;
  const bool finished = FLAC__stream_encoder_finish(s.encoder);
  ok_ = ok_ && finished && !s.sinkFailed && s.framesLeft == 0;
  return ok_;
}

}  // namespace quenlow
