// Form1: the window itself, Open with a scripted dialog, Clear, and the list file.
#include "ui/form1.h"

#include <gtest/gtest.h>
// shlobj.h needs the types of windows.h, which ui/form1.h brings.
#include <shlobj.h>

#include <chrono>
#include <cstdio>

#include "program_support.h"

namespace program_testing {
namespace {

using testing_support::ScratchFolder;
using testing_support::writeFile;
using vaultpick::Form1;

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L"")); }
  HWND control(int id) { return GetDlgItem(form.window(), id); }

  PrivateTemp temp;
  ScratchFolder scratch;
  ScriptedDialogs dialogs;
  Form1 form{dialogs};
};

TEST_F(Form1Test, IsAFixedToolWindowWithItsControlsInTabOrder) {
  form.Show();
  EXPECT_EQ(windowText(form.window()), L"Vaultpick - by Morvane");
  LONG style = GetWindowLongW(form.window(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(GetWindowLongW(form.window(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(GetFocus(), control(Form1::kIdCommand1));

  // Text1, never shown, holds the quote character; Tab passes it by.
  EXPECT_FALSE(IsWindowVisible(control(Form1::kIdText1)));
  EXPECT_EQ(form.Text1(), L"\"");
  HWND order[] = {control(Form1::kIdCommand1), control(Form1::kIdText2),
                  control(Form1::kIdCommand2), control(Form1::kIdList1)};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_EQ(GetNextDlgTabItem(form.window(), order[i], FALSE), order[i + 1]) << i;

  LONG listStyle = GetWindowLongW(form.List1(), GWL_STYLE);
  EXPECT_EQ(listStyle & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0);
  HWND progress = control(Form1::kIdProgressBar1);
  EXPECT_EQ(SendMessageW(progress, 0x0407 /* PBM_GETRANGE */, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(progress, 0x0407 /* PBM_GETRANGE */, FALSE, 0), 100);
  EXPECT_EQ(SendMessageW(progress, 0x0408 /* PBM_GETPOS */, 0, 0), 0);
}

TEST_F(Form1Test, OpenListsThePickedPackageAndCancelLeavesAllEmpty) {
  TestPackage first = makeTestPackage(scratch / "first one.gcf");
  TestPackage second =
      makeTestPackage(scratch / "second.gcf", testing_support::manyFilesTree(30, 7));
  dialogs.willPick(first.path);
  dialogs.willPick(second.path);
  dialogs.willCancel();

  form.Command1_Click();
  EXPECT_EQ(form.Text2(), first.path.wstring());
  EXPECT_EQ(listBoxEntries(form.List1()), first.entries);
  EXPECT_FALSE(fs::exists(temp.listFile()));
  // A second Open replaces the first package's entries.
  form.Command1_Click();
  EXPECT_EQ(form.Text2(), second.path.wstring());
  EXPECT_EQ(listBoxEntries(form.List1()), second.entries);
  form.Command1_Click();
  EXPECT_EQ(form.Text2(), L"");
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  EXPECT_EQ(dialogs.filters, std::vector<std::wstring>(3, L".gcf;.ncf|*.gcf;*.ncf"));
}

TEST_F(Form1Test, APackageThatCannotBeListedShowsItsPathNoEntriesAndOneBoxWithTheReason) {
  TestPackage package = makeTestPackage(scratch / "whole.gcf");
  std::vector<uint8_t> cut = testing_support::readFile(package.path);
  cut.resize(cut.size() / 2);
  writeFile(scratch / "truncated.gcf", cut);
  writeFile(scratch / "empty.gcf", {});
  writeFile(scratch / "text.gcf", std::vector<uint8_t>(4096, 'x'));
  struct Case {
    const char* file;
    std::wstring reason;  // what the box's reason begins with
    bool toolMissing;
  };
  const Case cases[] = {
      {"truncated.gcf", L"package is truncated", false},
      {"empty.gcf", L"", false},
      {"text.gcf", L"", false},
      {"whole.gcf", L"The extraction tool could not be started: ", true},
  };
  for (const Case& c : cases) {
    if (c.toolMissing) fs::remove(temp.path() / "HLExtract.exe");
    dialogs.messages.clear();
    dialogs.willPick(scratch / c.file);
    form.Command1_Click();
    EXPECT_EQ(form.Text2(), (scratch / c.file).wstring());
    EXPECT_TRUE(listBoxEntries(form.List1()).empty()) << c.file;
    ASSERT_EQ(dialogs.messages.size(), 1u) << c.file;
    const ScriptedDialogs::MessageShown& box = dialogs.messages[0];
    EXPECT_EQ(box.title, L"Vaultpick");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONERROR));
    const std::wstring what = L"The package could not be opened.\n\n";
    EXPECT_EQ(box.text.substr(0, what.size() + c.reason.size()), what + c.reason)
        << fs::path(box.text).u8string();
    EXPECT_GT(box.text.size(), what.size() + c.reason.size()) << c.file;
  }
}

TEST_F(Form1Test, AListFileLeftByAnEarlierRunIsNeverShown) {
  // The fault this pins: when the tool wrote no list, the old one was read as the new
  // package's contents.
  writeFile(temp.listFile(), {'r', 'o', 'o', 't', '\\', 's', 't', 'a', 'l', 'e', '\r', '\n'});
  fs::path notPackage = scratch / "not a package.gcf";
  writeFile(notPackage, std::vector<uint8_t>(4096, 0x5a));
  dialogs.willPick(notPackage);
  form.Command1_Click();
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  EXPECT_FALSE(fs::exists(temp.listFile()));
}

TEST_F(Form1Test, ClearEmptiesListAndPathAndTouchesNoFile) {
  form.Command2_Click();
  EXPECT_EQ(form.Text2(), L"");
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());

  TestPackage package = makeTestPackage(scratch / "demo.gcf");
  dialogs.willPick(package.path);
  form.Command1_Click();
  ASSERT_FALSE(listBoxEntries(form.List1()).empty());
  auto before = fs::last_write_time(temp.path() / L"HLExtract.exe");
  // Pressed like a user would: the click reaches Command2_Click through the window.
  SendMessageW(control(Form1::kIdCommand2), BM_CLICK, 0, 0);
  EXPECT_EQ(form.Text2(), L"");
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  EXPECT_TRUE(fs::exists(package.path));
  EXPECT_EQ(fs::last_write_time(temp.path() / L"HLExtract.exe"), before);
}

TEST_F(Form1Test, APackageOf100000FilesIsListedWhole) {
  TestPackage package =
      makeTestPackage(scratch / "files100k.gcf", testing_support::manyFilesTree(100000, 1000));
  dialogs.willPick(package.path);
  auto start = std::chrono::steady_clock::now();
  form.Command1_Click();
  auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("listing 100,000 files took %.2f s\n", took);
  EXPECT_EQ(listBoxEntries(form.List1()), package.entries);
  EXPECT_FALSE(fs::exists(temp.listFile()));
}

TEST_F(Form1Test, ClosingWhileTheToolRunsEndsTheProgramWithoutTouchingTheDeadWindow) {
  TestPackage package =
      makeTestPackage(scratch / "files20k.gcf", testing_support::manyFilesTree(20000, 1000));
  dialogs.willPick(package.path);
  // The close arrives while the listing waits for the tool.
  PostMessageW(form.window(), WM_CLOSE, 0, 0);
  form.Command1_Click();
  EXPECT_FALSE(form.alive());
  EXPECT_TRUE(takeQuitMessage());
}

// Posts WM_DROPFILES to the window with the files in a block of the form that the shell's drop
// hands over; the window frees it.
void dropFiles(HWND window, const std::vector<fs::path>& files) {
  std::wstring names;
  for (const fs::path& file : files) names += file.wstring() + L'\0';
  names += L'\0';
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(block);
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

TEST_F(Form1Test, ADroppedPackageOpensAsIfChosenWithOpenAndAnythingElseChangesNothing) {
  TestPackage package = makeTestPackage(scratch / "dropped.GCF");
  const fs::path notes = scratch / "notes.txt";
  writeFile(notes, {'x'});
  fs::create_directory(scratch / "folder.gcf");
  auto listed = [&] { return listBoxEntries(form.List1()) == package.entries; };
  auto settle = [] { pumpUntil([] { return false; }, std::chrono::milliseconds(300)); };

  dropFiles(form.window(), {notes});
  settle();
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  // The first package among the files, past a folder and a name that is no file.
  dropFiles(form.window(), {notes, scratch / "folder.gcf", scratch / "gone.ncf", package.path});
  EXPECT_TRUE(pumpUntil(listed, std::chrono::seconds(10)));
  EXPECT_EQ(form.Text2(), package.path.wstring());
  dropFiles(form.window(), {notes});
  settle();
  EXPECT_TRUE(listed());
  EXPECT_EQ(form.Text2(), package.path.wstring());

  // Nothing opens while a command has the window locked.
  form.Command2_Click();
  EnableWindow(form.Command1(), FALSE);
  dropFiles(form.window(), {package.path});
  settle();
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
}

}  // namespace
}  // namespace program_testing
