#include "e2e/pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern "C" {
#include <vterm.h>
}

#include "console/utf8.h"

namespace quenlow::e2e {
namespace {

using Clock = std::chrono::steady_clock;

// What libvterm keeps in the cell under the right half of a wide character.
constexpr std::uint32_t kWideRightHalf = 0xFFFFFFFF;

int PaletteIndex(const VTermColor& color, bool foreground) {
  if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&color) : VTERM_COLOR_IS_DEFAULT_BG(&color)) return -1;
  if (!VTERM_COLOR_IS_INDEXED(&color)) return -1;
  return color.indexed.idx;
}

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

PtySession::PtySession() = default;

PtySession::~PtySession() {
  if (pid_ > 0 && !exitStatus_) {
    kill(pid_, SIGTERM);
    if (!WaitForExit(2s)) {
      kill(pid_, SIGKILL);
      WaitForExit(2s);
    }
  }
  if (master_ >= 0) close(master_);
  if (vterm_ != nullptr) vterm_free(vterm_);
}

bool PtySession::Start(const std::string& workingDir, const std::vector<std::string>& environment,
                       int rows, int columns) {
  rows_ = rows;
  columns_ = columns;
  vterm_ = vterm_new(rows, columns);
  vterm_set_utf8(vterm_, 1);
  vterm_output_set_callback(vterm_, &PtySession::OnOutput, this);
  screen_ = vterm_obtain_screen(vterm_);
  static VTermScreenCallbacks callbacks{};
  callbacks.bell = &PtySession::OnBell;
  callbacks.settermprop = [](VTermProp prop, VTermValue* value, void* user) {
    return OnProperty(static_cast<int>(prop), value, user);
  };
  vterm_screen_set_callbacks(screen_, &callbacks, this);
  // As in xterm, a full-screen program draws on the alternate screen, and
  // leaving it shows whether the terminal was given back.
  vterm_screen_enable_altscreen(screen_, 1);
  vterm_screen_reset(screen_, 1);

  winsize size{};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(columns);
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (chdir(workingDir.c_str()) != 0) _exit(126);
    setenv("TERM", "xterm-256color", 1);
    for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv{program_.data()};
    for (std::string& argument : arguments_) argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(program_.c_str(), argv.data());
    _exit(127);
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

void PtySession::Signal(int signalNumber) {
  if (pid_ > 0 && !exitStatus_) kill(pid_, signalNumber);
}

void PtySession::SendRaw(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(master_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EAGAIN) {
      ReadOutput(10);  // the program is busy; let its output drain meanwhile
    } else {
      return;
    }
  }
}

void PtySession::Type(std::string_view utf8) { SendRaw(utf8); }

void PtySession::Press(Key key) {
  switch (key) {
    case Key::Enter: vterm_keyboard_key(vterm_, VTERM_KEY_ENTER, VTERM_MOD_NONE); break;
    case Key::Backspace: vterm_keyboard_key(vterm_, VTERM_KEY_BACKSPACE, VTERM_MOD_NONE); break;
    case Key::Tab: vterm_keyboard_key(vterm_, VTERM_KEY_TAB, VTERM_MOD_NONE); break;
    case Key::Escape: vterm_keyboard_key(vterm_, VTERM_KEY_ESCAPE, VTERM_MOD_NONE); break;
    case Key::Space: vterm_keyboard_unichar(vterm_, ' ', VTERM_MOD_NONE); break;
    case Key::Up: vterm_keyboard_key(vterm_, VTERM_KEY_UP, VTERM_MOD_NONE); break;
    case Key::Down: vterm_keyboard_key(vterm_, VTERM_KEY_DOWN, VTERM_MOD_NONE); break;
    case Key::Left: vterm_keyboard_key(vterm_, VTERM_KEY_LEFT, VTERM_MOD_NONE); break;
    case Key::Right: vterm_keyboard_key(vterm_, VTERM_KEY_RIGHT, VTERM_MOD_NONE); break;
    case Key::F1: vterm_keyboard_key(vterm_, static_cast<VTermKey>(VTERM_KEY_FUNCTION(1)), VTERM_MOD_NONE); break;
  }
}

void PtySession::Resize(int rows, int columns) {
  rows_ = rows;
  columns_ = columns;
  vterm_set_size(vterm_, rows, columns);
  winsize size{};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(columns);
  ioctl(master_, TIOCSWINSZ, &size);
}

void PtySession::ReadOutput(int waitMs) {
  if (master_ < 0) return;
  pollfd fd{master_, POLLIN, 0};
  if (poll(&fd, 1, waitMs) <= 0) return;
  char buffer[8192];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return;  // nothing more now, or the program has closed the terminal
    output_.append(buffer, static_cast<std::size_t>(n));
    vterm_input_write(vterm_, buffer, static_cast<std::size_t>(n));
  }
}

void PtySession::Pump(std::chrono::milliseconds duration) {
  const auto end = Clock::now() + duration;
  while (Clock::now() < end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    ReadOutput(static_cast<int>(std::max<long long>(1, left.count())));
  }
}

bool PtySession::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    ReadOutput(0);
    if (condition()) return true;
    if (Clock::now() >= end) return false;
    ReadOutput(20);
  }
}

bool PtySession::WaitForText(int row, std::string_view text, std::chrono::milliseconds timeout) {
  return WaitUntil([&] { return Row(row).find(text) != std::string::npos; }, timeout);
}

std::string PtySession::Text(int row, int column, int length) const {
  std::string out;
  for (int c = column; c < column + length && c <= columns_; ++c) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row - 1, c - 1}, &cell);
    if (cell.width == 0 || cell.chars[0] == kWideRightHalf) continue;
    console::AppendUtf8(out, cell.chars[0] == 0 ? ' ' : cell.chars[0]);
    for (int i = 1; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) {
      console::AppendUtf8(out, cell.chars[i]);
    }
  }
  return out;
}

bool PtySession::WideAt(int row, int column) const {
  VTermScreenCell cell{};
  vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &cell);
  return cell.width == 2;
}

std::pair<int, int> PtySession::Cursor() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
  return {position.row + 1, position.col + 1};
}

std::string PtySession::Row(int row) const { return Text(row, 1, columns_); }

PtySession::Colors PtySession::CellColors(int row, int column) const {
  VTermScreenCell cell{};
  vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &cell);
  if (cell.attrs.reverse) return {PaletteIndex(cell.bg, false), PaletteIndex(cell.fg, true)};
  return {PaletteIndex(cell.fg, true), PaletteIndex(cell.bg, false)};
}

std::string PtySession::Screen() const {
  std::string out;
  for (int r = 1; r <= rows_; ++r) out += Row(r) + "|\n";
  return out;
}

std::optional<int> PtySession::WaitForExit(std::chrono::milliseconds timeout) {
  if (exitStatus_ || pid_ <= 0) return exitStatus_;
  const auto end = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitStatus_ = StatusOf(status);
      ReadOutput(0);
      return exitStatus_;
    }
    if (Clock::now() >= end) return std::nullopt;
    ReadOutput(10);
  }
}

int PtySession::OnBell(void* user) {
  ++static_cast<PtySession*>(user)->bells_;
  return 1;
}

int PtySession::OnProperty(int property, void* value, void* user) {
  auto* session = static_cast<PtySession*>(user);
  const auto* v = static_cast<VTermValue*>(value);
  if (property == VTERM_PROP_TITLE) session->title_ = v->string ? v->string : "";
  if (property == VTERM_PROP_ALTSCREEN) session->alternateScreen_ = v->boolean != 0;
  if (property == VTERM_PROP_CURSORVISIBLE) session->cursorVisible_ = v->boolean != 0;
  return 1;
}

void PtySession::OnOutput(const char* bytes, std::size_t length, void* user) {
  static_cast<PtySession*>(user)->SendRaw(std::string_view(bytes, length));
}

}  // namespace quenlow::e2e
