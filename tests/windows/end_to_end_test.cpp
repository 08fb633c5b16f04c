// vaultpick.exe started as its own process, read from outside through window messages as a
// person's tools would see it.
#include <gtest/gtest.h>

#include <algorithm>

#include "program_process.h"
#include "program_support.h"
#include "real_input.h"
#include "ui/form1.h"

namespace program_testing {
namespace {

using testing_support::ScratchFolder;
using vaultpick::Form1;

// A control's rectangle inside the client area of its window, in pixels.
RECT placeOf(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// vaultpick.exe started on a package, with its Form1 once visible.
class RunningProgram {
 public:
  explicit RunningProgram(const fs::path& package)
      : process_(startProgram(L"\"" + package.wstring() + L"\"")),
        form_(process_ ? waitForForm1(process_.id()) : nullptr) {}

  // Form1, once visible; nullptr when it never showed.
  HWND form() const { return form_; }
  DWORD id() const { return process_.id(); }
  // Closes Form1 and gives the program's exit code, or -1 when it did not end.
  long close() {
    PostMessageW(form_, WM_CLOSE, 0, 0);
    const std::optional<DWORD> exitCode = process_.exitCode(10000);
    return exitCode ? static_cast<long>(*exitCode) : -1;
  }

 private:
  ChildProcess process_;
  HWND form_;
};

TEST(EndToEnd, TheProgramListsThePackageOnItsCommandLine) {
  PrivateTemp temp;  // the child inherits this TEMP
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch / "end to end.gcf");
  RunningProgram program(package.path);
  HWND form = program.form();
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
  EXPECT_EQ(program.close(), 0);
}

TEST(EndToEnd, ADamagedPackageOnTheCommandLineShowsWhyInACriticalBox) {
  PrivateTemp temp;
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch / "whole.gcf");
  std::vector<uint8_t> cut = testing_support::readFile(package.path);
  cut.resize(cut.size() / 2);
  testing_support::writeFile(scratch / "damaged.gcf", cut);
  ChildProcess process = startProgram(L"\"" + (scratch / "damaged.gcf").wstring() + L"\"");
  ASSERT_TRUE(process);
  HWND box = waitForMessageBox(process.id());
  ASSERT_NE(box, nullptr) << "no box";
  const MessageBoxSeen seen = readMessageBox(box);
  EXPECT_EQ(seen.title, L"Vaultpick");
  EXPECT_EQ(seen.icon, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  const std::wstring expected = L"The package could not be opened.\n\npackage is truncated";
  EXPECT_EQ(seen.text.substr(0, expected.size()), expected) << fs::path(seen.text).u8string();
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  // Then the window comes up with the path and no entries.
  HWND form = waitForForm1(process.id());
  ASSERT_NE(form, nullptr) << "Form1 never showed";
  EXPECT_EQ(windowText(GetDlgItem(form, Form1::kIdText2)), (scratch / "damaged.gcf").wstring());
  EXPECT_TRUE(listBoxEntries(GetDlgItem(form, Form1::kIdList1)).empty());
  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(process.exitCode(10000), std::optional<DWORD>(0));
}

// How many separate runs of rows of the window show the colour, in its leftmost 40 pixels:
// one run per menu item whose picture holds it (each picture has colours of its own).
int rowRunsOfColour(HWND window, COLORREF colour) {
  RECT frame;
  GetWindowRect(window, &frame);
  HDC screen = GetDC(nullptr);
  int runs = 0;
  bool inRun = false;
  for (int y = frame.top; y < frame.bottom; ++y) {
    bool found = false;
    for (int x = frame.left; x < frame.left + 40 && !found; ++x)
      found = GetPixel(screen, x, y) == colour;
    if (found && !inRun) ++runs;
    inRun = found;
  }
  ReleaseDC(nullptr, screen);
  return runs;
}

TEST(EndToEnd, ARealRightClickShowsTheMenuAndADoubleClickTheInfoBox) {
  RealInputLock input;
  PrivateTemp temp;
  ScratchFolder scratch;
  // Its engine.dll is our own program, so Info has a version resource to read.
  const hl::write::Node tree = hl::write::Node::folder(
      "", {hl::write::Node::file("notes.txt", hl::write::Content::text("plain")),
           hl::write::Node::folder(
               "bin", {hl::write::Node::file("engine.dll",
                                             hl::write::Content::bytes(testing_support::readFile(
                                                 binFolder() / "vaultpick.exe")))})});
  TestPackage package = makeTestPackage(scratch / "demo.gcf", tree);
  RunningProgram program(package.path);
  ASSERT_NE(program.form(), nullptr) << "Form1 never showed";
  HWND list = GetDlgItem(program.form(), Form1::kIdList1);

  click(overEntry(list, 0), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  HWND menu = waitForWindow(program.id(), L"#32768");
  ASSERT_NE(menu, nullptr) << "no menu opened";
  // The pointer off the menu, so no item is highlighted over its picture.
  sendInputs({mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, POINT{0, 0})});
  Sleep(300);
  // Each picture has a colour of its own; the extraction commands share theirs.
  EXPECT_EQ(rowRunsOfColour(menu, RGB(30, 100, 210)), 1);  // Info
  EXPECT_EQ(rowRunsOfColour(menu, RGB(40, 160, 60)), 2);   // Extract File, Extract whole GCF
  EXPECT_EQ(rowRunsOfColour(menu, RGB(30, 90, 200)), 1);   // Shell Execute File
  EXPECT_EQ(rowRunsOfColour(menu, RGB(210, 50, 40)), 1);   // Defragment GCF
  EXPECT_EQ(rowRunsOfColour(menu, RGB(40, 60, 130)), 1);   // Save List
  press(VK_ESCAPE);
  for (int i = 0; i < 100 && IsWindowVisible(menu); ++i) Sleep(50);
  EXPECT_FALSE(IsWindowVisible(menu));

  const int engine = static_cast<int>(
      std::find(package.entries.begin(), package.entries.end(), L"bin\\engine.dll") -
      package.entries.begin());
  doubleClick(overEntry(list, engine));
  HWND box = waitForMessageBox(program.id());
  ASSERT_NE(box, nullptr) << "no Info box";
  const MessageBoxSeen seen = readMessageBox(box);
  EXPECT_EQ(seen.title, L"Information about GCF");
  EXPECT_EQ(seen.icon, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(seen.text,
            L"GCF File: \t\tdemo.gcf\r\nFile: \t\t\"root\\bin\\engine.dll\"\r\n"
            L"Number: \t\t" +
                std::to_wstring(engine + 1) +
                L"\r\nExtractable: \tYes\r\n\r\nDescription: \tVaultpick\r\n"
                L"File Version: \t1.00.0000");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(50);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(program.close(), 0);
}

}  // namespace
}  // namespace program_testing
