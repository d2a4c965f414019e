// Runs the real program under a pseudo-terminal and reads its screen back
// through a terminal emulator, the way a user would see it.
//
//   PtySession s;
//   ASSERT_TRUE(s.Start(dir));
//   ASSERT_TRUE(s.WaitForText(8, "Wave file to process?"));
//   s.Type("song.wav");
//   s.Press(PtySession::Key::Enter);
//   EXPECT_EQ(s.WaitForExit(), 0);
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace quenlow::e2e {

using namespace std::chrono_literals;

class PtySession {
 public:
  enum class Key { Enter, Backspace, Tab, Escape, Space, Up, Down, Left, Right, F1 };

  // Terminal palette indices (0 black ... 7 white, 8 to 15 their bright
  // forms); -1 for the terminal's default colour.
  struct Colors {
    int foreground;
    int background;
    friend bool operator==(const Colors&, const Colors&) = default;
  };

  PtySession();
  ~PtySession();  // a program still running gets SIGTERM, then SIGKILL
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Starts the program in `workingDir` with TERM=xterm-256color and the
  // given window size; `environment` adds or replaces "NAME=value" entries.
  bool Start(const std::string& workingDir, const std::vector<std::string>& environment = {},
             int rows = 28, int columns = 80);

  // Runs another copy of the program (an installed one, say) instead of the
  // build's, or another program that runs it (wine quenlow.exe), with these
  // arguments; call before Start.
  void SetProgram(std::string path, std::vector<std::string> arguments = {}) {
    program_ = std::move(path);
    arguments_ = std::move(arguments);
  }

  void Type(std::string_view utf8);
  void Press(Key key);
  // Sends bytes exactly as given (escape sequences, control characters).
  void SendRaw(std::string_view bytes);
  void Resize(int rows, int columns);
  // Sends the program a signal, as kill(1) would.
  void Signal(int signalNumber);

  // Waits until row `row` (from 1) holds `text`, or until the condition holds.
  bool WaitForText(int row, std::string_view text, std::chrono::milliseconds timeout = 5s);
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s);
  // Takes in whatever the program has written in this time.
  void Pump(std::chrono::milliseconds duration);

  // UTF-8, trailing blanks kept; a wide character counts once, with the
  // combining marks over it.
  std::string Row(int row) const;
  std::string Text(int row, int column, int length) const;
  // Whether the cell holds the left half of a two-cell character.
  bool WideAt(int row, int column) const;
  // The cursor's place, row and column from 1.
  std::pair<int, int> Cursor() const;
  Colors CellColors(int row, int column) const;
  std::string Screen() const;              // all rows, for failure messages
  int BellCount() const { return bells_; }
  std::string Title() const { return title_; }
  // Every byte the program has written to the terminal so far.
  const std::string& Output() const { return output_; }
  // Whether the program has the terminal's alternate screen, and the cursor
  // shows: after a proper exit, false and true.
  bool OnAlternateScreen() const { return alternateScreen_; }
  bool CursorVisible() const { return cursorVisible_; }
  // The program's process id while it runs; -1 before Start.
  int Pid() const { return pid_; }

  // The exit status, 128 + signal number for a signal; nothing on timeout.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout = 5s);

 private:
  void ReadOutput(int waitMs);
  static int OnBell(void* user);
  static int OnProperty(int property, void* value, void* user);
  static void OnOutput(const char* bytes, std::size_t length, void* user);

  std::string program_ = QUENLOW_BINARY;
  std::vector<std::string> arguments_;
  VTerm* vterm_ = nullptr;
  VTermScreen* screen_ = nullptr;
  int master_ = -1;
  int pid_ = -1;
  std::optional<int> exitStatus_;
  int rows_ = 0;
  int columns_ = 0;
  int bells_ = 0;
  std::string title_;
  std::string output_;
  bool alternateScreen_ = false;
  bool cursorVisible_ = true;
};

}  // namespace quenlow::e2e
