// The item menu's six commands on real windows, with the real tool and a private TEMP.
#include <array>

#include "actions/form2.h"
#include "actions/private_folder_name.h"
#include "program_support.h"
#include "resources/resource_ids.h"

namespace {
using namespace program_testing;

// Records what handlers do to Form1's window, List1, both buttons and ProgressBar1, in order, as
// short lines: "caption <text>", "<name> off" / "<name> on", "Max <n>", "Value <n>".
struct WindowEvents {
  ~WindowEvents() {
    for (UINT_PTR i = 0; i < watched.size(); ++i)
      if (IsWindow(watched[i])) RemoveWindowSubclass(watched[i], &procedure, i);
  }
  void watchForm1(const vaultpick::Form1& form) {
    watched = {form.window(), form.List1(), form.Command1(), form.Command2(), form.ProgressBar1()};
    for (UINT_PTR i = 0; i < watched.size(); ++i)
      SetWindowSubclass(watched[i], &procedure, i, reinterpret_cast<DWORD_PTR>(this));
  }
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self) {
    static const wchar_t* const names[] = {L"Form1", L"List1", L"Command1", L"Command2",
                                           L"ProgressBar1"};
    auto& events = *reinterpret_cast<WindowEvents*>(self);
    std::wstring line;
    if (message == WM_SETTEXT) line = L"caption " + std::wstring(reinterpret_cast<LPCWSTR>(lParam));
    if (message == WM_ENABLE) line = names[id] + std::wstring(wParam ? L" on" : L" off");
    if (message == PBM_SETRANGE32) line = L"Max " + std::to_wstring(lParam);
    if (message == PBM_SETPOS) line = L"Value " + std::to_wstring(wParam);
    if (!line.empty()) events.lines.push_back(line);
    if (!line.empty() && events.onLine) events.onLine(line);
    return DefSubclassProc(window, message, wParam, lParam);
  }
  std::array<HWND, 5> watched{};
  std::vector<std::wstring> lines;
  std::function<void(const std::wstring&)> onLine;  // told each line as it comes
};

class ItemCommands : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    toolFiles = namesIn(temp.path());
    fs::create_directory(out);
  }
  // Form1 holds its Form2 as the item menu it pops up.
  vaultpick::Form2& form2() { return static_cast<vaultpick::Form2&>(form.form2()); }
  void extractInto(const fs::path& folder, bool whole = false) {
    dialogs.will(folder.wstring());
    whole ? form2().mnu4_Click() : form2().mnu2_Click();
  }
  // What a command does to Form1's windows: locked, `during`, unlocked.
  static std::vector<std::wstring> locked(const std::vector<std::wstring>& during) {
    std::vector<std::wstring> lines = {L"List1 off", L"Command1 off", L"Command2 off"};
    lines.insert(lines.end(), during.begin(), during.end());
    for (const wchar_t* line : {L"List1 on", L"Command1 on", L"Command2 on"}) lines.push_back(line);
    return lines;
  }

  fs::path out = scratch / "out folder";
  WindowEvents events;
  std::set<std::string> toolFiles;
};

TEST_F(ItemCommands, ExtractFileWritesJustTheItemAndADriveRootWorksForBothCommands) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  open(package.path);
  select(package.index(L"maps\\sub\\deep.txt"));
  events.watchForm1(form);
  extractInto(out);
  const auto expected = expectedFiles(mixedTree(8192));
  EXPECT_EQ(filesOnDisk(out), (ExpectedFiles{{"deep.txt", expected.at("maps\\sub\\deep.txt")}}));
  ASSERT_EQ(dialogs.folders.size(), 1u);
  const ScriptedDialogs::Shown& chooser = dialogs.folders[0];
  EXPECT_EQ(chooser.title + std::to_wstring(chooser.style), L"Choose a Dir...1");
  EXPECT_EQ(chooser.owner, form2().window());
  EXPECT_EQ(form2().ChosenDir(), out.wstring());
  EXPECT_EQ(events.lines, (std::vector<std::wstring>{L"Max 1", L"Value 1", L"Value 0"}));
  // A missing destination changes nothing.
  extractInto(scratch / "missing", true);
  EXPECT_FALSE(fs::exists(scratch / "missing"));
  EXPECT_EQ(events.lines.size(), 3u);

  // The test run maps drive Q: to an empty folder; the chooser gives a root with its "\".
  const fs::path drive = L"Q:\\";
  ASSERT_TRUE(vaultpick::Form2::DirExists(drive.wstring())) << "drive Q: is not mapped";
  extractInto(drive);
  EXPECT_TRUE(fs::exists(drive / "deep.txt"));
  fs::remove(drive / "deep.txt");
  events.lines.clear();
  extractInto(drive, true);
  EXPECT_TRUE(filesOnDisk(drive) == expected);
  // The window is locked, the bar steps through the entries and all is restored afterwards.
  const size_t entries = package.entries.size();
  std::vector<std::wstring> bar = {L"Max " + std::to_wstring(entries - 1)};
  for (size_t i = 0; i <= entries; ++i) bar.push_back(L"Value " + std::to_wstring(i % entries));
  std::vector<std::wstring> lines = locked(bar);
  lines.insert(lines.begin(), L"caption Vaultpick - Extracting GCF Files...");
  lines.push_back(L"caption Vaultpick - by Morvane");
  EXPECT_EQ(events.lines, lines);
  EXPECT_EQ(form2().DestDir(), L"");
  for (const auto& entry : fs::directory_iterator(drive)) fs::remove_all(entry.path());
  // Into a folder where every item's path is over 300 characters.
  const fs::path deep = deepFolder(out);
  fs::create_directories(deep);
  extractInto(deep, true);
  for (const auto& [name, bytes] : expected)
    EXPECT_TRUE(readFile(deep / fs::u8path(name)) == bytes) << name;
}

// The tool processes that this test process started and that still run.
int runningTools() {
  vaultpick::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  int running = 0;
  for (BOOL more = Process32FirstW(snapshot.get(), &process); more;
       more = Process32NextW(snapshot.get(), &process))
    running += process.th32ParentProcessID == GetCurrentProcessId() &&
               _wcsicmp(process.szExeFile, L"hlextract.exe") == 0;
  return running;
}

TEST_F(ItemCommands, ClosingTheWindowStopsExtractWholeBetweenTwoItems) {
  const Node tree = manyFilesTree(4000, 50);
  open(makeTestPackage(scratch / "p.gcf", tree).path);
  // The user closes the window once the third entry is done.
  events.watchForm1(form);
  events.onLine = [&](const std::wstring& line) {
    if (line == L"Value 2") PostMessageW(form.window(), WM_CLOSE, 0, 0);
  };
  extractInto(out, true);
  EXPECT_FALSE(form.alive());
  EXPECT_TRUE(takeQuitMessage());
  EXPECT_EQ(runningTools(), 0);
  // What was written is whole, nothing half-written stays behind, and no folder was made for
  // an entry not reached.
  const auto written = filesOnDisk(out), expected = expectedFiles(tree);
  EXPECT_LT(written.size(), expected.size() / 2) << "the tool went on after the pipe closed";
  for (const auto& [name, bytes] : written)
    EXPECT_TRUE(expected.count(name) && bytes == expected.at(name)) << name;
  for (const auto& entry : fs::recursive_directory_iterator(out))
    EXPECT_TRUE(!entry.is_directory() || !fs::is_empty(entry.path())) << entry.path();
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ItemCommands, ExtractWritesEveryOtherEntryAndNamesTheFailedOnesInOneBox) {
  // Beside a damaged (partial.bin) and an encrypted item (locked.bin): a folder named like a
  // device, and a file whose copy at the destination may not be replaced.
  Node tree = smallTree(512);
  tree.children.push_back(Node::folder("nul", {Node::file("device.txt", Content::text("x"))}));
  tree.children.push_back(Node::file("readonly.txt", Content::text("new")));
  open(makePackage(tree, unsafeNames(), scratch / "p.gcf"));
  const std::vector<std::wstring> entries = listBoxEntries(form.List1());
  // Extract File and Shell Execute of a damaged item write nothing and give the tool's reason;
  // the shell is handed nothing.
  select(static_cast<int>(SendMessageW(form.List1(), LB_FINDSTRINGEXACT, -1,
                                       reinterpret_cast<LPARAM>(L"partial.bin"))));
  extractInto(out);
  EXPECT_TRUE(fs::is_empty(out));
  expectOneBox(dialogs, L"The file was not extracted.\n\n");
  const std::wstring reason = lastMessage().substr(29);
  dialogs.messages.clear();
  form2().mnu8_Click();
  expectOneBox(dialogs, L"The file was not opened.\n\n" + reason, false);
  EXPECT_TRUE(dialogs.shellOpens.empty() && dialogs.messages[0].owner == form.window());
  dialogs.messages.clear();
  writeFile(out / "readonly.txt", {'m', 'i', 'n', 'e'});
  SetFileAttributesW((out / "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  extractInto(out, true);
  SetFileAttributesW((out / "readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

  auto expected = expectedFiles(tree);
  for (const char* failed : {"partial.bin", "locked.bin", "nul\\device.txt"})
    expected.erase(failed);
  expected["readonly.txt"] = {'m', 'i', 'n', 'e'};
  EXPECT_TRUE(filesOnDisk(out) == expected);
  // The four, in list order, each with a reason.
  expectOneBox(dialogs,
               L"4 of " + std::to_wstring(entries.size()) + L" entries were not extracted:\n");
  size_t at = 0;
  for (const std::wstring& entry : entries) {
    if (expected.count(fs::path(entry).u8string()) && entry != L"readonly.txt") continue;
    at = lastMessage().find(L"\nroot\\" + entry + L": ", at);
    ASSERT_NE(at, std::wstring::npos) << fs::path(entry).u8string();
    EXPECT_NE(lastMessage()[at + entry.size() + 8], L'\n') << "no reason";
  }
}

TEST_F(ItemCommands, ExtractWholeNeverCreatesFoldersOutsideTheChosenOne) {
  // A folder that would lead elsewhere, as a hostile package could hold it, listed tens of
  // thousands of times: past what a 16-bit count holds.
  Node tree = mixedTree(8192);
  tree.children.push_back(
      Node::folder("..", {Node::folder("escaped", {Node::file("x.txt", Content::text("x"))})}));
  open(makePackage(tree, unsafeNames(), scratch / "p.gcf"));
  SendMessageW(form.List1(), LB_RESETCONTENT, 0, 0);
  constexpr int kEntries = 33000;
  for (int i = 0; i < kEntries; ++i) add(L"..\\escaped\\x.txt");
  add(L"maps\\sub\\deep.txt");
  events.watchForm1(form);
  extractInto(out, true);

  EXPECT_EQ(namesIn(scratch.path()), (std::set<std::string>{"out folder", "p.gcf"}));
  const auto deep = expectedFiles(mixedTree(8192));
  EXPECT_TRUE(filesOnDisk(out) ==
              (ExpectedFiles{{"maps\\sub\\deep.txt", deep.at("maps\\sub\\deep.txt")}}));
  ASSERT_GE(events.lines.size(), 8u);
  EXPECT_EQ(events.lines[4], L"Max " + std::to_wstring(kEntries));
  EXPECT_EQ(events.lines[events.lines.size() - 6], L"Value " + std::to_wstring(kEntries));
  expectOneBox(dialogs,
               L"33000 of 33001 entries were not extracted:\nrefusing the folder name "
               L"'..': it could leave the destination folder\n\nroot\\..\\escaped\\x.txt\n");
}

TEST_F(ItemCommands, DefragmentRewritesThePackageAndKeepsTheListOrChangesNothing) {
  Node tree = mixedTree(512);
  // Named .ncf: this command hands any package to the tool.
  const fs::path path =
      makePackage(tree, gcfLayout(Placement::Scattered, 512, 0, 9), scratch / "scattered.ncf");
  const auto before = readFile(path);
  open(path);
  const auto listed = listBoxEntries(form.List1());
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  form2().mnu6_Click();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(readFile(path) == before);
  expectOneBox(dialogs, L"The package was not defragmented.\n\n");
  EXPECT_EQ(windowText(form.window()), L"Vaultpick - by Morvane");
  events.watchForm1(form);
  form2().mnu6_Click();
  std::vector<std::wstring> lines = locked({L"caption Vaultpick - Defragmenting GCF..."});
  lines.push_back(L"caption Vaultpick - by Morvane");
  EXPECT_EQ(events.lines, lines);
  EXPECT_EQ(listBoxEntries(form.List1()), listed);
  EXPECT_FALSE(readFile(path) == before);
  expectReadsBack(*openPackage(path), expectedFiles(tree));
}

TEST_F(ItemCommands, EveryCommandDoesNothingOnAnEmptyListAndSaveListAppendsTheExactLines) {
  TestPackage package = makeTestPackage(scratch / "p.gcf");
  const auto before = readFile(package.path);
  form.setText2(package.path.wstring());
  events.watchForm1(form);
  for (UINT id : {IDM_MNU9, IDM_MNU2, IDM_MNU4, IDM_MNU8, IDM_MNU6, IDM_MNU5, 0})
    form2().onMenuCommand(id);
  EXPECT_TRUE(events.lines.empty());
  EXPECT_TRUE(dialogs.folders.empty() && dialogs.saves.empty() && dialogs.messages.empty() &&
              dialogs.shellOpens.empty() && readFile(package.path) == before);
  EXPECT_EQ(namesIn(temp.path()), toolFiles);

  open(package.path);
  // As the list shows them: commas, quotes and letters of the code page stay as they are.
  for (const wchar_t* entry : {L"say \"hi\", twice.txt", L"\u00fcber.txt"}) add(entry);
  const fs::path saved = scratch / "saved list";  // no extension is added
  std::string lines;
  for (const std::wstring& entry : package.entries)
    lines += std::string(entry.begin(), entry.end()) + "\r\n";
  lines += "say \"hi\", twice.txt\r\n\374ber.txt\r\n";
  for (const auto& answer : {std::optional<fs::path>(saved), {}, std::optional<fs::path>(saved)}) {
    dialogs.will(answer);
    form2().mnu5_Click();
  }
  EXPECT_EQ(readText(saved), lines + lines);
  ASSERT_EQ(dialogs.saves.size(), 3u);
  EXPECT_EQ(dialogs.saves[0].text + dialogs.saves[0].title, L".txt|*.txt");
  EXPECT_EQ(dialogs.saves[2].title, saved.wstring());
  // Nothing selected, Shell Execute does nothing; for an NCF, neither do the three that extract.
  form2().mnu8_Click();
  select(0);
  form.setText2((scratch / "p.ncf").wstring());
  for (UINT id : {IDM_MNU2, IDM_MNU4, IDM_MNU8}) form2().onMenuCommand(id);
  EXPECT_TRUE(dialogs.folders.empty() && dialogs.shellOpens.empty() && dialogs.messages.empty());
}

TEST_F(ItemCommands, InfoShowsTheVersionFromAPrivateCopyAndLeavesTheUsersFilesAlone) {
  // bin\engine.dll is a copy of our own program, version resource and all.
  const Node engineDll =
      Node::file("engine.dll", Content::bytes(readFile(binFolder() / "vaultpick.exe")));
  TestPackage package = makeTestPackage(
      scratch / "demo.gcf", Node::folder("", {Node::file("notes.txt", Content::text("plain")),
                                              Node::folder("bin", {engineDll})}));
  // A file of the user's under the item's name stays as it was.
  writeFile(temp.path() / "engine.dll", {'m', 'i', 'n', 'e'});
  toolFiles = namesIn(temp.path());
  open(package.path);
  const int engine = package.index(L"bin\\engine.dll");
  select(engine);
  form2().mnu9_Click();
  expectOneBox(dialogs,
               L"GCF File: \t\tdemo.gcf\r\nFile: \t\t\"root\\bin\\engine.dll\"\r\nNumber: \t\t" +
                   std::to_wstring(engine + 1) +
                   L"\r\nExtractable: \tYes\r\n\r\nDescription: \t"
                   L"Vaultpick\r\nFile Version: \t1.00.0000",
               false, L"Information about GCF", MB_ICONINFORMATION);
  EXPECT_EQ(readText(temp.path() / "engine.dll"), "mine");
  EXPECT_EQ(namesIn(temp.path()), toolFiles);
}

TEST_F(ItemCommands, ShellExecuteOpensAPrivateCopyThatStaysAndLocksTheWindowMeanwhile) {
  // An item named like the program's own tool must not replace it.
  const Node tree = Node::folder(
      "", {Node::folder("docs", {Node::file("HLExtract.exe", Content::text("not the tool"))})});
  open(makeTestPackage(scratch / "p.gcf", tree).path);
  const auto tool = readFile(temp.path() / "HLExtract.exe");
  select(0);
  // The application that the shell starts runs for a moment.
  dialogs.willStart = std::move(ChildProcess(L"vaultpick_test_child.exe", L"300").process);
  events.watchForm1(form);
  form2().mnu8_Click();
  ASSERT_EQ(dialogs.shellOpens.size(), 1u);
  const ScriptedDialogs::ShellOpen& opened = dialogs.shellOpens[0];
  EXPECT_EQ(opened.verb + opened.parameters + opened.directory + std::to_wstring(opened.show),
            L"open1");
  EXPECT_EQ(opened.owner, form2().window());
  const fs::path copy(opened.file);
  EXPECT_EQ(copy.filename(), L"HLExtract.exe");
  EXPECT_EQ(std::string(opened.content.begin(), opened.content.end()), "not the tool");
  EXPECT_EQ(events.lines, locked({}));
  // The copy stays once its application ended (it may have handed the file on), in a run's folder.
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_EQ(copy.parent_path().parent_path(), temp.path());
  const auto run = vaultpick::runOfPrivateFolder(copy.parent_path().filename().wstring());
  ASSERT_TRUE(run);
  EXPECT_EQ(run->processId, GetCurrentProcessId());
  EXPECT_TRUE(readFile(temp.path() / "HLExtract.exe") == tool);

  EXPECT_EQ(namesIn(temp.path()).size(), toolFiles.size() + 1);
  // A folder that cannot be made, or a TEMP without the tool, is said so; the shell gets nothing.
  select(0);
  const fs::path missing = temp.path() / "missing";
  const std::pair<fs::path, std::wstring> failures[] = {
      {missing,
       L"Error. Cant make a folder for the copy in the temporary folder:\r\n" + missing.wstring()},
      {scratch.path(), L"The file was not opened.\n\nThe extraction tool could not be started: "}};
  for (const auto& [otherTemp, box] : failures) {
    ScopedEnvironmentVariable variable(L"TEMP", otherTemp);
    form2().mnu8_Click();
    expectOneBox(dialogs, box, otherTemp == scratch.path());
    dialogs.messages.clear();
  }
  EXPECT_EQ(dialogs.shellOpens.size(), 1u);
  // Closing the window ends the wait for the application and leaves it running.
  ChildProcess application(L"vaultpick_test_child.exe", L"30000");
  dialogs.willStart = vaultpick::UniqueHandle(
      OpenProcess(SYNCHRONIZE, FALSE, GetProcessId(application.process.get())));
  dialogs.closeWhenStarted = form.window();
  form2().mnu8_Click();
  EXPECT_FALSE(form.alive());
  EXPECT_TRUE(takeQuitMessage());
  EXPECT_FALSE(application.exitCode(0));
}

TEST_F(ItemCommands, StartRemovesTheCopyFoldersOfEndedRunsOnly) {
  ChildProcess running(L"vaultpick_test_child.exe", L"30000");
  ChildProcess killed(L"vaultpick_test_child.exe", L"30000");
  ASSERT_TRUE(running.process && killed.process);
  auto runOf = [](const ChildProcess& child) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(child.process.get(), &created, &exited, &kernel, &user);
    return vaultpick::RunIdentity{GetProcessId(child.process.get()),
                                  (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime};
  };
  const vaultpick::RunIdentity stillGoing = runOf(running), ended = runOf(killed);
  // Killed; the handle held here keeps its process known to the system all the same.
  ASSERT_TRUE(TerminateProcess(killed.process.get(), 1));
  ASSERT_EQ(WaitForSingleObject(killed.process.get(), 60000), WAIT_OBJECT_0);
  auto makeCopyFolder = [&](const std::wstring& name) {
    fs::create_directories(temp.path() / name / "sub");
    writeFile(temp.path() / name / "sub" / "copy.txt", {'c'});
    return temp.path() / name;
  };
  const fs::path kept[] = {
      makeCopyFolder(vaultpick::privateFolderName(stillGoing, 1)),
      makeCopyFolder(L"vaultpick-" + std::to_wstring(ended.processId) + L"-1")};  // not ours
  const fs::path removed[] = {
      makeCopyFolder(vaultpick::privateFolderName(ended, 1)),
      // The id of a running process, but of a run that started at another time.
      makeCopyFolder(
          vaultpick::privateFolderName({stillGoing.processId, stillGoing.creationTime - 1}, 2)),
      makeCopyFolder(vaultpick::privateFolderName({0xFFFFFFF0u, 1}, 3))};
  vaultpick::Form1 next{dialogs, vaultpick::form1Handlers()};
  ASSERT_TRUE(next.Load(GetModuleHandleW(nullptr), L""));
  for (const fs::path& folder : kept) EXPECT_TRUE(fs::exists(folder / "sub" / "copy.txt"));
  for (const fs::path& folder : removed) EXPECT_FALSE(fs::exists(folder)) << folder.u8string();
}

}  // namespace
