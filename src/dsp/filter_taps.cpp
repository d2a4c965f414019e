#include "dsp/filter_taps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "dsp/tap_number.h"

namespace quenlow {
namespace {

constexpr int kEndOfText = -1;
constexpr char kEndOfFileMark = '\x1A';
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The coefficient text as a stream of bytes: either a whole buffer, or a file
// read one chunk at a time.
class TapText {
 public:
  explicit TapText(std::string_view text) : window_(text) {}
  explicit TapText(int fd) : fd_(fd), chunk_(kChunkSize) {}

  int Peek() {
    if (position_ == window_.size() && !Refill()) return kEndOfText;
    return static_cast<unsigned char>(window_[position_]);
  }
  void Advance() { ++position_; }

 private:
  // A read error ends the text like the end of the file does: the taps read
  // so far stand and the rest are 0.
  bool Refill() {
    if (fd_ < 0) return false;
    ssize_t got = 0;
    do {
      got = ::read(fd_, chunk_.data(), chunk_.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      fd_ = -1;
      return false;
    }
    window_ = std::string_view(chunk_.data(), static_cast<std::size_t>(got));
    position_ = 0;
    return true;
  }

  int fd_ = -1;
  std::vector<char> chunk_;
  std::string_view window_;
  std::size_t position_ = 0;
};

void SkipSpaces(TapText& text) {
  while (text.Peek() == ' ') text.Advance();
}

// A carriage return ends a line together with one line feed after it.
void ConsumeLineEnd(TapText& text) {
  text.Advance();
  if (text.Peek() == '\n') text.Advance();
}

void ReadQuotedField(TapText& text, TapNumberScanner& number) {
  text.Advance();
  for (int c = text.Peek(); c != kEndOfText; c = text.Peek()) {
    text.Advance();
    if (c == '"') break;
    number.Feed(static_cast<char>(c));
  }
  for (int c = text.Peek(); c == ' ' || c == '\t' || c == '\n'; c = text.Peek()) text.Advance();
  const int separator = text.Peek();
  if (separator == ',') text.Advance();
  else if (separator == '\r') ConsumeLineEnd(text);
}

// Line feeds and tabs inside the field are dropped, so lines ended by line
// feeds alone run together into one field.
void ReadPlainField(TapText& text, TapNumberScanner& number, TapTextFindings& findings) {
  for (int c = text.Peek(); c != kEndOfText && c != kEndOfFileMark; c = text.Peek()) {
    if (c == ',') {
      text.Advance();
      return;
    }
    if (c == '\r') {
      ConsumeLineEnd(text);
      return;
    }
    if (c == '\n') findings.bareLineFeeds = true;
    if (c != '\n' && c != '\t') number.Feed(static_cast<char>(c));
    text.Advance();
  }
}

FilterTaps ReadFilterTaps(TapText& text, TapTextFindings& findings) {
  FilterTaps taps{};
  for (double& tap : taps) {
    SkipSpaces(text);
    const int first = text.Peek();
    // Nothing is consumed here, so every later field finds the same end.
    if (first == kEndOfText || first == kEndOfFileMark) break;
    ++findings.fieldsRead;
    TapNumberScanner number;
    if (first == '"') ReadQuotedField(text, number);
    else ReadPlainField(text, number, findings);
    tap = number.Value();
  }
  return taps;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

FilterTaps ParseFilterTaps(std::string_view text, TapTextFindings* findings) {
  TapTextFindings noticed;
  noticed.byteOrderMark = text.starts_with(kByteOrderMark);
  TapText source(text);
  const FilterTaps taps = ReadFilterTaps(source, noticed);
  if (findings != nullptr) *findings = noticed;
  return taps;
}

double ConvertTapField(std::string_view field) {
  TapNumberScanner number;
  for (char c : field) number.Feed(c);
  return number.Value();
}

std::optional<FilterTaps> LoadFilterTaps(const std::string& path, TapTextFindings* findings) {
  // Non-blocking, so that a named pipe in place of the file cannot stall the
  // open; it is then turned away as not a regular file.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  TapTextFindings noticed;
  // Read ahead of the text, without moving through it.
  char start[3] = {};
  ssize_t got = 0;
  do {
    got = ::pread(file.get(), start, sizeof start, 0);
  } while (got < 0 && errno == EINTR);
  noticed.byteOrderMark = got == sizeof start && std::string_view(start, sizeof start) == kByteOrderMark;
  TapText source(file.get());
  const FilterTaps taps = ReadFilterTaps(source, noticed);
  if (findings != nullptr) *findings = noticed;
  return taps;
}

}  // namespace quenlow
