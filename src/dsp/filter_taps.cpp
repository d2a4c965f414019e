#include "dsp/filter_taps.h"

#include <vector>

#include "dsp/tap_number.h"
#include "platform/files.h"

namespace quenlow {
namespace {

constexpr int kEndOfText = -1;
constexpr char kEndOfFileMark = '\x1A';
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Counts the lines of the text as it is passed, for the report.
struct LineCounter {
  int line = 1;
  bool afterCarriageReturn = false;
  FilterTapsReport* report = nullptr;

  void Pass(char c) {
    if (c == '\n' && !afterCarriageReturn) {
      if (report->bareLineFeeds++ == 0) report->firstBareLineFeedLine = line;
      ++line;
    } else if (c == '\r') {
      ++line;
    }
    afterCarriageReturn = c == '\r';
  }
};

// The coefficient text as a stream of bytes: either a whole buffer, or a file
// read a buffer at a time.
class TapText {
 public:
  explicit TapText(std::string_view text) : window_(text) {}
  explicit TapText(platform::FileHandle file) : file_(file), chunk_(kChunkSize) {}

  int Peek() {
    if (position_ == window_.size() && !Refill()) return kEndOfText;
    return static_cast<unsigned char>(window_[position_]);
  }
  void Advance() {
    if (lines_ != nullptr) lines_->Pass(window_[position_]);
    ++position_;
  }

  // Only when a report is asked for.
  void CountLines(LineCounter* lines) { lines_ = lines; }
  int Line() const { return lines_ != nullptr ? lines_->line : 0; }

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
  LineCounter* lines_ = nullptr;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void AppendShort(std::string& to, char c, bool* shortened) {
  if (to.size() < kNoteTextLimit) to.push_back(c);
  else if (shortened != nullptr) *shortened = true;
}

// Takes one character of the field as written, and feeds the number those
// that belong to it. The note, when there is one, keeps the text and what the
// number left unread.
void TakeFieldChar(TapText& text, char c, bool toNumber, TapNumberScanner& number, TapFieldNote* note) {
  const bool numberEnded = number.Ended();
  if (toNumber) number.Feed(c);
  if (note != nullptr) {
    note->lastLine = text.Line();
    AppendShort(note->text, c, &note->textShortened);
    const bool endsNumber = toNumber && !numberEnded && number.Ended();
    if (endsNumber || numberEnded) {
      if (!(note->ignored.empty() && IsBlank(c))) AppendShort(note->ignored, c, nullptr);
    }
  }
  text.Advance();
}

void SkipSpaces(TapText& text) {
  while (text.Peek() == ' ') text.Advance();
}

// A carriage return ends a line together with one line feed after it.
void ConsumeLineEnd(TapText& text) {
  text.Advance();
  if (text.Peek() == '\n') text.Advance();
}

void ReadQuotedField(TapText& text, TapNumberScanner& number, TapFieldNote* note) {
  text.Advance();
  for (int c = text.Peek(); c != kEndOfText; c = text.Peek()) {
    if (c == '"') {
      text.Advance();
      break;
    }
    TakeFieldChar(text, static_cast<char>(c), true, number, note);
  }
  for (int c = text.Peek(); c == ' ' || c == '\t' || c == '\n'; c = text.Peek()) text.Advance();
  const int separator = text.Peek();
  if (separator == ',') text.Advance();
  else if (separator == '\r') ConsumeLineEnd(text);
}

// Line feeds and tabs inside the field are dropped, so lines ended by line
// feeds alone run together into one field.
void ReadPlainField(TapText& text, TapNumberScanner& number, TapFieldNote* note) {
  for (int c = text.Peek(); c != kEndOfText && c != kEndOfFileMark; c = text.Peek()) {
    if (c == ',') {
      text.Advance();
      return;
    }
    if (c == '\r') {
      ConsumeLineEnd(text);
      return;
    }
    TakeFieldChar(text, static_cast<char>(c), c != '\n' && c != '\t', number, note);
  }
}

void TrimTrailingBlanks(std::string& s) {
  while (!s.empty() && IsBlank(s.back())) s.pop_back();
}

// After the last field: where any further text begins, blanks and line ends
// passed over, and whether an end-of-file mark stopped the reading.
void NoteWhatFollows(TapText& text, bool allFieldsRead, FilterTapsReport& report) {
  for (int c = text.Peek(); c != kEndOfText; c = text.Peek()) {
    if (c == kEndOfFileMark) {
      if (!allFieldsRead) report.endMarkLine = text.Line();
      return;
    }
    if (!IsBlank(static_cast<char>(c))) {
      if (allFieldsRead) report.unreadTextLine = text.Line();
      return;
    }
    text.Advance();
  }
}

FilterTaps ReadFilterTaps(TapText& text, FilterTapsReport* report) {
  LineCounter lines;
  if (report != nullptr) {
    *report = FilterTapsReport{};
    lines.report = report;
    text.CountLines(&lines);
  }
  FilterTaps taps{};
  int fieldsRead = 0;
  for (double& tap : taps) {
    SkipSpaces(text);
    const int first = text.Peek();
    // Nothing is consumed here, so every later field finds the same end.
    if (first == kEndOfText || first == kEndOfFileMark) break;
    TapFieldNote* note = nullptr;
    if (report != nullptr) {
      note = &report->fields.emplace_back();
      note->firstLine = note->lastLine = text.Line();
      note->quoted = first == '"';
    }
    TapNumberScanner number;
    if (first == '"') ReadQuotedField(text, number, note);
    else ReadPlainField(text, number, note);
    tap = number.Value();
    ++fieldsRead;
    if (note != nullptr) {
      note->holdsNumber = number.HoldsNumber();
      TrimTrailingBlanks(note->ignored);
    }
  }
  if (report != nullptr) NoteWhatFollows(text, fieldsRead == TapCount, *report);
  // The counter ends here; the text may outlive it.
  text.CountLines(nullptr);
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

FilterTaps ParseFilterTaps(std::string_view text, FilterTapsReport* report) {
  TapText source(text);
  const FilterTaps taps = ReadFilterTaps(source, report);
  if (report != nullptr) report->byteOrderMark = text.starts_with(kByteOrderMark);
  return taps;
}

double ConvertTapField(std::string_view field) {
  TapNumberScanner number;
  for (char c : field) number.Feed(c);
  return number.Value();
}

std::optional<FilterTaps> LoadFilterTaps(const std::string& path, FilterTapsReport* report) {
  // The open never waits, so that a named pipe in place of the file cannot
  // stall it; it is then turned away as not a regular file.
  const OpenFile file(platform::OpenForReading(path).handle);
  if (file.get() == platform::kNoFile) return std::nullopt;
  if (!platform::RegularFileSize(file.get())) return std::nullopt;
  TapText source(file.get());
  const FilterTaps taps = ReadFilterTaps(source, report);
  if (report != nullptr) {
    // Read again from the start, without moving through the text.
    std::uint8_t start[3] = {};
    const std::size_t got = platform::ReadAt(file.get(), 0, start, sizeof start);
    report->byteOrderMark =
        got == sizeof start && std::string_view(reinterpret_cast<const char*>(start), sizeof start) == kByteOrderMark;
  }
  return taps;
}

}  // namespace quenlow
