// FLAC outputs: the decoded samples are the packed bytes given, the tags
// come back as written, and the stream information and seek table are
// filled in over their places.
#include "flac/flac_encoding.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace quenlow {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MemorySink : public FlacSink {
 public:
  bool Append(const std::uint8_t* bytes, std::size_t size) override {
    if (failAfter >= 0 && bytes_.size() + size > static_cast<std::size_t>(failAfter)) return false;
    bytes_.insert(bytes_.end(), bytes, bytes + size);
    return true;
  }
  bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) override {
    if (offset + size > bytes_.size()) return false;
    std::memcpy(bytes_.data() + offset, bytes, size);
    return true;
  }
  Bytes bytes_;
  long failAfter = -1;
};

// Decodes a FLAC stream in memory back to packed 24-bit frames.
struct Decoded {
  Bytes packed;
  std::uint64_t totalSamples = 0;
  unsigned bits = 0;
  unsigned rate = 0;
  RecordingTags tags;
  unsigned seekPoints = 0;
  bool md5Set = false;
};

struct Reader {
  const Bytes* in;
  std::size_t at = 0;
  Decoded out;
};

FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* client) {
  auto* r = static_cast<Reader*>(client);
  const std::size_t n = std::min(*bytes, r->in->size() - r->at);
  std::memcpy(buffer, r->in->data() + r->at, n);
  r->at += n;
  *bytes = n;
  return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                     const FLAC__int32* const buffer[], void* client) {
  auto* r = static_cast<Reader*>(client);
  for (unsigned i = 0; i < frame->header.blocksize; ++i) {
    for (unsigned c = 0; c < 2; ++c) {
      const auto bits = static_cast<std::uint32_t>(buffer[c][i]);
      for (int b = 0; b < 3; ++b) r->out.packed.push_back(static_cast<std::uint8_t>(bits >> (8 * b)));
    }
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
  auto* r = static_cast<Reader*>(client);
  if (block->type == FLAC__METADATA_TYPE_STREAMINFO) {
    r->out.totalSamples = block->data.stream_info.total_samples;
    r->out.bits = block->data.stream_info.bits_per_sample;
    r->out.rate = block->data.stream_info.sample_rate;
    for (FLAC__byte b : block->data.stream_info.md5sum) r->out.md5Set = r->out.md5Set || b != 0;
  } else if (block->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
    for (unsigned i = 0; i < block->data.vorbis_comment.num_comments; ++i) {
      char* name = nullptr;
      char* value = nullptr;
      FLAC__metadata_object_vorbiscomment_entry_to_name_value_pair(block->data.vorbis_comment.comments[i], &name,
                                                                   &value);
      r->out.tags.push_back({name, value});
      free(name);
      free(value);
    }
  } else if (block->type == FLAC__METADATA_TYPE_SEEKTABLE) {
    for (unsigned i = 0; i < block->data.seek_table.num_points; ++i) {
      if (block->data.seek_table.points[i].sample_number != FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER) {
        ++r->out.seekPoints;
      }
    }
  }
}

void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

Decoded Decode(const Bytes& flac) {
  Reader reader{&flac, 0, {}};
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  FLAC__stream_decoder_set_metadata_respond_all(decoder);
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  EXPECT_EQ(FLAC__stream_decoder_init_stream(decoder, Read, nullptr, nullptr, nullptr, nullptr, Write, Metadata,
                                             Error, &reader),
            FLAC__STREAM_DECODER_INIT_STATUS_OK);
  EXPECT_TRUE(FLAC__stream_decoder_process_until_end_of_stream(decoder));
  EXPECT_TRUE(FLAC__stream_decoder_finish(decoder)) << "the MD5 of the decoded samples differs";
  FLAC__stream_decoder_delete(decoder);
  return reader.out;
}

Bytes PackedNoise(std::int64_t frames, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes packed(static_cast<std::size_t>(6 * frames));
  for (auto& b : packed) b = static_cast<std::uint8_t>(random());
  // Full scale at both ends, and silence.
  if (frames > 3) {
    const std::uint8_t edges[] = {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0, 0, 0, 0, 0, 0};
    std::memcpy(packed.data(), edges, sizeof edges);
  }
  return packed;
}

std::string FirstDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return "sizes differ: " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return "frame " + std::to_string(i / 6) + ((i % 6) < 3 ? ", left" : ", right");
  }
  return "";
}

TEST(FlacEncoding, DecodesToExactlyThePackedSamplesInAnyPiecesWithItsTagsAndSeekTable) {
  const RecordingTags tags = {{"TITLE", "Song (filtered, Quenlow)"}, {"ARTIST", "Band"}, {"ALBUM", "Live"},
                              {"TRACKNUMBER", "3"}, {"COMMENT", "Quenlow reconstruction filter SHA-256 ab12"}};
  struct Case {
    std::int64_t frames;
    std::int64_t piece;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{5000, 777}, Case{176400 * 12 + 13, 100000}}) {
    const Bytes packed = PackedNoise(c.frames, static_cast<std::uint32_t>(c.frames));
    MemorySink sink;
    FlacEncoding encoding(sink, 176400, c.frames, tags);
    for (std::int64_t at = 0; at < c.frames; at += c.piece) {
      ASSERT_TRUE(encoding.Encode(packed.data() + 6 * at, std::min(c.piece, c.frames - at)));
    }
    ASSERT_TRUE(encoding.Finish());
    const Decoded decoded = Decode(sink.bytes_);
    const std::string where = std::to_string(c.frames) + " frames";
    EXPECT_EQ(FirstDifference(decoded.packed, packed), "") << where;
    EXPECT_EQ(decoded.totalSamples, static_cast<std::uint64_t>(c.frames)) << where;
    EXPECT_EQ(decoded.bits, 24u);
    EXPECT_EQ(decoded.rate, 176400u);
    EXPECT_EQ(decoded.tags, tags) << where;
    EXPECT_TRUE(decoded.md5Set) << where;
    if (c.frames > 176400 * 10) {
      EXPECT_GE(decoded.seekPoints, 2u) << where;
    }
  }
}

TEST(FlacEncoding, FailsWhenTheSinkFailsOrTheFramesDoNotMatch) {
  const Bytes packed = PackedNoise(20000, 9);
  MemorySink failing;
  failing.failAfter = 5000;
  FlacEncoding broken(failing, 192000, 20000, {});
  broken.Encode(packed.data(), 20000);
  EXPECT_FALSE(broken.Finish());

  MemorySink sink;
  FlacEncoding shortOfFrames(sink, 192000, 20000, {});
  ASSERT_TRUE(shortOfFrames.Encode(packed.data(), 19999));
  EXPECT_FALSE(shortOfFrames.Finish());

  FlacEncoding tooMany(sink, 192000, 10, {});
  EXPECT_FALSE(tooMany.Encode(packed.data(), 11));
}

}  // namespace
}  // namespace quenlow

#include "flac/flac_tags.h"
#include "flac/flac_writer.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

TEST(OutputFlacWriter, TheFileTakesItsNameOnlyWhenCompleteAndReadsBackWithItsTags) {
  test::ScratchFolder folder;
  const std::string name = folder.Path("song QLW filtered.flac");
  const Bytes packed = PackedNoise(30000, 4);
  const RecordingTags tags = {{"TITLE", "Song (filtered, Quenlow)"}, {"ALBUM", "Album"}};
  {
    OutputFlacWriter writer(name, 176400, 30000, tags);
    writer.Append(packed.data(), 6 * 10000);
    writer.Append(packed.data() + 6 * 10000, 6 * 20000);
    ASSERT_TRUE(writer.Complete().ok);
    EXPECT_TRUE(folder.Entries().empty()) << "named before it was put in place";
    ASSERT_TRUE(writer.PutInPlace().ok);
  }
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"song QLW filtered.flac"});
  const Decoded decoded = Decode(test::ReadWholeFile(name));
  EXPECT_EQ(FirstDifference(decoded.packed, packed), "");
  EXPECT_EQ(ReadFlacTags(name), tags);
  EXPECT_EQ(ReadFlacTags(folder.Path("nothing.flac")), std::nullopt);
}

TEST(OutputFlacWriter, AWriterThatFailsOrGoesUnplacedLeavesNothing) {
  test::ScratchFolder folder;
  const Bytes packed = PackedNoise(100, 5);
  {
    OutputFlacWriter unplaced(folder.Path("a.flac"), 192000, 100, {});
    unplaced.Append(packed.data(), packed.size());
    ASSERT_TRUE(unplaced.Complete().ok);
  }
  {
    OutputFlacWriter shortOfFrames(folder.Path("b.flac"), 192000, 100, {});
    shortOfFrames.Append(packed.data(), 6 * 99);
    EXPECT_FALSE(shortOfFrames.Finish().ok);
  }
  OutputFlacWriter noFolder(folder.Path("missing/c.flac"), 192000, 100, {});
  EXPECT_FALSE(noFolder.Finish().ok);
  EXPECT_TRUE(folder.Entries().empty());
}

}  // namespace
}  // namespace quenlow
