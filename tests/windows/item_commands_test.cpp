// The item menu's six commands on real windows, with the real tool, scripted dialogs and a
// private TEMP.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

// tlhelp32.h needs the types of windows.h.
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "actions/private_folder_name.h"
#include "defragment.h"
#include "program_process.h"
#include "program_support.h"
#include "toolbridge/list_package.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "window_events.h"

namespace program_testing {
namespace {

using hl::write::Content;
using hl::write::Node;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;
using vaultpick::Form1;

// Every file below a folder, as path ('\\'-separated) and bytes.
testing_support::ExpectedFiles filesBelow(const fs::path& folder) {
  testing_support::ExpectedFiles files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string path = fs::relative(entry.path(), folder).u8string();
    std::replace(path.begin(), path.end(), '/', '\\');
    files[path] = readFile(entry.path());
  }
  return files;
}

std::vector<std::wstring> namesIn(const fs::path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

class ItemCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L""));
    toolFiles = namesIn(temp.path());
  }

  // Lists the package in Form1 as Open does.
  void open(const fs::path& package) {
    form.setText2(package.wstring());
    vaultpick::ListPackage(form);
  }
  void select(int index) { SendMessageW(form.List1(), LB_SETCURSEL, index, 0); }
  void select(const TestPackage& package, const std::wstring& entry) {
    auto at = std::find(package.entries.begin(), package.entries.end(), entry);
    ASSERT_NE(at, package.entries.end()) << "no entry " << fs::path(entry).u8string();
    select(static_cast<int>(at - package.entries.begin()));
  }
  void watchForm1() {
    events.watch(form.window(), L"Form1");
    events.watch(form.List1(), L"List1");
    events.watch(form.Command1(), L"Command1");
    events.watch(form.Command2(), L"Command2");
    events.watch(form.ProgressBar1(), L"ProgressBar1");
  }
  // The temporary folder holds nothing but the tool files.
  void expectTempUntouched() { EXPECT_EQ(namesIn(temp.path()), toolFiles); }

  PrivateTemp temp;
  ScratchFolder scratch;
  ScriptedDialogs dialogs;
  Form1 form{dialogs};
  WindowEvents events;
  std::vector<std::wstring> toolFiles;
};

TEST_F(ItemCommands, EveryCommandDoesNothingOnAnEmptyList) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  const auto bytes = readFile(package.path);
  form.setText2(package.path.wstring());
  watchForm1();
  vaultpick::Form2& form2 = form.form2();
  form2.mnu9_Click();
  form2.mnu2_Click();
  form2.mnu4_Click();
  form2.mnu8_Click();
  form2.mnu6_Click();
  form2.mnu5_Click();
  EXPECT_TRUE(events.lines.empty());
  EXPECT_TRUE(dialogs.folders.empty() && dialogs.saves.empty() && dialogs.messages.empty() &&
              dialogs.shellOpens.empty());
  EXPECT_TRUE(readFile(package.path) == bytes);
  expectTempUntouched();
}

TEST_F(ItemCommands, ExtractFileWritesJustTheItemIntoTheChosenFolder) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  select(package, L"maps\\sub\\deep.txt");
  const fs::path out = scratch / "out folder";
  fs::create_directory(out);
  dialogs.willChooseFolder(out.wstring());
  watchForm1();
  form.form2().mnu2_Click();

  const auto expected = testing_support::expectedFiles(testing_support::mixedTree(8192));
  EXPECT_EQ(filesBelow(out),
            (testing_support::ExpectedFiles{{"deep.txt", expected.at("maps\\sub\\deep.txt")}}));
  ASSERT_EQ(dialogs.folders.size(), 1u);
  EXPECT_EQ(dialogs.folders[0].title, L"Choose a Dir...");
  EXPECT_EQ(dialogs.folders[0].flags, 1u);
  EXPECT_EQ(dialogs.folders[0].owner, form.form2().window());
  EXPECT_EQ(form.form2().ChosenDir(), out.wstring());
  EXPECT_EQ(form.form2().DestDir(), L"");
  EXPECT_EQ(events.lines, (std::vector<std::wstring>{L"Max 1", L"Value 1", L"Value 0"}));
}

// The paths of the files below a folder, without their bytes, for short failure messages.
std::vector<std::string> pathsIn(const testing_support::ExpectedFiles& files) {
  std::vector<std::string> paths;
  for (const auto& file : files) paths.push_back(file.first);
  return paths;
}

TEST_F(ItemCommands, ExtractionIntoADriveRoot) {
  // The test run maps drive Q: to an empty folder; the chooser gives a root with its "\".
  const fs::path drive = L"Q:\\";
  ASSERT_TRUE(vaultpick::Form2::DirExists(drive.wstring())) << "drive Q: is not mapped";
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  select(package, L"maps\\sub\\deep.txt");
  dialogs.willChooseFolder(drive.wstring());
  form.form2().mnu2_Click();
  EXPECT_EQ(pathsIn(filesBelow(drive)), std::vector<std::string>{"deep.txt"});
  fs::remove(drive / "deep.txt");

  dialogs.willChooseFolder(drive.wstring());
  form.form2().mnu4_Click();
  const auto expected = testing_support::expectedFiles(testing_support::mixedTree(8192));
  const auto written = filesBelow(drive);
  EXPECT_EQ(pathsIn(written), pathsIn(expected));
  EXPECT_TRUE(written == expected);
  for (const auto& entry : fs::directory_iterator(drive)) fs::remove_all(entry.path());
}

TEST_F(ItemCommands, ExtractionCommandsSkipOnlyTheLowerCaseNcfExtension) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  const fs::path out = scratch / "out";
  fs::create_directory(out);
  for (const char* name : {"lower.ncf", "upper.NCF", "mixed.Ncf"}) {
    const fs::path copy = scratch / name;
    fs::copy_file(package.path, copy);
    open(copy);
    select(package, L"readme.txt");
    const bool skipped = std::string(name) == "lower.ncf";
    if (!skipped) {
      dialogs.willChooseFolder(out.wstring());
      dialogs.willChooseFolder(out.wstring());
    }
    form.form2().mnu2_Click();
    form.form2().mnu4_Click();
    form.form2().mnu8_Click();
    EXPECT_EQ(dialogs.folders.size(), skipped ? 0u : 2u) << name;
    EXPECT_EQ(dialogs.shellOpens.size(), skipped ? 0u : 1u) << name;
    EXPECT_EQ(fs::exists(out / "readme.txt"), !skipped) << name;
    dialogs.folders.clear();
    dialogs.shellOpens.clear();
    fs::remove_all(out);
    fs::create_directory(out);
  }
}

TEST_F(ItemCommands, CancelledOrMissingDestinationsChangeNothing) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  select(0);
  watchForm1();
  const std::wstring missing = (scratch.path() / L"missing").wstring();
  for (const std::wstring& answer : {std::wstring(), missing}) {
    dialogs.willChooseFolder(answer);
    form.form2().mnu2_Click();
    EXPECT_EQ(form.form2().ChosenDir(), answer);
    dialogs.willChooseFolder(answer);
    form.form2().mnu4_Click();
    // The rejected destination stays behind, as nothing ran to empty it.
    EXPECT_EQ(form.form2().DestDir(), answer);
  }
  EXPECT_TRUE(events.lines.empty());
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(windowText(form.window()), L"Vaultpick - by Morvane");
}

// Extract whole GCF for packages of `files` files in nested folders and at the root.
class ExtractWhole : public ItemCommands, public ::testing::WithParamInterface<int> {};

// The longest time between two turns of this thread's message handling while it lives, seen
// by a timer that asks for a turn every 5 ms.
class MessageGaps {
 public:
  MessageGaps() : timer_(SetTimer(nullptr, 0, 5, &MessageGaps::tick)) { last() = now(); }
  ~MessageGaps() { KillTimer(nullptr, timer_); }
  MessageGaps(const MessageGaps&) = delete;
  MessageGaps& operator=(const MessageGaps&) = delete;
  static double longest() { return longest_(); }

 private:
  static double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  static double& last() {
    static double value = 0;
    return value;
  }
  static double& longest_() {
    static double value = 0;
    return value;
  }
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    longest_() = std::max(longest_(), now() - last());
    last() = now();
  }
  UINT_PTR timer_;
};

TEST_P(ExtractWhole, RebuildsTheTreeWithProgressAndRestoresTheWindow) {
  const int files = GetParam();
  Node tree = testing_support::manyFilesTree(static_cast<uint32_t>(files - 1), 7);
  tree.children.push_back(Node::file("at root.txt", Content::pattern(33, 9)));
  TestPackage package = makeTestPackage(scratch / "whole.gcf", tree);
  open(package.path);
  const fs::path out = scratch / "out";
  fs::create_directory(out);
  dialogs.willChooseFolder(out.wstring());
  watchForm1();
  {
    const MessageGaps gaps;
    form.form2().mnu4_Click();
    // Every 10 ms by design, but a process start (which cannot answer messages) or a loaded
    // machine holds the process back now and then; a loop that never answers takes seconds.
    EXPECT_LT(MessageGaps::longest(), 1.0) << "messages waited " << MessageGaps::longest() << " s";
  }

  const auto written = filesBelow(out);
  EXPECT_EQ(pathsIn(written), pathsIn(testing_support::expectedFiles(tree)));
  EXPECT_TRUE(written == testing_support::expectedFiles(tree));
  std::vector<std::wstring> expected = {L"caption Vaultpick - Extracting GCF Files...",
                                        L"List1 off", L"Command1 off", L"Command2 off",
                                        L"Max " + std::to_wstring(files - 1)};
  for (int i = 0; i < files; ++i) expected.push_back(L"Value " + std::to_wstring(i));
  for (const wchar_t* line :
       {L"Value 0", L"List1 on", L"Command1 on", L"Command2 on", L"caption Vaultpick - by Morvane"})
    expected.emplace_back(line);
  EXPECT_EQ(events.lines, expected);
  EXPECT_EQ(form.form2().DestDir(), L"");
  EXPECT_EQ(listBoxEntries(form.List1()), package.entries);
  EXPECT_TRUE(dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Entries, ExtractWhole, ::testing::Values(1, 3, 1000, 33001));

// The tool processes that this test process started and that still run.
int runningTools() {
  vaultpick::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  int running = 0;
  for (BOOL more = Process32FirstW(snapshot.get(), &process); more;
       more = Process32NextW(snapshot.get(), &process))
    if (process.th32ParentProcessID == GetCurrentProcessId() &&
        _wcsicmp(process.szExeFile, L"hlextract.exe") == 0)
      ++running;
  return running;
}

TEST_F(ItemCommands, ClosingTheWindowStopsExtractWholeBetweenTwoItems) {
  const Node tree = testing_support::manyFilesTree(4000, 50);
  TestPackage package = makeTestPackage(scratch / "p.gcf", tree);
  open(package.path);
  const fs::path out = scratch / "out";
  fs::create_directory(out);
  dialogs.willChooseFolder(out.wstring());
  // The user closes the window once the third entry is done.
  static std::chrono::steady_clock::time_point closed;
  struct CloseOnThirdValue {
    static LRESULT CALLBACK procedure(HWND bar, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR form) {
      if (message == PBM_SETPOS && wParam == 2) {
        PostMessageW(reinterpret_cast<HWND>(form), WM_CLOSE, 0, 0);
        closed = std::chrono::steady_clock::now();
      }
      return DefSubclassProc(bar, message, wParam, lParam);
    }
  };
  SetWindowSubclass(form.ProgressBar1(), &CloseOnThirdValue::procedure, 0,
                    reinterpret_cast<DWORD_PTR>(form.window()));
  form.form2().mnu4_Click();
  const double stopped =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count();

  EXPECT_FALSE(form.alive());
  MSG quit;
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
  EXPECT_EQ(runningTools(), 0);
  EXPECT_LT(stopped, 1.0) << "the tool took " << stopped << " s to stop";
  // What was written is whole, and nothing half-written stays behind.
  const auto written = filesBelow(out);
  const auto expected = testing_support::expectedFiles(tree);
  EXPECT_LT(written.size(), expected.size());
  for (const auto& file : written) {
    ASSERT_EQ(expected.count(file.first), 1u) << file.first;
    EXPECT_TRUE(file.second == expected.at(file.first)) << file.first;
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ItemCommands, ExtractWholeWritesEveryOtherEntryAndNamesTheFailedOnesInOneBox) {
  Node partial = Node::file("partial.bin", Content::pattern(3000, 1));
  partial.storedBytes = 5;
  Node locked = Node::file("locked.bin", Content::pattern(300, 2));
  locked.extraFlags = 0x100;
  const Node fine = Node::folder(
      "", {Node::file("first.txt", Content::pattern(10, 3)),
           Node::folder("docs", {partial, Node::file("fine.txt", Content::pattern(20, 4)), locked}),
           Node::folder("nul", {Node::file("device.txt", Content::text("x"))}),
           Node::file("readonly.txt", Content::text("new")),
           Node::file("last.txt", Content::pattern(30, 5))});
  hl::write::Options unsafeNames;
  unsafeNames.allowUnsafeNames = true;
  const fs::path path = testing_support::makePackage(fine, unsafeNames, scratch / "p.gcf");
  open(path);
  const std::vector<std::wstring> entries = listBoxEntries(form.List1());
  const fs::path out = scratch / "out";
  fs::create_directory(out);
  writeFile(out / "readonly.txt", {'m', 'i', 'n', 'e'});
  SetFileAttributesW((out / "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  dialogs.willChooseFolder(out.wstring());
  form.form2().mnu4_Click();
  SetFileAttributesW((out / "readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

  auto expected = testing_support::expectedFiles(fine);
  for (const char* failed : {"docs\\partial.bin", "docs\\locked.bin", "nul\\device.txt"})
    expected.erase(failed);
  expected["readonly.txt"] = {'m', 'i', 'n', 'e'};
  EXPECT_TRUE(filesBelow(out) == expected);
  EXPECT_EQ(pathsIn(filesBelow(out)), pathsIn(expected));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, L"Vaultpick");
  EXPECT_EQ(dialogs.messages[0].style, static_cast<UINT>(MB_ICONERROR));
  // The four, in list order, each with a reason.
  std::wstring named;
  for (const std::wstring& entry : entries)
    if (entry == L"docs\\partial.bin" || entry == L"docs\\locked.bin" ||
        entry == L"nul\\device.txt" || entry == L"readonly.txt")
      named += L"\nroot\\" + entry + L": ";
  const std::wstring& text = dialogs.messages[0].text;
  const std::wstring head =
      L"4 of " + std::to_wstring(entries.size()) + L" entries were not extracted:\n";
  EXPECT_EQ(text.substr(0, head.size()), head) << fs::path(text).u8string();
  std::wstring shown;
  for (size_t at = text.find(L"\nroot\\"); at != std::wstring::npos;
       at = text.find(L"\nroot\\", at + 1)) {
    const size_t colon = text.find(L": ", at);
    EXPECT_NE(text.find(L'\n', colon), colon + 2) << "no reason";
    shown += text.substr(at, colon + 2 - at);
  }
  EXPECT_EQ(shown, named) << fs::path(text).u8string();
}

TEST_F(ItemCommands, ExtractFileAndDefragmentThatFailShowOneBoxEach) {
  Node partial = Node::file("partial.bin", Content::pattern(3000, 1));
  partial.storedBytes = 5;
  hl::write::Options scattered;
  scattered.blockSize = 512;
  scattered.placement = hl::write::Placement::Scattered;
  const fs::path path = testing_support::makePackage(
      Node::folder("", {partial, Node::file("b.txt", Content::pattern(2000, 2))}), scattered,
      scratch / "p.gcf");
  open(path);
  select(0);
  const fs::path out = scratch / "out";
  fs::create_directory(out);
  dialogs.willChooseFolder(out.wstring());
  form.form2().mnu2_Click();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  const auto before = readFile(path);
  form.form2().mnu6_Click();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_TRUE(readFile(path) == before);
  ASSERT_EQ(dialogs.messages.size(), 2u);
  const std::wstring what[] = {L"The file was not extracted.\n\n",
                               L"The package was not defragmented.\n\n"};
  for (size_t i = 0; i < 2; ++i) {
    const std::wstring& text = dialogs.messages[i].text;
    EXPECT_EQ(text.substr(0, what[i].size()), what[i]) << fs::path(text).u8string();
    EXPECT_GT(text.size(), what[i].size());
    EXPECT_EQ(dialogs.messages[i].title, L"Vaultpick");
    EXPECT_EQ(dialogs.messages[i].style, static_cast<UINT>(MB_ICONERROR));
  }
  EXPECT_EQ(windowText(form.window()), L"Vaultpick - by Morvane");
}

TEST_F(ItemCommands, WholeExtractionsInARowOnABusyMachineEachRebuildTheTreeExactly) {
  // A busy core and a disk writer beside the program: process starts fail now and then under
  // Wine then, and no entry may go missing for it.
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    for (volatile unsigned spin = 0; !stop; spin = spin + 1) {
    }
  });
  std::thread writer([&, target = scratch / "load.bin"] {
    const std::vector<uint8_t> block(4 << 20, 0x5a);
    while (!stop) {
      vaultpick::UniqueHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
      DWORD written = 0;
      WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
      FlushFileBuffers(file.get());
    }
  });
  const Node tree = testing_support::manyFilesTree(1000, 7);
  TestPackage package = makeTestPackage(scratch / "p.gcf", tree);
  open(package.path);
  const auto expected = testing_support::expectedFiles(tree);
  for (int run = 0; run < 20; ++run) {
    const fs::path out = scratch / ("out" + std::to_string(run));
    fs::create_directory(out);
    dialogs.willChooseFolder(out.wstring());
    form.form2().mnu4_Click();
    const auto written = filesBelow(out);
    EXPECT_EQ(written.size(), expected.size()) << "run " << run;
    EXPECT_TRUE(written == expected) << "run " << run;
    fs::remove_all(out);
  }
  stop = true;
  busy.join();
  writer.join();
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ItemCommands, ExtractWholeNeverCreatesFoldersOutsideTheChosenOne) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  // Entries no package of ours lists, as a hostile list file could: tens of thousands, past
  // what a 16-bit count holds, every one with folders that lead elsewhere.
  const fs::path out = scratch / "a" / "out";
  fs::create_directories(out);
  SendMessageW(form.List1(), LB_RESETCONTENT, 0, 0);
  const std::vector<std::wstring> hostile = {L"..\\escaped\\x.txt", L"..\\..\\up\\y.txt",
                                             L"C:\\abs\\z.txt", L"nul\\w.txt"};
  constexpr int kEntries = 33000;
  SendMessageW(form.List1(), WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < kEntries; ++i)
    SendMessageW(
        form.List1(), LB_ADDSTRING, 0,
        reinterpret_cast<LPARAM>(hostile[static_cast<size_t>(i) % hostile.size()].c_str()));
  SendMessageW(form.List1(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"maps\\sub\\deep.txt"));
  SendMessageW(form.List1(), WM_SETREDRAW, TRUE, 0);
  dialogs.willChooseFolder(out.wstring());
  watchForm1();
  form.form2().mnu4_Click();

  EXPECT_EQ(namesIn(scratch / "a"), std::vector<std::wstring>{L"out"});
  EXPECT_EQ(namesIn(scratch.path()), (std::vector<std::wstring>{L"a", L"p.gcf"}));
  EXPECT_FALSE(fs::exists(L"C:\\abs"));
  EXPECT_EQ(filesBelow(out).size(), 1u);
  EXPECT_TRUE(fs::exists(out / "maps" / "sub" / "deep.txt"));
  ASSERT_GE(events.lines.size(), 8u);
  EXPECT_EQ(events.lines[4], L"Max " + std::to_wstring(kEntries));
  EXPECT_EQ(events.lines[events.lines.size() - 6], L"Value " + std::to_wstring(kEntries));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text.rfind(L"33000 of 33001 entries were not extracted:\n\n"
                                           L"root\\..\\escaped\\x.txt: unsafe folder name\n",
                                           0),
            0u);
}

TEST_F(ItemCommands, DefragmentRewritesThePackageAndKeepsTheList) {
  Node tree = testing_support::mixedTree(512);
  hl::write::Options scattered;
  scattered.blockSize = 512;
  scattered.placement = hl::write::Placement::Scattered;
  scattered.freeBlocks = 9;
  // Named .ncf: this command hands any package to the tool.
  const fs::path path = testing_support::makePackage(tree, scattered, scratch / "scattered.ncf");
  const auto before = readFile(path);
  open(path);
  const auto listed = listBoxEntries(form.List1());
  ASSERT_FALSE(listed.empty());
  watchForm1();
  form.form2().mnu6_Click();

  EXPECT_EQ(events.lines, (std::vector<std::wstring>{L"List1 off", L"Command1 off", L"Command2 off",
                                                     L"caption Vaultpick - Defragmenting GCF...",
                                                     L"List1 on", L"Command1 on", L"Command2 on",
                                                     L"caption Vaultpick - by Morvane"}));
  EXPECT_EQ(listBoxEntries(form.List1()), listed);
  EXPECT_FALSE(readFile(path) == before);
  hl::DefragmentResult again{};
  ASSERT_TRUE(hl::defragment(path, {}, again).ok());
  EXPECT_EQ(again, hl::DefragmentResult::AlreadyDefragmented);
  testing_support::expectReadsBack(*testing_support::openPackage(path),
                                   testing_support::expectedFiles(tree));
}

TEST_F(ItemCommands, SaveListAppendsTheExactLinesAndRemembersTheFile) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  // As the list shows them: commas, quotes and letters of the code page stay as they are.
  for (const wchar_t* entry : {L"say \"hi\", twice.txt", L"\u00fcber.txt"})
    SendMessageW(form.List1(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  const fs::path saved = scratch / "saved list";  // no extension is added
  std::string lines;
  for (const std::wstring& entry : package.entries)
    lines += std::string(entry.begin(), entry.end()) + "\r\n";
  lines +=
      "say \"hi\", twice.txt\r\n\xFC"
      "ber.txt\r\n";

  dialogs.willSaveAs(saved);
  form.form2().mnu5_Click();
  dialogs.willCancelSave();
  form.form2().mnu5_Click();
  dialogs.willSaveAs(saved);
  form.form2().mnu5_Click();

  const auto bytes = readFile(saved);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), lines + lines);
  ASSERT_EQ(dialogs.saves.size(), 3u);
  EXPECT_EQ(dialogs.saves[0].filter, L".txt|*.txt");
  EXPECT_EQ(dialogs.saves[0].fileName, L"");
  EXPECT_EQ(dialogs.saves[1].fileName, saved.wstring());
  EXPECT_EQ(dialogs.saves[2].fileName, saved.wstring());
  EXPECT_EQ(namesIn(scratch.path()), (std::vector<std::wstring>{L"p.gcf", L"saved list"}));
}

// The Info box's text for an entry, built line by line.
std::wstring infoBox(const std::wstring& packageName, const std::wstring& item, int number,
                     const std::wstring& extractable, const std::wstring& description,
                     const std::wstring& version) {
  return L"GCF File: \t\t" + packageName + L"\r\nFile: \t\t\"root\\" + item +
         L"\"\r\nNumber: \t\t" + std::to_wstring(number) + L"\r\nExtractable: \t" + extractable +
         L"\r\n\r\nDescription: \t" + description + L"\r\nFile Version: \t" + version;
}

class ItemInfo : public ItemCommands {
 protected:
  // A package whose bin\tools\engine.dll is a copy of our own program, version resource and
  // all, beside a plain text file.
  TestPackage makeInfoPackage(const fs::path& target) {
    const Node tree = Node::folder(
        "",
        {Node::file("notes.txt", Content::text("no version here")),
         Node::folder("bin",
                      {Node::folder("tools", {Node::file("engine.dll",
                                                         Content::bytes(readFile(
                                                             binFolder() / "vaultpick.exe")))})})});
    return makeTestPackage(target, tree);
  }
  std::wstring lastMessage() {
    return dialogs.messages.empty() ? L"(no box)" : dialogs.messages.back().text;
  }
};

TEST_F(ItemInfo, ShowsTheItemsVersionFromAPrivateCopyThatIsRemovedAfterwards) {
  TestPackage package = makeInfoPackage(scratch / "demo.gcf");
  // A file of the user's under the item's name stays as it was.
  writeFile(temp.path() / "engine.dll", {'m', 'i', 'n', 'e'});
  toolFiles = namesIn(temp.path());
  open(package.path);
  select(package, L"bin\\tools\\engine.dll");
  const int number = static_cast<int>(SendMessageW(form.List1(), LB_GETCURSEL, 0, 0)) + 1;
  form.form2().mnu9_Click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, infoBox(L"demo.gcf", L"bin\\tools\\engine.dll", number,
                                              L"Yes", L"Vaultpick", L"1.00.0000"));
  EXPECT_EQ(dialogs.messages[0].title, L"Information about GCF");
  EXPECT_EQ(dialogs.messages[0].style, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_TRUE(readFile(temp.path() / "engine.dll") == (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  expectTempUntouched();

  // A double-click shows the same box.
  form.List1_DblClick();
  EXPECT_EQ(lastMessage(), dialogs.messages[0].text);

  // A file without a version resource.
  select(package, L"notes.txt");
  form.form2().mnu9_Click();
  EXPECT_EQ(lastMessage(), infoBox(L"demo.gcf", L"notes.txt", number == 1 ? 2 : 1, L"Yes",
                                   L"Not available", L"Not available"));
}

TEST_F(ItemInfo, NoSelectionShowsTheBoxWithoutRunningTheTool) {
  TestPackage package = makeInfoPackage(scratch / "demo.gcf");
  open(package.path);
  // From here the tool is a stand-in that only notes each of its runs.
  fs::copy_file(binFolder() / "vaultpick_test_app.exe", temp.path() / "HLExtract.exe",
                fs::copy_options::overwrite_existing);
  const fs::path runs = temp.path() / "tool runs.txt";
  form.form2().mnu9_Click();
  EXPECT_EQ(lastMessage(),
            infoBox(L"demo.gcf", L"", 0, L"Yes", L"Not available", L"Not available"));
  EXPECT_FALSE(fs::exists(runs));
  expectTempUntouched();
  // With an entry selected it runs.
  select(0);
  form.form2().mnu9_Click();
  EXPECT_TRUE(fs::exists(runs));
}

TEST_F(ItemInfo, NamesAndExtractableFollowThePackagePathExactly) {
  TestPackage package = makeInfoPackage(scratch / "demo.gcf");
  for (const char* name : {"upper.GCF", "mixed.Ncf", "lower.ncf"})
    fs::copy_file(package.path, scratch / name);
  struct Case {
    std::wstring path, name, extractable;
  };
  // A package path without any backslash, relative to the current folder.
  const fs::path previous = fs::current_path();
  fs::current_path(scratch.path());
  for (const Case& c : {Case{L"demo.gcf", L"demo.gcf", L"Yes"},
                        Case{(scratch / "upper.GCF").wstring(), L"upper.GCF", L""},
                        Case{(scratch / "mixed.Ncf").wstring(), L"mixed.Ncf", L""},
                        Case{(scratch / "lower.ncf").wstring(), L"lower.ncf", L"No"}}) {
    open(c.path);
    select(package, L"notes.txt");
    const int number = static_cast<int>(SendMessageW(form.List1(), LB_GETCURSEL, 0, 0)) + 1;
    form.form2().mnu9_Click();
    EXPECT_EQ(lastMessage(), infoBox(c.name, L"notes.txt", number, c.extractable, L"Not available",
                                     L"Not available"));
  }
  fs::current_path(previous);
}

// The folders of private copies in TEMP.
std::vector<std::wstring> copyFoldersIn(const fs::path& folder) {
  std::vector<std::wstring> names = namesIn(folder);
  names.erase(
      std::remove_if(names.begin(), names.end(),
                     [](const std::wstring& name) { return !vaultpick::runOfPrivateFolder(name); }),
      names.end());
  return names;
}

TEST_F(ItemCommands, ShellExecuteOpensAPrivateCopyThatStaysAndLocksTheWindowMeanwhile) {
  // An item named like the program's own tool must not replace it.
  const Node tree = Node::folder(
      "", {Node::folder("docs", {Node::file("HLExtract.exe", Content::text("not the tool"))})});
  TestPackage package = makeTestPackage(scratch / "p.gcf", tree);
  const auto tool = readFile(temp.path() / "HLExtract.exe");
  open(package.path);
  select(0);
  // The application that the shell starts runs for a moment.
  dialogs.willStart = vaultpick::UniqueHandle(startFromBin(L"vaultpick_test_child.exe", L"300"));
  watchForm1();
  form.form2().mnu8_Click();

  ASSERT_EQ(dialogs.shellOpens.size(), 1u);
  const ScriptedDialogs::ShellOpen& opened = dialogs.shellOpens[0];
  EXPECT_EQ(opened.verb, L"open");
  EXPECT_EQ(opened.owner, form.form2().window());
  EXPECT_EQ(opened.show, SW_SHOWNORMAL);
  EXPECT_EQ(opened.parameters, L"");
  EXPECT_EQ(opened.directory, L"");
  const fs::path copy(opened.file);
  EXPECT_EQ(copy.filename(), L"HLExtract.exe");
  EXPECT_EQ(copy.parent_path().parent_path(), temp.path());
  ASSERT_TRUE(opened.content);
  EXPECT_EQ(std::string(opened.content->begin(), opened.content->end()), "not the tool");
  EXPECT_EQ(events.lines, (std::vector<std::wstring>{L"List1 off", L"Command1 off", L"Command2 off",
                                                     L"List1 on", L"Command1 on", L"Command2 on"}));
  // The copy stays after its application has ended (it may have handed the file on), in a
  // folder named for this run.
  EXPECT_TRUE(fs::exists(copy));
  const auto run = vaultpick::runOfPrivateFolder(copy.parent_path().filename().wstring());
  ASSERT_TRUE(run);
  EXPECT_EQ(run->processId, GetCurrentProcessId());
  EXPECT_TRUE(readFile(temp.path() / "HLExtract.exe") == tool);

  // With no entry selected nothing is extracted or opened.
  select(-1);
  events.lines.clear();
  form.form2().mnu8_Click();
  EXPECT_EQ(dialogs.shellOpens.size(), 1u);
  EXPECT_TRUE(events.lines.empty());
  EXPECT_EQ(copyFoldersIn(temp.path()).size(), 1u);
}

TEST_F(ItemCommands, ShellExecuteSaysSoWhenItCannotMakeItsFolder) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  select(0);
  const fs::path missing = temp.path() / "missing";
  ScopedEnvironmentVariable otherTemp(L"TEMP", missing.wstring());
  form.form2().mnu8_Click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(
      dialogs.messages[0].text,
      L"Error. Cant make a folder for the copy in the temporary folder:\r\n" + missing.wstring());
  EXPECT_EQ(dialogs.messages[0].title, L"Vaultpick");
  EXPECT_EQ(dialogs.messages[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(dialogs.shellOpens.empty());
}

TEST_F(ItemCommands, StartRemovesTheCopyFoldersOfEndedRunsOnly) {
  ChildProcess running(startFromBin(L"vaultpick_test_child.exe", L"30000"));
  ChildProcess killed(startFromBin(L"vaultpick_test_child.exe", L"30000"));
  ASSERT_TRUE(running && killed);
  auto runOf = [](HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return vaultpick::RunIdentity{
        GetProcessId(process),
        (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
  };
  const vaultpick::RunIdentity stillGoing = runOf(running.handle()), ended = runOf(killed.handle());
  // Killed; the handle held here keeps its process known to the system all the same.
  TerminateProcess(killed.handle(), 1);
  WaitForSingleObject(killed.handle(), 5000);
  // The id of a running process, but of a run that started at another time.
  const vaultpick::RunIdentity idReused{stillGoing.processId, stillGoing.creationTime - 1};
  const vaultpick::RunIdentity gone{0xFFFFFFF0u, 1};
  auto makeCopyFolder = [&](const std::wstring& name) {
    fs::create_directories(temp.path() / name / "sub");
    writeFile(temp.path() / name / "sub" / "copy.txt", {'c'});
    return temp.path() / name;
  };
  const fs::path kept = makeCopyFolder(vaultpick::privateFolderName(stillGoing, 1));
  const fs::path notOurs = makeCopyFolder(L"vaultpick-" + std::to_wstring(ended.processId) + L"-1");
  const fs::path removed[] = {makeCopyFolder(vaultpick::privateFolderName(ended, 1)),
                              makeCopyFolder(vaultpick::privateFolderName(idReused, 2)),
                              makeCopyFolder(vaultpick::privateFolderName(gone, 3))};

  Form1 next{dialogs};
  ASSERT_TRUE(next.Load(GetModuleHandleW(nullptr), L""));
  EXPECT_TRUE(fs::exists(kept / "sub" / "copy.txt"));
  EXPECT_TRUE(fs::exists(notOurs / "sub" / "copy.txt"));
  for (const fs::path& folder : removed) EXPECT_FALSE(fs::exists(folder)) << folder.u8string();
}

}  // namespace
}  // namespace program_testing
