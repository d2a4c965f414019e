#include "console/message_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "console/cell_width.h"
#include "console/utf8.h"

namespace quenlow::console {
namespace {

// Two columns of frame and one of margin on each side.
constexpr int kMaxTextWidth = Console::kColumns - 8;
// Frame, the blank row under the top, the blank row and the button row.
constexpr int kFrameRows = 5;
constexpr int kMaxTextRows = Console::kRows - kFrameRows;

constexpr ColorPair kBoxColors{15, 1};
constexpr ColorPair kButtonColors{1, 15};
const std::u32string kButton = U"< OK >";

constexpr char32_t kHorizontal = U'\u2500';
constexpr char32_t kVertical = U'\u2502';
constexpr char32_t kTopLeft = U'\u250C';
constexpr char32_t kTopRight = U'\u2510';
constexpr char32_t kBottomLeft = U'\u2514';
constexpr char32_t kBottomRight = U'\u2518';

// The cells a text takes on the screen: file names in a message may hold
// wide characters and combining marks.
std::size_t Cells(std::u32string_view text) {
  std::size_t cells = 0;
  for (char32_t ch : text) cells += static_cast<std::size_t>(CellWidth(ch));
  return cells;
}

// Splits at the last blank that fits, or hard where a word is too long; every
// character stays, blanks included, and a mark stays with its letter.
std::vector<std::u32string> WrapText(const std::u32string& text) {
  std::vector<std::u32string> lines;
  std::size_t start = 0;
  std::size_t cells = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t width = static_cast<std::size_t>(CellWidth(text[i]));
    if (cells + width > static_cast<std::size_t>(kMaxTextWidth)) {
      std::size_t cut = i;
      const std::size_t blank = text.rfind(U' ', i - 1);
      if (blank != std::u32string::npos && blank > start) cut = blank + 1;
      lines.push_back(text.substr(start, cut - start));
      start = cut;
      cells = Cells(std::u32string_view(text).substr(start, i - start));
    }
    cells += width;
  }
  lines.push_back(text.substr(start));
  if (lines.size() > static_cast<std::size_t>(kMaxTextRows)) lines.resize(kMaxTextRows);
  return lines;
}

void PrintAt(Console& console, int row, int column, const std::u32string& text) {
  console.MoveCursor(row, column);
  for (char32_t ch : text) console.PrintCharacter(ch);
}

}  // namespace

void ShowMessageBox(Console& console, std::string_view text, std::string_view title) {
  const Console::Snapshot saved = console.Save();
  const std::vector<std::u32string> lines = WrapText(DecodeUtf8(text));
  std::u32string heading = DecodeUtf8(title);

  std::size_t inner = kButton.size();
  for (const auto& line : lines) inner = std::max(inner, Cells(line));
  inner = std::max(inner, std::min(heading.size() + 2, static_cast<std::size_t>(kMaxTextWidth)));
  heading.resize(std::min(heading.size(), inner - 2));

  const int width = static_cast<int>(inner) + 4;
  const int height = static_cast<int>(lines.size()) + kFrameRows;
  const int left = 1 + (Console::kColumns - width) / 2;
  const int top = 1 + (Console::kRows - height) / 2;

  console.HideCursor();
  console.SetColors(kBoxColors);
  std::u32string border = std::u32string(1, kTopLeft) + kHorizontal + heading + U' ';
  border.append(width - 1 - border.size(), kHorizontal);
  PrintAt(console, top, left, border + kTopRight);

  const std::u32string empty(inner + 2, U' ');
  auto side = [&](int row, const std::u32string& content) {
    std::u32string padded = content;
    padded.append(inner - Cells(content), U' ');
    PrintAt(console, row, left, kVertical + (U' ' + padded + U' ') + kVertical);
  };
  side(top + 1, U"");
  for (std::size_t i = 0; i < lines.size(); ++i) side(top + 2 + static_cast<int>(i), lines[i]);
  side(top + 2 + static_cast<int>(lines.size()), U"");
  side(top + 3 + static_cast<int>(lines.size()), U"");
  console.SetColors(kButtonColors);
  PrintAt(console, top + 3 + static_cast<int>(lines.size()),
          left + 2 + static_cast<int>(inner - kButton.size()) / 2, kButton);
  console.SetColors(kBoxColors);
  PrintAt(console, top + height - 1, left,
          kBottomLeft + std::u32string(width - 2, kHorizontal) + kBottomRight);

  while (!console.ReadConfirmKey()) {
  }
  console.Restore(saved);
}

}  // namespace quenlow::console
