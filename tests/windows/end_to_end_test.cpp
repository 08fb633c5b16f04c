// vaultpick.exe started as its own process, read from outside through window messages as a
// person's tools would see it.
#include <gtest/gtest.h>

#include "program_support.h"
#include "toolbridge/command_lines.h"
#include "ui/form1.h"
#include "ui/handles.h"

namespace program_testing {
namespace {

using testing_support::ScratchFolder;
using vaultpick::Form1;
using vaultpick::UniqueHandle;

// Form1 of the given process, once it is visible.
HWND findForm1(DWORD process) {
  for (HWND window = FindWindowExW(nullptr, nullptr, L"VaultpickForm1", nullptr); window;
       window = FindWindowExW(nullptr, window, L"VaultpickForm1", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// A control's rectangle inside the client area of its window, in pixels.
RECT placeOf(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST(EndToEnd, TheProgramListsThePackageOnItsCommandLine) {
  PrivateTemp temp;  // the child inherits this TEMP
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch / "end to end.gcf");

  std::wstring line = vaultpick::quoteArgument((binFolder() / L"vaultpick.exe").wstring()) +
                      L" \"" + package.path.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &started));
  UniqueHandle process(started.hProcess), thread(started.hThread);

  HWND form = nullptr;
  for (int i = 0; i < 300 && !form; ++i) {
    Sleep(50);
    form = findForm1(started.dwProcessId);
  }
  ASSERT_NE(form, nullptr) << "Form1 never showed";

  EXPECT_EQ(windowText(form), L"Vaultpick - by Morvane");
  EXPECT_EQ(windowText(GetDlgItem(form, Form1::kIdText2)), package.path.wstring());
  EXPECT_EQ(listBoxEntries(GetDlgItem(form, Form1::kIdList1)), package.entries);
  EXPECT_EQ(windowText(GetDlgItem(form, Form1::kIdCommand1)), L"Open");
  EXPECT_EQ(windowText(GetDlgItem(form, Form1::kIdCommand2)), L"Clear");
  // The progress bar is made of the class that the program's COMCTL32.OCX registers.
  wchar_t progressClass[64] = {};
  GetClassNameW(GetDlgItem(form, Form1::kIdProgressBar1), progressClass, 64);
  EXPECT_STREQ(progressClass, L"VaultpickProgressBar");

  // Positions in twips, scaled to this display: 1440 twips to the inch.
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, px(5025));
  EXPECT_EQ(client.bottom, px(4095));
  struct Expected {
    int id, left, top, width, height;
  };
  const Expected controls[] = {
      {Form1::kIdCommand1, 3150, 105, 870, 285}, {Form1::kIdText1, 0, 0, 255, 285},
      {Form1::kIdText2, 105, 105, 3015, 285},    {Form1::kIdCommand2, 4050, 105, 870, 285},
      {Form1::kIdList1, 105, 420, 4830, 3375},   {Form1::kIdProgressBar1, 105, 3825, 4830, 180},
  };
  for (const Expected& c : controls) {
    RECT at = placeOf(GetDlgItem(form, c.id));
    EXPECT_EQ(at.left, px(c.left)) << c.id;
    EXPECT_EQ(at.top, px(c.top)) << c.id;
    EXPECT_EQ(at.right - at.left, px(c.width)) << c.id;
    EXPECT_EQ(at.bottom - at.top, px(c.height)) << c.id;
  }
  // Centred on the screen.
  RECT frame;
  GetWindowRect(form, &frame);
  EXPECT_NEAR(frame.left + (frame.right - frame.left) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0,
              1);
  EXPECT_NEAR(frame.top + (frame.bottom - frame.top) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1);

  // Closing the window ends the program.
  PostMessageW(form, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace program_testing
