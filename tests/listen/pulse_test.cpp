// quenlow-listen through a real sound server: PulseAudio with a null sink,
// started and stopped by the test, reached through ALSA's PulseAudio plugin
// as a desktop's default device is. What the sink played is recorded from
// its monitor.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "listen/listen_test_support.h"
#include "support/first_difference.h"

namespace quenlow::listen {
namespace {

using test::Bytes;
using namespace std::chrono_literals;

// A PulseAudio server of the test's own, in a scratch HOME and runtime
// folder, with one null sink at the outputs' rate; gone with the object.
class PulseServer {
 public:
  PulseServer() {
    mkdir(Runtime().c_str(), 0700);
    started_ = Shell("pulseaudio --daemonize=yes --exit-idle-time=-1 -n --log-target=file:" + home_.Home() +
                     "/pulse.log --load='module-null-sink sink_name=q rate=176400 format=s24le channels=2'"
                     " --load=module-native-protocol-unix") == 0;
    home_.Configure("pcm.!default { type pulse }\nctl.!default { type pulse }\n");
  }
  ~PulseServer() {
    StopRecording();
    if (started_) Shell("pulseaudio --kill");
  }
  bool Started() const { return started_; }
  std::string Log() const {
    std::ifstream in(home_.Home() + "/pulse.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const test::AlsaFileHome& Home() const { return home_; }
  std::string Recording() const { return home_.Home() + "/monitor.raw"; }

  // Records the sink's monitor until StopRecording; returns once the first
  // bytes have come, so nothing played from now on is missed.
  bool StartRecording() {
    if (Shell("parec -d q.monitor --format=s24le --rate=176400 --channels=2 --raw >" + Recording() + " & echo $! >" +
              home_.Home() + "/parec.pid") != 0) {
      return false;
    }
    std::ifstream pid(home_.Home() + "/parec.pid");
    pid >> parec_;
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(50ms);
      struct stat st {};
      if (stat(Recording().c_str(), &st) == 0 && st.st_size > 6 * 4096) return true;
    }
    return false;
  }
  void StopRecording() {
    if (parec_ > 0) kill(parec_, SIGTERM);
    parec_ = 0;
  }

 private:
  std::string Runtime() const { return home_.Home() + "/runtime"; }
  int Shell(const std::string& command) const {
    return std::system(("HOME=" + home_.Home() + " XDG_RUNTIME_DIR=" + Runtime() + " " + command).c_str());
  }

  test::AlsaFileHome home_;
  bool started_ = false;
  pid_t parec_ = 0;
};

TEST(PulsePlay, TheSinksMonitorHoldsThePlayedStretch) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100 * 2, 41));
  ASSERT_FALSE(files.unfiltered.empty());
  PulseServer server;
  if (!server.Started()) GTEST_SKIP() << "pulseaudio could not be started here: " << server.Log();
  ASSERT_TRUE(server.StartRecording()) << "parec recorded nothing from the null sink's monitor";
  const std::string arguments = "--filter " + test::kSuppliedFilter + " --play unfiltered --from 0.75 --to 1.5 " +
                                files.recording.path;
  const test::Run run =
      test::RunListen(server.Home().Home(), arguments, "XDG_RUNTIME_DIR=" + server.Home().Home() + "/runtime");
  ASSERT_EQ(run.status, 0) << run.err;
  std::this_thread::sleep_for(300ms);
  server.StopRecording();

  const Bytes expected = test::FileFrames(files.unfiltered, 132300, 132300);
  const Bytes monitor = quenlow::test::ReadWholeFile(server.Recording());
  // The server at 100% volume and at the sink's own rate and format passes
  // the samples as they are: the stretch lies in the monitor byte for byte.
  const auto start = std::search(monitor.begin(), monitor.end(), expected.begin(), expected.begin() + 600);
  ASSERT_NE(start, monitor.end()) << "the stretch's first 100 frames are not in " << monitor.size() / 6
                                  << " frames of the monitor";
  ASSERT_EQ((start - monitor.begin()) % 6, 0);
  const Bytes heard(start, start + std::min<std::ptrdiff_t>(monitor.end() - start, expected.size()));
  EXPECT_EQ(quenlow::test::FirstDifference(heard, expected), "");
}

}  // namespace
}  // namespace quenlow::listen
