// The job puts its two outputs in place only once both are on the disk: a
// flush that fails, for either output, leaves the old pair as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogue_messages.h"
#include "job/job.h"
#include "support/failing_flush.h"
#include "support/recording.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

TEST(Job, AFailedFlushOfEitherOutputLeavesTheOldPair) {
  for (int failing : {1, 2}) {
    test::ScratchFolder folder;
    const test::Recording recording = test::WriteRecording(folder, "take.wav", std::vector<std::int16_t>(400, 1000));
    folder.Write("take QLW unfiltered.wav", {'o', 'l', 'd', ' ', 'u'});
    folder.Write("take QLW filtered.wav", {'o', 'l', 'd', ' ', 'f'});
    std::vector<std::string> told;
    JobOptions options;
    options.filterFile = QUENLOW_SOURCE_DIR "/data/recfilt.dat";
    options.tell = [&told](const JobNote& note) { told.push_back(DialogueText(note)); };

    test::FailFlushesFrom(failing);
    EXPECT_FALSE(ProcessRecording(recording.path, recording.info, recording.frames, options)) << "flush " << failing;
    test::FailFlushesFrom(0);
    EXPECT_FALSE(told.empty()) << "flush " << failing;
    EXPECT_EQ(test::ReadWholeFile(folder.Path("take QLW unfiltered.wav")), (test::Bytes{'o', 'l', 'd', ' ', 'u'}));
    EXPECT_EQ(test::ReadWholeFile(folder.Path("take QLW filtered.wav")), (test::Bytes{'o', 'l', 'd', ' ', 'f'}));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"take QLW filtered.wav", "take QLW unfiltered.wav", "take.wav"}));
  }
}

}  // namespace
}  // namespace quenlow
