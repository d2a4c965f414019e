#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "wav/wav_reader.h"
#include "wav/recording_reader.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

using test::Bytes;
using test::CanonicalHeader;
using test::Chunk;
using test::ChunkHeader;
using test::FormatPayload;
using test::HeaderFigures;
using test::Join;
using test::RiffFile;

constexpr WavRejection kNotWave = WavRejection::kNotWave;
constexpr WavRejection kNotPcm = WavRejection::kNotPcm;
constexpr WavRejection kNotStereo = WavRejection::kNotStereo;
constexpr WavRejection kNot16Bit = WavRejection::kNot16Bit;
constexpr WavRejection kWrongRate = WavRejection::kWrongRate;
constexpr WavRejection kCutShort = WavRejection::kCutShort;
constexpr WavRejection kIncomplete = WavRejection::kIncomplete;

// The frames a pass of the job reads, through the job's own reader; nothing
// when the reader refuses the file.
std::optional<std::vector<std::int16_t>> ReadFrames(const std::string& path, const WavFormatInfo& info,
                                                    std::int64_t frames) {
  RecordingReader reader(path, info, frames);
  if (!reader.Ok()) return std::nullopt;
  std::vector<std::int16_t> values(2 * static_cast<std::size_t>(std::max<std::int64_t>(frames, 0)));
  if (!reader.Read(0, frames, values.data())) return std::nullopt;
  return values;
}

WavHeaderResult Parse(const Bytes& bytes) { return ParseWavHeader(bytes.data(), bytes.size(), bytes.size()); }

// Interleaved 16-bit samples 1, -1, 2, -2, ... as file bytes.
Bytes SampleBytes(int frames) {
  Bytes bytes;
  for (int i = 1; i <= frames; ++i) {
    for (int value : {i, -i}) {
      bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
  }
  return bytes;
}

std::vector<std::int16_t> ExpectedSamples(int frames, int zeroFrames = 0) {
  std::vector<std::int16_t> values;
  for (int i = 1; i <= frames; ++i) {
    values.push_back(static_cast<std::int16_t>(i));
    values.push_back(static_cast<std::int16_t>(-i));
  }
  values.resize(values.size() + 2 * zeroFrames, 0);
  return values;
}

TEST(WavReader, AcceptsTheCanonicalTenSecondFileAtBothRates) {
  HeaderFigures figures;
  figures.dataSize = 1764000;
  for (const auto& [rate, seconds] : {std::pair{44100, 10.0}, std::pair{48000, 9.1875}}) {
    figures.sampleRate = rate;
    const Bytes header = CanonicalHeader(figures);
    const WavHeaderResult result = ParseWavHeader(header.data(), header.size(), 44 + 1764000);
    ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
    EXPECT_EQ(result.rejection, WavRejection::kNone);
    EXPECT_EQ(result.info->channelCount, 2);
    EXPECT_EQ(result.info->sampleRate, rate);
    EXPECT_EQ(result.info->byteRate, rate * 4);
    EXPECT_EQ(result.info->blockAlign, 4);
    EXPECT_EQ(result.info->dataOffset, 44u);
    EXPECT_EQ(SampleFrameCount(*result.info), 441000);
    EXPECT_EQ(DurationSeconds(*result.info, 441000), seconds);
  }
}

struct RejectionCase {
  const char* what;
  HeaderFigures figures;
  WavRejection rejection;
};

TEST(WavReader, RejectsEachUnsuitableHeaderWithTheFirstFailedChecksMessage) {
  const RejectionCase cases[] = {
      {"float", {3, 2, 44100, 32, 0}, kNotPcm},
      {"extensible", {65534, 2, 44100, 16, 0}, kNotPcm},
      {"mono 8-bit", {1, 1, 44100, 8, 0}, kNotStereo},
      {"six channels", {1, 6, 48000, 16, 0}, kNotStereo},
      {"24-bit at 96 kHz", {1, 2, 96000, 24, 0}, kNot16Bit},
      {"24-bit at 44.1 kHz", {1, 2, 44100, 24, 0}, kNot16Bit},
      {"22050 Hz", {1, 2, 22050, 16, 0}, kWrongRate},
      {"44101 Hz", {1, 2, 44101, 16, 0}, kWrongRate},
      {"96000 Hz", {1, 2, 96000, 16, 0}, kWrongRate},
  };
  for (const RejectionCase& c : cases) {
    const WavHeaderResult result = Parse(CanonicalHeader(c.figures));
    EXPECT_FALSE(result.info) << c.what;
    EXPECT_EQ(result.rejection, c.rejection) << c.what;
  }
}

TEST(WavReader, RejectsAFormTypeThatIsNotUpperCaseWave) {
  Bytes header = CanonicalHeader({});
  header[8] = 'w';
  header[9] = 'a';
  header[10] = 'v';
  header[11] = 'e';
  EXPECT_EQ(Parse(header).rejection, kNotWave);
  header = CanonicalHeader({});
  header[11] = 'F';
  EXPECT_EQ(Parse(header).rejection, kNotWave);
}

TEST(WavReader, RejectsFilesTooShortToHoldTheFormType) {
  const Bytes header = CanonicalHeader({});
  for (std::size_t length : {0, 5, 11}) {
    const Bytes start(header.begin(), header.begin() + static_cast<long>(length));
    EXPECT_EQ(Parse(start).rejection, kNotWave) << length;
  }
  EXPECT_EQ(ParseWavHeader(nullptr, 0, 0).rejection, kNotWave);
}

TEST(WavReader, AcceptsAnyFourBytesInPlaceOfRiff) {
  Bytes header = CanonicalHeader({});
  header[0] = 'X';
  header[1] = 0;
  header[2] = 0xFF;
  header[3] = '?';
  EXPECT_TRUE(Parse(header).info);
}

TEST(WavReader, CountsAChannelFieldOf258AsStereo) {
  HeaderFigures figures;
  figures.channelField = 258;
  const WavHeaderResult result = Parse(CanonicalHeader(figures));
  ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
  EXPECT_EQ(result.info->channelCount, 2);
}

// In a file that holds the stated bytes and a chunk after them.
TEST(WavReader, RoundsTheFrameCountHalfToEven) {
  const std::pair<std::uint32_t, std::int64_t> cases[] = {{0, 0},  {1, 0},  {2, 0},  {3, 1},  {7, 2},
                                                          {10, 2}, {14, 4}, {16, 4}, {18, 4}, {0x7FFFFFFF, 0x20000000}};
  for (const auto& [dataSize, frames] : cases) {
    HeaderFigures figures;
    figures.dataSize = dataSize;
    const Bytes header = CanonicalHeader(figures);
    const WavHeaderResult result = ParseWavHeader(header.data(), header.size(), 44 + std::uint64_t{dataSize} + 20);
    ASSERT_TRUE(result.info) << dataSize;
    EXPECT_EQ(SampleFrameCount(*result.info), frames) << "data size " << dataSize;
  }
}

// A data size is an unsigned 32-bit number, used as it stands wherever the
// file holds that many bytes (what follows the audio is never audio), and
// cut to the whole frames held wherever the file is shorter.
TEST(WavReader, TakesTheDataSizeAsStoredButNeverMoreThanTheWholeFramesHeld) {
  const struct {
    std::uint32_t dataSize;
    std::uint64_t bytesHeld;  // from offset 44 to the end of the file
    std::int64_t frames;
  } cases[] = {
      {0x80000010u, 0x80000010ull + 26, 0x20000004},  // a LIST chunk after 2 GiB of audio
      {0xFFFFFFF0u, 0xFFFFFFF0ull + 26, 0x3FFFFFFC},
      {0xFFFFFFFFu, 0xFFFFFFFFull + 1, 0x40000000},
      {0xFFFFFFFFu, 4000, 1000},                     // a file still being copied
      {0x7FFFFFF0u, 4052, 1013},                     // 2 GB promised in a 4 KB file
      {400, 9, 2},
      {7, 7, 1},                                     // rounds up to 2 frames, but holds 1
      {7, 8, 2},
      {400, 0, 0},
  };
  for (const auto& c : cases) {
    HeaderFigures figures;
    figures.dataSize = c.dataSize;
    const Bytes header = CanonicalHeader(figures);
    const WavHeaderResult result = ParseWavHeader(header.data(), header.size(), 44 + c.bytesHeld);
    ASSERT_TRUE(result.info) << c.dataSize;
    EXPECT_EQ(result.info->dataSize, c.dataSize);
    EXPECT_EQ(SampleFrameCount(*result.info), c.frames) << "data size " << c.dataSize << ", held " << c.bytesHeld;
  }
}

// A WAVE file cut inside its first chunks is refused; from offset 40 on it
// has the canonical layout and holds no frames.
TEST(WavReader, RefusesAWaveFileCutShortInsideItsHeader) {
  HeaderFigures figures;
  figures.dataSize = 400;
  const Bytes header = CanonicalHeader(figures);
  for (std::size_t length = 12; length < 44; ++length) {
    const WavHeaderResult result = Parse(Bytes(header.begin(), header.begin() + static_cast<long>(length)));
    if (length >= 40) {
      ASSERT_TRUE(result.info) << length;
      EXPECT_EQ(SampleFrameCount(*result.info), 0) << length;
    } else {
      EXPECT_EQ(result.rejection, length == 12 || length == 36 ? kIncomplete : kCutShort) << length;
    }
  }
}

TEST(WavReader, FindsTheDataPastAListChunkAndAnOddSizedChunkWithItsPadByte) {
  HeaderFigures figures;
  const Bytes file = RiffFile({Chunk("fmt ", FormatPayload(figures)), Chunk("LIST", Bytes(27, 'x')),
                               Chunk("odd!", Bytes(5, 0xEE)), Chunk("data", SampleBytes(3))});
  test::ScratchFolder folder;
  const std::string path = folder.Write("listed.wav", file);
  const WavHeaderResult result = ReadWavHeader(path);
  ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
  EXPECT_EQ(result.info->dataOffset, 12u + 24 + 36 + 14 + 8);
  EXPECT_EQ(SampleFrameCount(*result.info), 3);
  EXPECT_EQ(ReadFrames(path, *result.info, 3), ExpectedSamples(3));
}

TEST(WavReader, TakesTheFiguresOfAnEighteenByteFormatChunk) {
  HeaderFigures figures;
  figures.sampleRate = 48000;
  const Bytes file = RiffFile({Chunk("fmt ", FormatPayload(figures, 2)), Chunk("data", SampleBytes(2))});
  test::ScratchFolder folder;
  const std::string path = folder.Write("ext.wav", file);
  const WavHeaderResult result = ReadWavHeader(path);
  ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
  EXPECT_EQ(result.info->sampleRate, 48000);
  EXPECT_EQ(result.info->dataOffset, 46u);
  EXPECT_EQ(ReadFrames(path, *result.info, SampleFrameCount(*result.info)), ExpectedSamples(2));
}

TEST(WavReader, SkipsALargeChunkAheadOfTheAudio) {
  const Bytes file = RiffFile({Chunk("fmt ", FormatPayload({})), Chunk("PIC ", Bytes(3 << 20, 0x55)),
                               Chunk("data", SampleBytes(4))});
  test::ScratchFolder folder;
  const std::string path = folder.Write("picture.wav", file);
  const WavHeaderResult result = ReadWavHeader(path);
  ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
  EXPECT_EQ(ReadFrames(path, *result.info, SampleFrameCount(*result.info)), ExpectedSamples(4));
}

// Chunks that do not lead to the audio are read at the fixed places only in
// a file of the canonical layout, "fmt " at 12 and "data" at 36; any other
// such file is damaged and refused, never read as noise.
TEST(WavReader, FallsBackToTheFixedPlacesOnlyForTheCanonicalLayout) {
  HeaderFigures figures;
  figures.dataSize = 8;
  const Bytes samples = SampleBytes(2);
  Bytes shortFormat = Join({CanonicalHeader(figures), samples});
  test::PutU32(shortFormat, 16, 14);
  Bytes longFormat = Join({CanonicalHeader(figures), samples});
  test::PutU32(longFormat, 16, 18);
  Bytes dataFirst = Join({CanonicalHeader(figures), samples});
  std::copy_n("data", 4, dataFirst.begin() + 12);
  Bytes overrun = RiffFile({Chunk("fmt ", FormatPayload(figures)), Chunk("LIST", Bytes(30, 'x'))});
  test::PutU32(overrun, 40, 0x100);
  const struct {
    const char* what;
    Bytes file;
    WavRejection rejection;  // kNone: accepted, 2 frames at offset 44
  } cases[] = {
      {"format chunk claiming 14 bytes", shortFormat, WavRejection::kNone},
      {"format chunk claiming 18 bytes", longFormat, WavRejection::kNone},
      {"data where the format belongs", dataFirst, kIncomplete},
      {"a chunk running past the end", overrun, kCutShort},
      {"a chunk of 4 GiB before anything", Join({RiffFile({ChunkHeader("JUNK", 0xFFFFFFF0u)}), Bytes(32, 0)}), kCutShort},
      {"a format chunk and no data chunk", RiffFile({Chunk("fmt ", FormatPayload(figures)), Chunk("LIST", Bytes(8))}), kIncomplete},
      {"a data chunk and no format chunk", RiffFile({Chunk("LIST", Bytes(8)), Chunk("data", samples)}), kIncomplete},
      {"a header cut inside a chunk header", Bytes(shortFormat.begin(), shortFormat.begin() + 16), kCutShort},
  };
  for (const auto& c : cases) {
    const WavHeaderResult result = Parse(c.file);
    EXPECT_EQ(result.rejection, c.rejection) << c.what;
    if (!result.info) continue;
    EXPECT_EQ(result.info->dataOffset, 44u) << c.what;
    EXPECT_EQ(SampleFrameCount(*result.info), 2) << c.what;
  }
}

TEST(WavReader, EndsTheChunkWalkOnAnyHostileSizes) {
  for (std::uint32_t size : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFF7u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
    std::vector<Bytes> chunks(2000, ChunkHeader("JUNK", size));
    const Bytes file = RiffFile(chunks);
    const WavRejection message = ParseWavHeader(file.data(), file.size(), 0xFFFFFFFFFFFFFFFFull).rejection;
    EXPECT_TRUE(message == kCutShort || message == kIncomplete) << size << ": " << static_cast<int>(message);
  }
}

// The extensible header that recorders write for PCM, with the fields after
// the first 16 bytes: valid bits, channel mask and the sub-format.
Bytes ExtensiblePayload(const std::uint8_t (&subFormat)[16]) {
  HeaderFigures figures;
  figures.formatTag = 0xFFFE;
  Bytes payload = FormatPayload(figures, 24);
  payload[16] = 22;
  payload[18] = 16;
  payload[20] = 3;  // front left and right
  std::copy(std::begin(subFormat), std::end(subFormat), payload.begin() + 24);
  return payload;
}

constexpr std::uint8_t kPcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
constexpr std::uint8_t kFloatGuid[16] = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

// An RF64 start: "RF64", "WAVE" and the ds64 chunk with the given data size.
Bytes Rf64Start(std::uint64_t dataSize) {
  Bytes ds64(28, 0);
  for (int i = 0; i < 8; ++i) ds64[8 + i] = static_cast<std::uint8_t>(dataSize >> (8 * i));
  Bytes file = RiffFile({Chunk("ds64", ds64)});
  std::copy_n("RF64", 4, file.begin());
  test::PutU32(file, 4, 0xFFFFFFFFu);
  return file;
}

// Layouts that every other reader takes: each must give exactly the stated
// frames from the right place, nothing of the chunks around them.
TEST(WavReader, ReadsTheAudioOfEveryLayoutThatOtherReadersRead) {
  const Bytes format = Chunk("fmt ", FormatPayload({}));
  const Bytes list = Chunk("LIST", Bytes(26, 'L'));
  std::vector<Bytes> manyChunks(5000, Chunk("JUNK", Bytes(2, 0)));
  manyChunks.insert(manyChunks.begin(), format);
  manyChunks.push_back(Chunk("data", SampleBytes(3)));
  const struct {
    const char* what;
    Bytes file;
    int frames;
  } cases[] = {
      {"RF64 whose ds64 says 3 frames of 6", Join({Rf64Start(12), format, ChunkHeader("data", 0xFFFFFFFFu), SampleBytes(6), list}), 3},
      {"RF64 whose ds64 says more than the file holds",
       Join({Rf64Start(std::uint64_t{1} << 40), format, ChunkHeader("data", 0xFFFFFFFFu), SampleBytes(5), Bytes{7, 7}}), 5},
      {"5000 chunks ahead of the audio", RiffFile(manyChunks), 3},
      {"an extensible header naming PCM", RiffFile({Chunk("fmt ", ExtensiblePayload(kPcmGuid)), Chunk("data", SampleBytes(4)), list}), 4},
      {"the data chunk before the format chunk", RiffFile({Chunk("data", SampleBytes(2)), format}), 2},
      {"a recording cut short", Join({RiffFile({format, ChunkHeader("data", 4000)}), SampleBytes(5), Bytes{1}}), 5},
  };
  test::ScratchFolder folder;
  for (const auto& c : cases) {
    const std::string path = folder.Write("layout.wav", c.file);
    const WavHeaderResult result = ReadWavHeader(path);
    ASSERT_TRUE(result.info) << c.what << ": " << static_cast<int>(result.rejection);
    EXPECT_EQ(result.info->formatTag, 1) << c.what;
    const std::int64_t frames = SampleFrameCount(*result.info);
    EXPECT_EQ(frames, c.frames) << c.what;
    EXPECT_EQ(ReadFrames(path, *result.info, frames), ExpectedSamples(c.frames)) << c.what;
  }
  EXPECT_EQ(Parse(RiffFile({Chunk("fmt ", ExtensiblePayload(kFloatGuid)), Chunk("data", SampleBytes(1))})).rejection, kNotPcm);
}

// Headers whose audio cannot be told from what follows it: read anyway, the
// chunks after the audio (LIST) would play as loud frames, or a 12-bit
// recording in a 16-bit container as 16-bit.
TEST(WavReader, RefusesAsDamagedRf64WithoutItsSizesAndExtensibleHeadersThatDoNotAddUp) {
  const Bytes format = Chunk("fmt ", FormatPayload({}));
  const Bytes list = Chunk("LIST", Bytes(26, 'L'));
  const Bytes audio = Join({ChunkHeader("data", 0xFFFFFFFFu), SampleBytes(6), list});
  Bytes shortDs64 = Join({RiffFile({Chunk("ds64", Bytes(12, 0))}), format, audio});
  std::copy_n("RF64", 4, shortDs64.begin());
  Bytes noDs64 = Join({RiffFile({format}), audio});
  std::copy_n("RF64", 4, noDs64.begin());
  Bytes ds64Second = Join({RiffFile({format}), Chunk("ds64", Bytes(28, 0)), audio});
  std::copy_n("RF64", 4, ds64Second.begin());
  Bytes shortDs64InRiff = Join({RiffFile({Chunk("ds64", Bytes(8, 0))}), format, audio});
  Bytes bw64NoDs64 = noDs64;
  std::copy_n("BW64", 4, bw64NoDs64.begin());
  Bytes canonicalRf64 = CanonicalHeader({1, 2, 44100, 16, 0xFFFFFFFFu});
  std::copy_n("RF64", 4, canonicalRf64.begin());
  Bytes smallExtension = ExtensiblePayload(kPcmGuid);
  smallExtension[16] = 21;
  Bytes twelveValidBits = ExtensiblePayload(kPcmGuid);
  twelveValidBits[18] = 12;
  Bytes twentyFourValidBits = ExtensiblePayload(kPcmGuid);
  twentyFourValidBits[18] = 24;
  const struct {
    const char* what;
    Bytes file;
  } cases[] = {
      {"RF64 with a ds64 of 12 bytes", shortDs64},
      {"RF64 with no ds64", noDs64},
      {"RF64 with its ds64 second", ds64Second},
      {"BW64 with no ds64", bw64NoDs64},
      {"a RIFF file with a ds64 of 8 bytes first", shortDs64InRiff},
      {"RF64 in the canonical layout", Join({canonicalRf64, SampleBytes(6), list})},
      {"extensible, cbSize 21", RiffFile({Chunk("fmt ", smallExtension), Chunk("data", SampleBytes(4))})},
      {"extensible, 12 valid bits of 16", RiffFile({Chunk("fmt ", twelveValidBits), Chunk("data", SampleBytes(4))})},
      {"extensible, 24 valid bits of 16", RiffFile({Chunk("fmt ", twentyFourValidBits), Chunk("data", SampleBytes(4))})},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.file).rejection, kCutShort) << c.what;
  // What is not damaged keeps its own message: a plain header tagged 65534
  // (no extension) is not PCM.
  EXPECT_EQ(Parse(Join({CanonicalHeader({65534, 2, 44100, 16, 0}), SampleBytes(1)})).rejection, kNotPcm);
}

// Only the exact PCM sub-format is PCM: one byte changed anywhere in it
// names another format.
TEST(WavReader, RefusesAnExtensibleHeaderWhoseSubFormatDiffersFromPcmInAnyByte) {
  for (std::size_t at = 0; at < 16; ++at) {
    std::uint8_t subFormat[16];
    std::copy(std::begin(kPcmGuid), std::end(kPcmGuid), subFormat);
    subFormat[at] ^= 0x40;
    const Bytes file = RiffFile({Chunk("fmt ", ExtensiblePayload(subFormat)), Chunk("data", SampleBytes(1))});
    EXPECT_EQ(Parse(file).rejection, kNotPcm) << "byte " << at;
  }
}

TEST(WavReader, SurvivesRandomBytesAroundRealChunkNames) {
  std::mt19937 random(7);
  const char* names[] = {"fmt ", "data", "LIST", "RIFF", "WAVE"};
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes(random() % 128);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4 + random() % 12) {
      if (random() % 2) std::copy_n(names[random() % 5], 4, bytes.begin() + static_cast<long>(at));
    }
    if (bytes.size() >= 12 && random() % 2) std::copy_n("WAVE", 4, bytes.begin() + 8);
    const WavHeaderResult result = ParseWavHeader(bytes.data(), bytes.size(), random());
    if (result.info) {
      EXPECT_GE(SampleFrameCount(*result.info), 0);
    } else {
      EXPECT_NE(result.rejection, WavRejection::kNone);
    }
  }
}

TEST(WavReader, CountsTheWholeFramesOfAnOpenEndedDataChunk) {
  HeaderFigures figures;
  figures.dataSize = 0xFFFFFFFFu;
  Bytes file = Join({CanonicalHeader(figures), SampleBytes(2), Bytes{9, 9}});
  const WavHeaderResult result = Parse(file);
  ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
  EXPECT_EQ(SampleFrameCount(*result.info), 2);
  figures.dataSize = 0x80000000u;
  const Bytes header = CanonicalHeader(figures);
  const WavHeaderResult empty = Parse(header);
  ASSERT_TRUE(empty.info);
  EXPECT_EQ(SampleFrameCount(*empty.info), 0);
  const WavHeaderResult huge = ParseWavHeader(header.data(), header.size(), 0xFFFFFFFFFFFFFFFFull);
  ASSERT_TRUE(huge.info);
  EXPECT_GT(SampleFrameCount(*huge.info), 0);
}

TEST(WavReader, ReadsSamplesLittleEndianAndIgnoresWhatFollowsTheData) {
  HeaderFigures figures;
  figures.dataSize = 4;
  test::ScratchFolder folder;
  const std::string path =
      folder.Write("le.wav", Join({CanonicalHeader(figures), Bytes{0x01, 0x80, 0xFF, 0x7F}, Chunk("LIST", Bytes(8, 1))}));
  const WavHeaderResult result = ReadWavHeader(path);
  ASSERT_TRUE(result.info) << static_cast<int>(result.rejection);
  EXPECT_EQ(ReadFrames(path, *result.info, 1), (std::vector<std::int16_t>{-32767, 32767}));
}

TEST(WavReader, GivesTheWaveMessageForWhatCannotBeOpenedOrIsNoFile) {
  test::ScratchFolder folder;
  EXPECT_EQ(ReadWavHeader(folder.Path("missing.wav")).rejection, kNotWave);
  EXPECT_EQ(ReadWavHeader(folder.path()).rejection, kNotWave);
  EXPECT_EQ(ReadWavHeader(folder.Write("empty.wav", {})).rejection, kNotWave);
}

TEST(WavReader, GivesNoFramesForACountOfNoneAndRefusesImpossibleCounts) {
  test::ScratchFolder folder;
  const std::string path = folder.Write("a.wav", CanonicalHeader({}));
  const WavFormatInfo info = *Parse(CanonicalHeader({})).info;
  EXPECT_EQ(ReadFrames(path, info, 0), std::vector<std::int16_t>{});
  EXPECT_FALSE(ReadFrames(path, info, std::int64_t{1} << 62));
}

}  // namespace
}  // namespace quenlow

namespace quenlow {
namespace {

// The input was checked moments before the job reads it; if it has gone
// since, its samples are not silence and the job must hear about it.
TEST(WavReader, ReportsARecordingWhoseFileHasGone) {
  test::ScratchFolder folder;
  const WavFormatInfo info;
  RecordingReader reader(folder.Path("gone.wav"), info, 5);
  EXPECT_FALSE(reader.Ok());
  EXPECT_EQ(reader.Failure().problem, SourceProblem::kCannotOpen);
  EXPECT_EQ(reader.Failure().name, folder.Path("gone.wav"));
  EXPECT_EQ(platform::ErrorText(reader.Failure().error), "No such file or directory");
}

}  // namespace
}  // namespace quenlow
