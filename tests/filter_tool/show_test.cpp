// What show tells of a coefficient file: the fields the job reads otherwise
// than as one plain number, with their lines, and the warnings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "filter_tool/show.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Shown {
  int status;
  std::string out;
  std::string err;
};

Shown Show(const test::ScratchFolder& folder, const std::string& text, bool listTaps = false) {
  const std::string path = folder.Path("filter.dat");
  folder.Write("filter.dat", test::Bytes(text.begin(), text.end()));
  ShowOptions options;
  options.file = path;
  options.listTaps = listTaps;
  std::ostringstream out, err;
  const int status = RunShow(options, out, err);
  return {status, out.str(), err.str()};
}

std::string Lines(int count, const std::string& line, const std::string& end) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + end;
  return text;
}

TEST(Show, LinesEndedByBareLineFeedsAreOneMergedField) {
  const test::ScratchFolder folder;
  const Shown shown = Show(folder, "1\n2\n3\n");
  EXPECT_EQ(shown.status, 0);
  EXPECT_THAT(shown.out, HasSubstr("1 field(s) read; 1 of 215 taps filled"));
  EXPECT_THAT(shown.out, HasSubstr("field 1, lines 1-3: \"1\\n2\\n3\\n\"\n"));
  EXPECT_THAT(shown.out, HasSubstr("merged: 3 lines run together; read as 123\n"));
  EXPECT_THAT(shown.out, HasSubstr("3 line(s) end in a bare line feed (LF without CR), the first on line 1"));
  EXPECT_THAT(shown.out, HasSubstr("only 1 fields: taps 2 to 215 are 0"));
  EXPECT_THAT(shown.out, HasSubstr("the DC gain is 123 (+41.80 dB)"));
}

TEST(Show, StrayCharactersAndBlankLinesAreReportedOnTheirLines) {
  // Lines 1 .. 216 of CR LF text, two of them run together by a bare line
  // feed, so that field n sits on line n + 1 after it; and text after the
  // last field.
  std::string text = Lines(6, "0.001", "\r\n");
  text += "0.00l5\r\n";                      // line 7: a letter l for a one
  text += Lines(4, "0.001", "\r\n");         // lines 8 .. 11
  text += "abc\r\n";                         // line 12
  text += Lines(7, "0.001", "\r\n");         // lines 13 .. 19
  text += "0.5 0.25\r\n";                    // line 20
  text += Lines(9, "0.001", "\r\n");         // lines 21 .. 29
  text += "0.001\n0.002\r\n";                // lines 30 and 31: one field
  text += Lines(8, "0.001", "\r\n");         // lines 32 .. 39
  text += "\r\n";                            // line 40: field 39
  text += Lines(176, "0.001", "\r\n");       // lines 41 .. 216: fields 40 .. 215
  text += "extra\r\n";                       // line 217, never read
  const test::ScratchFolder folder;
  const Shown shown = Show(folder, text, true);
  EXPECT_EQ(shown.status, 0);
  EXPECT_THAT(shown.out, HasSubstr("215 field(s) read; 213 of 215 taps filled"));
  EXPECT_THAT(shown.out, HasSubstr("Fields not read as one plain number (5):"));
  EXPECT_THAT(shown.out, HasSubstr("field 7, line 7: \"0.00l5\"\n      cut: \"l5\" after the number is ignored; read as 0\n"));
  EXPECT_THAT(shown.out, HasSubstr("field 12, line 12: \"abc\"\n      no number: read as 0\n"));
  EXPECT_THAT(shown.out, HasSubstr("field 20, line 20: \"0.5 0.25\"\n      cut: \"0.25\" after the number is ignored; read as 0.5\n"));
  EXPECT_THAT(shown.out, HasSubstr("field 30, lines 30-31: \"0.001\\n0.002\"\n      merged: 2 lines run together; cut: \".002\""));
  EXPECT_THAT(shown.out, HasSubstr("field 39, line 40: \"\"\n      no number: read as 0\n"));
  EXPECT_THAT(shown.out, HasSubstr("1 line(s) end in a bare line feed (LF without CR), the first on line 30"));
  EXPECT_THAT(shown.out, HasSubstr("text from line 217 on follows field 215 and is never read"));
  EXPECT_THAT(shown.out, HasSubstr("   39  0\n   40  0.001\n"));
}

TEST(Show, AWellFormedFileRaisesNoWarning) {
  const test::ScratchFolder folder;
  const Shown shown = Show(folder, "1\r\n" + Lines(214, "0", "\r\n"));
  EXPECT_EQ(shown.status, 0);
  EXPECT_THAT(shown.out, HasSubstr("Every field read holds one number and nothing else."));
  EXPECT_THAT(shown.out, Not(HasSubstr("Warnings:")));
  EXPECT_THAT(shown.out, HasSubstr("not symmetric"));
}

TEST(Show, WarnsOfTapsTheFastPathCannotServeAndOfAnEndMark) {
  const test::ScratchFolder folder;
  const Shown shown = Show(folder, "1e9,1e9\r\n0.5\r\n\x1A" "0.5\r\n");
  EXPECT_THAT(shown.out, HasSubstr("taps outside the fast path's range"));
  EXPECT_THAT(shown.out, HasSubstr("an end-of-file mark (1A hex) on line 3 ends the fields"));
}

TEST(Show, ControlBytesInAFieldAreShownAsTheirOwnEscapes) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      {"1\x01\r\n0.5\r\n", "field 1, line 1: \"1\\x01\"\n"},
      {"1\x1b[2J\r\n0.5\r\n", "field 1, line 1: \"1\\x1b[2J\"\n"},
      {"0.5\r\n2\x7f\x1f\r\n", "field 2, line 2: \"2\\x7f\\x1f\"\n"},
      {"1\t\x0b\r\n", "field 1, line 1: \"1\\t\\x0b\"\n"},
  };
  const test::ScratchFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    // Shown twice: the same bytes give the same text every time.
    const Shown first = Show(folder, c.text);
    const Shown second = Show(folder, c.text);
    EXPECT_THAT(first.out, HasSubstr(c.shown));
    EXPECT_EQ(first.out, second.out);
  }
}

TEST(Show, APictureNameOfAnotherKindIsRefusedBeforeAnyWork) {
  const test::ScratchFolder folder;
  folder.Write("filter.dat", test::Bytes{'1', '\r', '\n'});
  ShowOptions options;
  options.file = folder.Path("filter.dat");
  options.plotFile = folder.Path("response.jpg");
  std::ostringstream out, err;
  EXPECT_EQ(RunShow(options, out, err), 2);
  EXPECT_EQ(out.str(), "");
  EXPECT_THAT(err.str(), HasSubstr("must end in .png or .svg"));
}

TEST(Show, AMissingFileIsAnError) {
  ShowOptions options;
  options.file = "/nonexistent/recfilt.dat";
  std::ostringstream out, err;
  EXPECT_EQ(RunShow(options, out, err), 1);
  EXPECT_THAT(err.str(), HasSubstr("/nonexistent/recfilt.dat cannot be read"));
}

// Twenty fields are listed; "... and N more" tells of the rest, and only
// when there is a rest.
TEST(Show, TellsOfFieldsBeyondThoseListedOnlyWhenThereAreMore) {
  const test::ScratchFolder folder;
  for (const int count : {19, 20, 21, 25}) {
    const Shown shown = Show(folder, Lines(count, "x", "\r\n"));
    const std::string more = "  ... and " + std::to_string(count - 20) + " more\n";
    if (count > 20) {
      EXPECT_THAT(shown.out, HasSubstr(more)) << count;
    } else {
      EXPECT_THAT(shown.out, Not(HasSubstr(" more\n"))) << count;
    }
  }
}
}  // namespace
}  // namespace quenlow
