// The outputs as a pair, through the whole program: what would stop either
// is told in a box before any work and the old pair stays; a folder that
// appears under a name during the job leaves the old pair too; the job reads
// the file that was checked, and a change between check and job is told.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pty_session.h"
#include "e2e/test_files.h"

namespace quenlow::e2e {
namespace {

using namespace std::chrono_literals;
using Key = PtySession::Key;
using Bytes = std::vector<std::uint8_t>;

const Bytes kOld = {'o', 'l', 'd'};
constexpr uid_t kNobody = 65534;

Bytes Recording(std::uint32_t frames) {
  Bytes file = SilentWav(44100, frames);
  for (std::size_t i = 44; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return file;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class PairRun : public ::testing::Test {
 protected:
  // Types the name and waits for a box holding `text`; the box is closed,
  // and the program runs to its closing key and ends with `status`.
  void ExpectBox(const std::string& name, const std::string& text, int status = 1) {
    ASSERT_TRUE(session.Start(dir.Path())) << "cannot start";
    ASSERT_TRUE(session.WaitForText(8, "   Wave file to process?")) << session.Screen();
    session.Type(name);
    session.Press(Key::Enter);
    ASSERT_TRUE(session.WaitUntil([&] {
      const std::string screen = session.Screen();
      // The box is whole once its button is drawn.
      return screen.find("ERROR") != std::string::npos && screen.find(text) != std::string::npos &&
             screen.find("< OK >") != std::string::npos;
    }, 30s)) << session.Screen();
    boxScreen = session.Screen();
    session.Press(Key::Enter);
    ASSERT_TRUE(session.WaitForText(27, "   press any key to quit", 30s)) << session.Screen();
    session.Press(Key::Enter);
    EXPECT_EQ(session.WaitForExit(), status);
  }

  // The program as nobody, for the cases where root would not be stopped.
  void RunAsNobody() {
    session.SetProgram("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", QUENLOW_BINARY});
  }

  TempDir dir;
  PtySession session;
  std::string boxScreen;
};

// In a shared folder (/tmp-like, sticky) the old unfiltered file is the
// user's, the old filtered one another user's, writable by all: it may not
// be renamed over. Before, the whole job ran, the unfiltered file was
// replaced and the filtered one failed: a mixed pair.
TEST_F(PairRun, AnotherUsersOutputInASharedFolderIsToldBeforeAnyWorkAndTheOldPairStays) {
  ASSERT_EQ(chmod(dir.Path().c_str(), 01777), 0);
  ASSERT_TRUE(WriteFile(dir / "s.wav", Recording(2000)));
  ASSERT_EQ(chmod((dir / "s.wav").c_str(), 0644), 0);
  ASSERT_TRUE(WriteFile(dir / "s QLW unfiltered.wav", kOld));
  ASSERT_EQ(chown((dir / "s QLW unfiltered.wav").c_str(), kNobody, kNobody), 0);
  ASSERT_TRUE(WriteFile(dir / "s QLW filtered.wav", kOld));
  ASSERT_EQ(chmod((dir / "s QLW filtered.wav").c_str(), 0666), 0);
  RunAsNobody();
  ExpectBox("s.wav", "s QLW filtered.wav belongs to another user in a shared folder");
  EXPECT_EQ(ReadAll(dir / "s QLW unfiltered.wav"), kOld);
  EXPECT_EQ(ReadAll(dir / "s QLW filtered.wav"), kOld);
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"s QLW filtered.wav", "s QLW unfiltered.wav", "s.wav"}));
}

// A folder the user may not write to: said as such, with the way out, and
// the box's text fits the screen.
TEST_F(PairRun, AFolderWithoutWritePermissionIsSaidAsSuchWithTheWayOut) {
  ASSERT_TRUE(WriteFile(dir / "r.wav", Recording(100)));
  ASSERT_EQ(chmod((dir / "r.wav").c_str(), 0644), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
  RunAsNobody();
  ExpectBox("r.wav", "No permission to write in this folder");
  EXPECT_NE(boxScreen.find("quenlow-batch -o DIR"), std::string::npos) << boxScreen;
  EXPECT_NE(boxScreen.find("Copy the recording to a folder you can write to"), std::string::npos) << boxScreen;
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"r.wav"});
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
}

// The output's name is a link to the recording: replacing it would lose the
// recording. Refused before any work, the recording untouched.
TEST_F(PairRun, AnOutputThatIsTheRecordingItselfIsRefused) {
  const Bytes recording = Recording(500);
  ASSERT_TRUE(WriteFile(dir / "q.wav", recording));
  std::filesystem::create_symlink("q.wav", dir / "q QLW unfiltered.wav");
  ExpectBox("q.wav", "q QLW unfiltered.wav is the recording itself: nothing was written");
  EXPECT_EQ(ReadAll(dir / "q.wav"), recording);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "q QLW unfiltered.wav"));
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"q QLW unfiltered.wav", "q.wav"}));
}

// A folder made under the filtered name while the job works: the unfiltered
// output does not replace its old file either.
TEST_F(PairRun, AFolderMadeUnderANameDuringTheJobLeavesTheOldPair) {
  ASSERT_TRUE(WriteFile(dir / "f.wav", Recording(2000000)));
  ASSERT_TRUE(WriteFile(dir / "f QLW unfiltered.wav", kOld));
  ASSERT_TRUE(session.Start(dir.Path()));
  ASSERT_TRUE(session.WaitForText(8, "   Wave file to process?"));
  session.Type("f.wav");
  session.Press(Key::Enter);
  ASSERT_TRUE(session.WaitForText(20, "   Working...")) << session.Screen();
  // Once the outputs are being written (files with no name yet, open in the
  // program), past the check before the work.
  auto writing = [&] {
    std::error_code ignored;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(session.Pid()) + "/fd", ignored)) {
      const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
      if (target.rfind(dir.Path() + "/#", 0) == 0 || target.find("/.f QLW") != std::string::npos) return true;
    }
    return false;
  };
  ASSERT_TRUE(session.WaitUntil(writing, 30s)) << "no output was being written";
  std::filesystem::create_directory(dir / "f QLW filtered.wav");
  ASSERT_TRUE(session.WaitUntil([&] {
    const std::string screen = session.Screen();
    return screen.find("ERROR") != std::string::npos && screen.find("f QLW filtered.wav") != std::string::npos;
  }, 60s)) << session.Screen();
  EXPECT_NE(session.Screen().find("Is a directory"), std::string::npos) << session.Screen();
  session.Press(Key::Enter);
  ASSERT_TRUE(session.WaitForText(27, "   press any key to quit", 30s)) << session.Screen();
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 1);
  EXPECT_EQ(ReadAll(dir / "f QLW unfiltered.wav"), kOld);
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"f QLW filtered.wav", "f QLW unfiltered.wav", "f.wav"}));
}

// A build that waits between the input's check and the job: there the test
// renames another recording over the name (its audio after a LIST chunk), or
// cuts the file short. Before, the job read the other file with the first
// one's data offset (LIST bytes as audio), or gave a silent tail, and ended
// with status 0. The job reads the file that was checked, and a change since
// the check is told.
TEST_F(PairRun, AnInputChangedBetweenTheCheckAndTheJobIsTold) {
  Bytes other = Recording(3000);
  const Bytes list = {'L', 'I', 'S', 'T', 8, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 'x', 'x', 'x'};
  other.insert(other.begin() + 36, list.begin(), list.end());
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"another file renamed over it",
       [&] {
         ASSERT_TRUE(WriteFile(dir / "other.wav", other));
         ASSERT_EQ(std::rename((dir / "other.wav").c_str(), (dir / "g.wav").c_str()), 0);
       }},
      {"cut short", [&] { ASSERT_EQ(truncate((dir / "g.wav").c_str(), 44 + 4 * 100), 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PtySession run;
    run.SetProgram(QUENLOW_GAP_BINARY);
    ASSERT_TRUE(WriteFile(dir / "g.wav", Recording(3000)));
    ASSERT_TRUE(run.Start(dir.Path()));
    ASSERT_TRUE(run.WaitForText(8, "   Wave file to process?"));
    run.Type("g.wav");
    run.Press(Key::Enter);
    ASSERT_TRUE(run.WaitUntil([&] { return FileExistsAt(dir / "checked.flag"); }, 10s)) << run.Screen();
    c.change();
    std::filesystem::remove(dir / "checked.flag");
    ASSERT_TRUE(run.WaitUntil([&] {
      return run.Screen().find("g.wav changed while it was being read: the outputs were not written") !=
             std::string::npos;
    }, 30s)) << run.Screen();
    run.Press(Key::Enter);
    ASSERT_TRUE(run.WaitForText(27, "   press any key to quit", 30s)) << run.Screen();
    run.Press(Key::Enter);
    EXPECT_EQ(run.WaitForExit(), 1);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"g.wav"});
  }
}

}  // namespace
}  // namespace quenlow::e2e
