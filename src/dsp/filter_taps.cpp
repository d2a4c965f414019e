#include "dsp/filter_taps.h"

#include <vector>

#include "dsp/tap_number.h"
#include "platform/files.h"

namespace quenlow {
namespace {

constexpr int kEndOfText = -1;
constexpr char kEndOfFileMark = '\x1A';
constexpr std::size_t kChunkSize = 64 * 1024;

// The coefficient text as a stream of bytes: either a whole buffer, or a file
// read one chunk at a time.
class TapText {
 public:
  explicit TapText(std::string_view text) : window_(text) {}
  explicit TapText(platform::FileHandle file) : file_(file), chunk_(kChunkSize) {}

  int Peek() {
    if (position_ == window_.size() && !Refill()) return kEndOfText;
    return static_cast<unsigned char>(window_[position_]);
  }
  void Advance() { ++position_; }

 private:
  // A read error ends the text like the end of the file does: the taps read
  // so far stand and the rest are 0.
  bool Refill() {
    if (file_ == platform::kNoFile) return false;
    const std::size_t got =
        platform::ReadAt(file_, offset_, reinterpret_cast<std::uint8_t*>(chunk_.data()), chunk_.size());
    if (got == 0) {
      file_ = platform::kNoFile;
      return false;
    }
    offset_ += got;
    window_ = std::string_view(chunk_.data(), got);
    position_ = 0;
    return true;
  }

  platform::FileHandle file_ = platform::kNoFile;
  std::uint64_t offset_ = 0;
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
void ReadPlainField(TapText& text, TapNumberScanner& number) {
  for (int c = text.Peek(); c != kEndOfText && c != kEndOfFileMark; c = text.Peek()) {
    if (c == ',') {
      text.Advance();
      return;
    }
    if (c == '\r') {
      ConsumeLineEnd(text);
      return;
    }
    if (c != '\n' && c != '\t') number.Feed(static_cast<char>(c));
    text.Advance();
  }
}

FilterTaps ReadFilterTaps(TapText& text) {
  FilterTaps taps{};
  for (double& tap : taps) {
    SkipSpaces(text);
    const int first = text.Peek();
    // Nothing is consumed here, so every later field finds the same end.
    if (first == kEndOfText || first == kEndOfFileMark) break;
    TapNumberScanner number;
    if (first == '"') ReadQuotedField(text, number);
    else ReadPlainField(text, number);
    tap = number.Value();
  }
  return taps;
}

class OpenFile {
 public:
  explicit OpenFile(platform::FileHandle file) : file_(file) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (file_ != platform::kNoFile) platform::CloseFile(file_);
  }
  platform::FileHandle get() const { return file_; }

 private:
  platform::FileHandle file_;
};

}  // namespace

FilterTaps ParseFilterTaps(std::string_view text) {
  TapText source(text);
  return ReadFilterTaps(source);
}

double ConvertTapField(std::string_view field) {
  TapNumberScanner number;
  for (char c : field) number.Feed(c);
  return number.Value();
}

std::optional<FilterTaps> LoadFilterTaps(const std::string& path) {
  // The open never waits, so that a named pipe in place of the file cannot
  // stall it; it is then turned away as not a regular file.
  const OpenFile file(platform::OpenForReading(path).handle);
  if (file.get() == platform::kNoFile) return std::nullopt;
  if (!platform::RegularFileSize(file.get())) return std::nullopt;
  TapText source(file.get());
  return ReadFilterTaps(source);
}

}  // namespace quenlow
