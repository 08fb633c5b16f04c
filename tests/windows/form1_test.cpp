// Form1 in the test's process: start-up and its command line, Open, Clear, dropped files, and
// the waits for the tool that keep the window answering.
#include "actions/version_reader.h"
#include "program_support.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/job_run.h"
#include "toolbridge/tool_run.h"
#include "toolbridge/wait.h"
#include "win32/process_start.h"

namespace {
using namespace program_testing;

using vaultpick::quoteArgument;

std::wstring sleepCommand(int milliseconds, const fs::path& doneFile) {
  return quoteArgument((binFolder() / L"vaultpick_test_child.exe").wstring()) + L" " +
         std::to_wstring(milliseconds) + L" " + quoteArgument(doneFile.wstring());
}

TEST(StartUp, WritesTheToolFilesWholeAtEveryStartAndOpensAQuotedPackagePathOnly) {
  PrivateTemp temp;
  ScratchFolder scratch;
  fs::create_directories(scratch / "\u00dcbung \u0434\u0435\u043c\u043e");
  TestPackage package = makeTestPackage(scratch / "\u00dcbung \u0434\u0435\u043c\u043e" / "p.gcf");
  const std::wstring path = package.path.wstring(), notPackage = (scratch / "notes.gcf").wstring();
  writeFile(notPackage, {'n', 'o'});
  // A longer file of the same name, and a short one, are both replaced whole.
  writeFile(temp.path() / L"HLExtract.exe", std::vector<uint8_t>(4 << 20, 'x'));
  writeFile(temp.path() / L"HLLib.dll", {'M', 'Z'});
  // The command text and Text2 after it; only the package's path lists, a non-package gives a box.
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"", L""},
      {L"  \"" + path + L"\"  ", path},
      {path, L""},  // unquoted: loses its ends
      {L"\"" + (scratch / "missing.gcf").wstring() + L"\"", L""},
      {L"\"" + scratch.path().wstring() + L"\"", L""},
      {L"\"" + notPackage + L"\"", notPackage}};
  for (const auto& [commandText, text2] : cases) {
    SCOPED_TRACE(fs::path(commandText).u8string());
    ScriptedDialogs dialogs;
    vaultpick::Form1 form(dialogs, vaultpick::form1Handlers());
    ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), commandText));
    for (const wchar_t* file : {L"HLExtract.exe", L"HLLib.dll"})
      EXPECT_TRUE(readFile(temp.path() / file) == readFile(binFolder() / file));
    EXPECT_EQ(namesIn(temp.path()).size(), 2u);
    EXPECT_EQ(form.Text2(), text2);
    EXPECT_EQ(listBoxEntries(form.List1()),
              text2 == path ? package.entries : std::vector<std::wstring>{});
    EXPECT_EQ(dialogs.messages.size(), text2 == notPackage ? 1u : 0u);
    writeFile(temp.path() / L"HLExtract.exe", {'o', 'l', 'd'});
  }
  // As while another instance's tool runs: the file cannot be replaced, and is used.
  ScriptedDialogs dialogs;
  vaultpick::Form1 form(dialogs, vaultpick::form1Handlers());
  vaultpick::UniqueHandle busy(CreateFileW((temp.path() / L"HLExtract.exe").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(busy);
  ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L""));
  EXPECT_EQ(readText(temp.path() / L"HLExtract.exe"), "old");
}

using Form1Test = FormTest;

TEST_F(Form1Test, OpenListsThePickedPackageWholeOrNothingWithTheReasonAndClearOrCancelEmptiesIt) {
  fs::create_directories(deepFolder(scratch.path()));  // a package path past 260 characters
  TestPackage first = makeTestPackage(deepFolder(scratch.path()) / "first one.gcf");
  TestPackage big = makeTestPackage(scratch / "files100k.gcf", manyFilesTree(100000, 1000));
  std::vector<uint8_t> cut = readFile(first.path);
  cut.resize(cut.size() / 2);
  writeFile(scratch / "truncated.gcf", cut);
  writeFile(scratch / "empty.gcf", {});
  // A list file left by an earlier run must never pass for a package's contents.
  auto leaveStaleList = [&] {
    writeFile(temp.listFile(), {'r', 'o', 'o', 't', '\\', 's', '\r', '\n'});
  };
  // Open picks `path`: Text2 shows it, List1 `entries`, and one box gives the reason if any.
  auto expectOpens = [&](const fs::path& path, const std::vector<std::wstring>& entries,
                         const std::optional<std::wstring>& reason = std::nullopt) {
    dialogs.messages.clear();
    dialogs.will(path);
    form.Command1_Click();
    EXPECT_EQ(form.Text2(), path.wstring());
    EXPECT_EQ(listBoxEntries(form.List1()), entries);
    EXPECT_FALSE(fs::exists(temp.listFile()));
    if (reason) expectOneBox(dialogs, L"The package could not be opened.\n\n" + *reason);
    EXPECT_EQ(dialogs.messages.size(), reason ? 1u : 0u);
  };
  leaveStaleList();
  expectOpens(first.path, first.entries);
  expectOpens(big.path, big.entries);
  dialogs.will(std::nullopt);
  form.Command1_Click();
  EXPECT_EQ(form.Text2(), L"");
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  EXPECT_EQ(dialogs.filters, std::vector<std::wstring>(3, L".gcf;.ncf|*.gcf;*.ncf"));

  expectOpens(first.path, first.entries);
  const auto tool = fs::last_write_time(temp.path() / L"HLExtract.exe");
  // Pressed like a user would: the click reaches Command2_Click through the window.
  SendMessageW(form.Command2(), BM_CLICK, 0, 0);
  EXPECT_EQ(form.Text2(), L"");
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  EXPECT_TRUE(fs::exists(first.path));
  EXPECT_EQ(fs::last_write_time(temp.path() / L"HLExtract.exe"), tool);

  leaveStaleList();
  expectOpens(scratch / "truncated.gcf", {}, L"package is truncated");
  expectOpens(scratch / "empty.gcf", {}, L"");
  fs::remove(temp.path() / "HLExtract.exe");
  expectOpens(first.path, {}, L"The extraction tool could not be started: ");
}

// Drops the files on the window, in the block that the shell's drop hands over, and lets it act.
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
  settle();
}

TEST_F(Form1Test, ADroppedPackageOpensAsIfChosenWithOpenAndAnythingElseChangesNothing) {
  TestPackage package = makeTestPackage(scratch / "dropped.GCF");
  const fs::path notes = scratch / "notes.txt";
  writeFile(notes, {'x'});
  fs::create_directory(scratch / "folder.gcf");
  // The first package among the files, past a folder and a name that is no file.
  dropFiles(form.window(), {notes, scratch / "folder.gcf", scratch / "gone.ncf", package.path});
  dropFiles(form.window(), {notes});
  EXPECT_EQ(listBoxEntries(form.List1()), package.entries);
  EXPECT_EQ(form.Text2(), package.path.wstring());
  // Nothing opens while a command has the window locked.
  form.Command2_Click();
  EnableWindow(form.Command1(), FALSE);
  dropFiles(form.window(), {package.path});
  EXPECT_TRUE(listBoxEntries(form.List1()).empty());
}

TEST_F(Form1Test, WindowsAnswerDuringALongWaitAndClosingEndsItLeavingTheChildToFinish) {
  TestPackage package = makeTestPackage(scratch / "demo.gcf");
  dialogs.will(package.path);
  // Open is pressed while the long child runs: the nested listing ends inside the wait.
  PostMessageW(form.window(), WM_COMMAND, MAKEWPARAM(vaultpick::Form1::kIdCommand1, BN_CLICKED),
               reinterpret_cast<LPARAM>(form.Command1()));
  EXPECT_TRUE(vaultpick::Wait(sleepCommand(1500, scratch / "done")));
  EXPECT_TRUE(fs::exists(scratch / "done"));  // the wait lasted to the child's end
  EXPECT_EQ(listBoxEntries(form.List1()), package.entries);

  // The close arrives while the listing waits for the tool: the dead window is not touched.
  dialogs.will(makeTestPackage(scratch / "20k.gcf", manyFilesTree(20000, 1000)).path);
  PostMessageW(form.window(), WM_CLOSE, 0, 0);
  form.Command1_Click();
  EXPECT_FALSE(form.alive());
  EXPECT_TRUE(takeQuitMessage());
  // A wait that begins as the program ends gives up long before its child ends, not killing it.
  PostQuitMessage(0);
  EXPECT_FALSE(vaultpick::Wait(sleepCommand(10000, scratch / "later")));
  EXPECT_FALSE(fs::exists(scratch / "later"));
  EXPECT_TRUE(takeQuitMessage());
  EXPECT_TRUE(pumpUntil([&] { return fs::exists(scratch / "later"); }, std::chrono::seconds(60)));
}

TEST(ToolRun, GivesTheOutcomeRetriesOnlyPassingStartFailuresAndBelievesResultsInOrder) {
  ScratchFolder scratch;
  EXPECT_FALSE(vaultpick::Wait(quoteArgument((scratch / "no such program.exe").wstring())));
  EXPECT_FALSE(vaultpick::Wait(L""));
  EXPECT_TRUE(vaultpick::Wait(sleepCommand(0, scratch / "quick")));
  EXPECT_TRUE(fs::exists(scratch / "quick"));
  const vaultpick::ToolRun run =
      vaultpick::runTool(quoteArgument((binFolder() / L"HLExtract.exe").wstring()) + L" -p " +
                         quoteArgument((scratch / "none.gcf").wstring()) + L" -l");
  EXPECT_TRUE(run.started && run.ended);
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_EQ(run.errorOutput.rfind("hlextract: ", 0), 0u) << run.errorOutput;
  EXPECT_NE(vaultpick::toolFailureReason(run).find(L"none.gcf"), std::wstring::npos);

  // What each try gives (the last one repeats), the tries made and the result.
  const std::tuple<std::vector<DWORD>, size_t, DWORD> cases[] = {
      {{ERROR_INTERNAL_ERROR, ERROR_SHARING_VIOLATION, 0}, 3, 0},
      {{ERROR_ACCESS_DENIED, 0}, 2, 0},
      {{ERROR_INTERNAL_ERROR}, 5, ERROR_INTERNAL_ERROR},
      {{ERROR_FILE_NOT_FOUND}, 1, ERROR_FILE_NOT_FOUND},
      {{ERROR_INTERNAL_ERROR, ERROR_BAD_EXE_FORMAT}, 2, ERROR_BAD_EXE_FORMAT},
  };
  for (const auto& [errors, expectedTries, expectedResult] : cases) {
    size_t tries = 0;
    EXPECT_EQ(vaultpick::startWithRetries(
                  [&, &errors = errors] { return errors[std::min(tries++, errors.size() - 1)]; }),
              expectedResult);
    EXPECT_EQ(tries, expectedTries) << errors.front();
  }
  // Results of jobs are believed in order only; a job the tool never answered for failed.
  PrivateTemp temp;
  fs::copy_file(binFolder() / L"vaultpick_test_child.exe", temp.path() / L"hlextract.exe");
  ScopedEnvironmentVariable answers(L"VAULTPICK_STAND_IN_OUTPUT", L"2\tok\n1\tok\n");
  std::vector<bool> failed;
  vaultpick::runExtractionJobs(
      L"p.gcf", L"out", {{L"a", L"x"}, {L"a", L"y"}, {L"a", L"z"}},
      [&](size_t, const std::wstring* reason) { failed.push_back(reason); });
  EXPECT_EQ(failed, (std::vector<bool>{false, true, true}));
}

TEST(SystemSeams, ShellOpenReportsTheProcessAndFilesWithoutAVersionReadEmpty) {
  ScratchFolder scratch;
  const vaultpick::ShellStarted started = vaultpick::Win32Dialogs().StartShellExecute(
      nullptr, L"open", (binFolder() / L"vaultpick_test_child.exe").wstring(),
      L"400 \"" + (scratch / "done").wstring() + L"\"", L"", SW_SHOWNORMAL);
  EXPECT_GT(started.result, 32);
  ASSERT_TRUE(started.process);
  EXPECT_EQ(WaitForSingleObject(started.process.get(), 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(fs::exists(scratch / "done"));

  // A file without a version block, or none at all, gives empty texts.
  for (const fs::path& path : {scratch / "done", scratch.path(), fs::path()})
    EXPECT_EQ(vaultpick::GetFileVersionString(path.wstring()) +
                  vaultpick::GetFileDescription(path.wstring()),
              L"");
}

}  // namespace
