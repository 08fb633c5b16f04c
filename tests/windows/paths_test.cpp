// The one conversion of the library and the one of the program from a path to what the Win32 file
// calls take: both give the same, for paths of any length.
#include "file_io.h"
#include "program_support.h"
#include "win32/files.h"

namespace {

TEST(Win32Paths, BecomeAbsoluteNormalisedAndMarkedForAnyLength) {
  wchar_t kept[MAX_PATH];
  ASSERT_TRUE(GetCurrentDirectoryW(MAX_PATH, kept) && SetCurrentDirectoryW(L"C:\\windows"));
  const std::wstring name259 = L"C:\\" + std::wstring(256, L'a');
  std::wstring name32000 = L"C:";
  while (name32000.size() < 32000) name32000 += L"\\" + std::wstring(199, L'b');
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\games\\demo.gcf", L"\\\\?\\C:\\games\\demo.gcf"},
      {L"C:/games/maps/../sub/./demo.gcf", L"\\\\?\\C:\\games\\sub\\demo.gcf"},
      {L"\\\\server\\share\\demo.gcf", L"\\\\?\\UNC\\server\\share\\demo.gcf"},
      {L"//server/share/a/../demo.gcf", L"\\\\?\\UNC\\server\\share\\demo.gcf"},
      {L"sub\\demo.gcf", L"\\\\?\\C:\\windows\\sub\\demo.gcf"},
      {L".", L"\\\\?\\C:\\windows"},
      {L"..\\demo.gcf", L"\\\\?\\C:\\demo.gcf"},
      {L"\\\\?\\C:\\games\\..\\as\\it\\is", L"\\\\?\\C:\\games\\..\\as\\it\\is"},
      {L"\\\\.\\pipe\\tool", L"\\\\.\\pipe\\tool"},
      {L"", L""},
      {name259, L"\\\\?\\" + name259},
      {name259 + L"a", L"\\\\?\\" + name259 + L"a"},
      {name259 + L"aa", L"\\\\?\\" + name259 + L"aa"},
      {name32000, L"\\\\?\\" + name32000},
  };
  for (const auto& [given, expected] : cases) {
    const std::string shown = std::filesystem::path(given.substr(0, 60)).u8string();
    EXPECT_EQ(hl::io::win32Path(given), expected) << "library: " << shown;
    EXPECT_EQ(vaultpick::win32Path(given), expected) << "program: " << shown;
  }
  SetCurrentDirectoryW(kept);
}

}  // namespace
