// vaultpick.exe started as its own process, read from outside through window messages as a
// person's tools would see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "actions/private_folder_name.h"
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
  HWND control(int id) const { return GetDlgItem(form_, id); }
  DWORD id() const { return process_.id(); }
  // Ends the program at once, as a crash or the task manager would.
  void kill() {
    TerminateProcess(process_.handle(), 1);
    WaitForSingleObject(process_.handle(), 5000);
  }
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
  keepOnTop(program.form());
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
  answerMenu(menu, {VK_ESCAPE});
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

// A file type of this test process's own whose "open" starts the test application with
// `arguments` before the file's path.
class TestFileType {
 public:
  explicit TestFileType(const std::wstring& arguments)
      : extension_(L".vpt" + std::to_wstring(GetCurrentProcessId())),
        progId_(L"VaultpickTest" + std::to_wstring(GetCurrentProcessId())) {
    set(extension_, progId_);
    set(progId_ + L"\\shell\\open\\command",
        L"\"" + (binFolder() / L"vaultpick_test_app.exe").wstring() + L"\" " + arguments +
            L" \"%1\"");
  }
  ~TestFileType() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, extension_.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, progId_.c_str());
  }
  TestFileType(const TestFileType&) = delete;
  TestFileType& operator=(const TestFileType&) = delete;
  const std::wstring& extension() const { return extension_; }

 private:
  static void set(const std::wstring& key, const std::wstring& value) {
    EXPECT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  std::wstring extension_, progId_;
};

// The private copy folders in TEMP.
std::vector<std::wstring> copyFoldersIn(const fs::path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (vaultpick::runOfPrivateFolder(entry.path().filename().wstring()))
      names.push_back(entry.path().filename().wstring());
  return names;
}

bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 300 && !done(); ++i) Sleep(50);
  return done();
}

// Shell Execute File on a package's "data" file of the test type, chosen from the item menu
// with real input: a right-click on the entry, then the keyboard.
class ShellExecuteEndToEnd : public ::testing::Test {
 protected:
  void openDataFile(const TestFileType& type) {
    const hl::write::Node tree = hl::write::Node::folder(
        "", {hl::write::Node::file("notes.txt", hl::write::Content::text("plain")),
             hl::write::Node::folder(
                 "docs", {hl::write::Node::file(fs::path(L"data" + type.extension()).u8string(),
                                                hl::write::Content::bytes(data))})});
    package = makeTestPackage(scratch / "open.gcf", tree);
    program = std::make_unique<RunningProgram>(package.path);
    ASSERT_NE(program->form(), nullptr) << "Form1 never showed";
    const auto entry =
        std::find(package.entries.begin(), package.entries.end(), L"docs\\data" + type.extension());
    ASSERT_NE(entry, package.entries.end());
    keepOnTop(program->form());
    const int index = static_cast<int>(entry - package.entries.begin());
    HWND list = program->control(Form1::kIdList1);
    click(overEntry(list, index), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    HWND menu = waitForWindow(program->id(), L"#32768");
    ASSERT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), index) << "the entry was not selected";
    ASSERT_NE(menu, nullptr) << "no menu opened";
    // Info, Extract File, Extract whole GCF, Shell Execute File.
    answerMenu(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
  }

  RealInputLock input;
  PrivateTemp temp;
  ScratchFolder scratch;
  // Bytes of every value, more than one read takes; no program (Wine runs any program it is
  // handed, whatever its name).
  std::vector<uint8_t> data = [] {
    std::vector<uint8_t> bytes(200000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    return bytes;
  }();
  TestPackage package;
  std::unique_ptr<RunningProgram> program;
};

TEST_F(ShellExecuteEndToEnd, TheCopyOutlivesAnApplicationThatHandsItOnAndGoesWithTheProgram) {
  const fs::path seen = scratch / "seen";
  TestFileType type(L"handoff \"" + seen.wstring() + L"\"");
  openDataFile(type);
  // The started application ended at once; the process it handed the file to reads it 2 s later.
  ASSERT_TRUE(waitFor([&] { return fs::exists(seen); })) << "the copy was never read";
  EXPECT_TRUE(testing_support::readFile(seen) == data);
  EXPECT_EQ(copyFoldersIn(temp.path()).size(), 1u);

  // A run that is killed leaves its copy; the next start removes it, and a closed run leaves
  // nothing.
  program->kill();
  EXPECT_EQ(copyFoldersIn(temp.path()).size(), 1u);
  RunningProgram next(package.path);
  ASSERT_NE(next.form(), nullptr);
  EXPECT_TRUE(copyFoldersIn(temp.path()).empty());
  EXPECT_EQ(next.close(), 0);
  EXPECT_TRUE(copyFoldersIn(temp.path()).empty());
}

TEST_F(ShellExecuteEndToEnd, WhileTheApplicationRunsTheWindowAnswersLockedAndMayBeClosed) {
  TestFileType type(L"hold 8000");
  openDataFile(type);
  HWND list = program->control(Form1::kIdList1);
  ASSERT_TRUE(waitFor([&] { return !IsWindowEnabled(list); })) << "the list was never locked";
  EXPECT_FALSE(IsWindowEnabled(program->control(Form1::kIdCommand1)));
  EXPECT_FALSE(IsWindowEnabled(program->control(Form1::kIdCommand2)));
  // Messages from another process (this one) are answered at once.
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    DWORD_PTR length = 0;
    EXPECT_TRUE(SendMessageTimeoutW(program->form(), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                    &length));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100)) << i;
    EXPECT_EQ(length, std::wstring(L"Vaultpick - by Morvane").size());
    Sleep(100);
  }
  // Closing ends the wait and the program, with the application still running.
  EXPECT_EQ(program->close(), 0);
  EXPECT_TRUE(copyFoldersIn(temp.path()).empty());
}

}  // namespace
}  // namespace program_testing
