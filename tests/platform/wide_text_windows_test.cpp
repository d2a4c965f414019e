// Names as the Windows calls take them (run under Wine, whose own calls do
// not hold to the old 260-character limit: the forms are checked here).
#include "platform/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quenlow::platform {
namespace {

TEST(WideText, GivesLongPathsTheFormWithoutALimit) {
  const std::string folder(130, 'f');
  const std::string file(130, 'n');
  struct Case {
    std::string name;
    std::wstring starts;  // what the call takes starts with this
    bool whole;           // and is exactly the name converted
  };
  for (const Case& c : {
           Case{"C:\\music\\take.wav", L"C:\\music\\take.wav", true},
           Case{"take \u00e9.wav", L"take \u00e9.wav", true},
           Case{"C:\\" + folder + "\\" + file, L"\\\\?\\C:\\" + std::wstring(130, L'f') + L"\\", false},
           Case{"C:/" + folder + "/" + file, L"\\\\?\\C:\\" + std::wstring(130, L'f') + L"\\", false},
           Case{"\\\\server\\share\\" + folder + "\\" + file, L"\\\\?\\UNC\\server\\share\\", false},
           Case{"\\\\?\\C:\\" + folder + "\\" + file, L"\\\\?\\C:\\" + std::wstring(130, L'f'), true},
           Case{folder + "\\" + file, L"\\\\?\\", false},  // relative: made full first
       }) {
    const std::wstring taken = WidePath(c.name);
    EXPECT_EQ(taken.rfind(c.starts, 0), 0u) << c.name;
    if (c.whole) {
      EXPECT_EQ(taken, WideText(c.name)) << c.name;
    } else {
      EXPECT_EQ(taken.size() - taken.rfind(L'\\') - 1, file.size()) << c.name;
    }
  }
}

TEST(WideText, GivesTheSystemsOwnFormOfAFullPath) {
  EXPECT_EQ(SystemPath("C:\\music\\take.wav"), L"\\??\\C:\\music\\take.wav");
  EXPECT_EQ(SystemPath("C:/music/take.wav"), L"\\??\\C:\\music\\take.wav");
  EXPECT_EQ(SystemPath("\\\\server\\share\\take.wav"), L"\\??\\UNC\\server\\share\\take.wav");
  const std::wstring relative = SystemPath("take.wav");
  EXPECT_EQ(relative.rfind(L"\\??\\", 0), 0u);
  EXPECT_EQ(relative.substr(relative.size() - 9), L"\\take.wav");
}

}  // namespace
}  // namespace quenlow::platform
