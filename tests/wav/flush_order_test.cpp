// An output is on the disk before it takes its name: with the flush failing,
// the old file of that name stays as it was and no new name appears. Built
// for Linux and, cross-built, for Windows under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/failing_flush.h"
#include "wav/wav_writer.h"

namespace quenlow {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(WavWriter, AnOutputWhoseFlushFailsNeverTakesItsName) {
  const fs::path folder = fs::temp_directory_path() / "quenlow-flush-order";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path output = folder / "take QLW filtered.wav";
  std::ofstream(output, std::ios::binary) << "the old output";
  const std::vector<std::uint8_t> samples(6 * 10, 0x5A);

  test::FailFlushesFrom(1);
  OutputWavWriter failing(output.string(), 2, 176400, 10);
  failing.Append(samples.data(), samples.size());
  EXPECT_FALSE(failing.Finish().ok);
  EXPECT_EQ(ReadText(output), "the old output");
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"take QLW filtered.wav"});

  // The same write, flushed, does replace it.
  test::FailFlushesFrom(0);
  OutputWavWriter flushed(output.string(), 2, 176400, 10);
  flushed.Append(samples.data(), samples.size());
  EXPECT_TRUE(flushed.Finish().ok);
  EXPECT_EQ(fs::file_size(output), 44u + samples.size());
  EXPECT_EQ(Entries(folder), std::vector<std::string>{"take QLW filtered.wav"});
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quenlow
