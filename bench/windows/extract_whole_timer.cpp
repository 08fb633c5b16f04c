// Times "Extract whole GCF" on the real windows, in this process as the tests drive them,
// against the tool's own extraction of the whole package (-e root\ into an empty folder),
// started the same way; and the earlier way, one tool run per entry through the per-item
// command line, on a smaller package (used by bench/program.sh):
//   extract_whole_timer.exe <package> <entries> <runs> <per-entry package> <per-entry entries>
//                           <scratch folder>
// (0 per-entry entries leaves the earlier way out).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "actions/form2.h"
#include "actions/item_names.h"
#include "startup/form1_handlers.h"
#include "stopwatch.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/tool_run.h"
#include "toolbridge/wait.h"
#include "ui/dialogs.h"
#include "ui/form1.h"

namespace {

namespace fs = std::filesystem;
using bench::mean;
using bench::now;

// Chooses the folder it is told; a message box is a failure of the run.
class ChosenFolder : public vaultpick::Dialogs {
 public:
  std::wstring folder;
  bool failed = false;
  std::optional<std::wstring> ShowOpen(HWND, const std::wstring&) override { return {}; }
  std::optional<std::wstring> ShowSave(HWND, const std::wstring&, const std::wstring&) override {
    return {};
  }
  std::wstring BrowseForFolder(HWND, const std::wstring&, UINT) override { return folder; }
  void MsgBox(HWND, const std::wstring&, const std::wstring&, UINT) override { failed = true; }
  vaultpick::ShellStarted StartShellExecute(HWND, const std::wstring&, const std::wstring&,
                                            const std::wstring&, const std::wstring&,
                                            int) override {
    return {};
  }
};

size_t filesBelow(const fs::path& folder) {
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    files += entry.is_regular_file() ? 1 : 0;
  return files;
}

fs::path emptyFolder(const fs::path& folder) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  return folder;
}

// Says what went wrong; the exit code of a failed run.
int fail(const char* what) {
  std::fprintf(stderr, "extract_whole_timer: %s\n", what);
  return 1;
}

// Opens the window on `package`; false when it does not list `entries` entries.
bool load(vaultpick::Form1& form, const std::wstring& package, int entries) {
  return form.Load(GetModuleHandleW(nullptr), L"\"" + package + L"\"") &&
         form.ListCount() == entries;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: extract_whole_timer <package> <entries> <runs> <per-entry package> "
                 "<per-entry entries> <scratch folder>\n");
    return 2;
  }
  const std::wstring package = argv[1], perEntryPackage = argv[4];
  const int entries = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  const int runs = std::max(1, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
  const int perEntryEntries = static_cast<int>(std::wcstol(argv[5], nullptr, 10));
  const fs::path scratch = argv[6];
  const fs::path temp = scratch / L"temp";
  fs::create_directories(temp);
  SetEnvironmentVariableW(L"TEMP", temp.c_str());

  ChosenFolder dialogs;
  std::vector<double> whole, tool;
  {
    vaultpick::Form1 form(dialogs, vaultpick::form1Handlers());
    if (!load(form, package, entries)) return fail("the package did not list every entry");
    form.Show();
    for (int run = 0; run < runs; ++run) {
      const fs::path out = emptyFolder(scratch / L"out");
      dialogs.folder = out.wstring();
      double begin = now();
      static_cast<vaultpick::Form2&>(form.form2()).mnu4_Click();
      whole.push_back(now() - begin);
      if (dialogs.failed || filesBelow(out) != static_cast<size_t>(entries))
        return fail("Extract whole GCF did not extract every entry");

      const fs::path toolOut = emptyFolder(scratch / L"tool-out");
      begin = now();
      const vaultpick::ToolRun extracted = vaultpick::runTool(
          vaultpick::extractCommand(temp.wstring(), package, toolOut.wstring(), L""));
      tool.push_back(now() - begin);
      if (!extracted.succeeded() || filesBelow(toolOut) != static_cast<size_t>(entries))
        return fail("the tool did not extract every entry");
    }
  }

  // The earlier way: the program made each entry's folders, then ran the tool for that entry.
  double perEntry = 0;
  if (perEntryEntries > 0) {
    vaultpick::Form1 form(dialogs, vaultpick::form1Handlers());
    if (!load(form, perEntryPackage, perEntryEntries))
      return fail("the package did not list every entry");
    const fs::path out = emptyFolder(scratch / L"per-entry-out");
    const double begin = now();
    for (int i = 0; i < perEntryEntries; ++i) {
      const std::wstring item = form.ListEntry(i);
      const fs::path folder = out / vaultpick::itemFolders(item);
      fs::create_directories(folder);
      if (!vaultpick::Wait(
              vaultpick::extractCommand(temp.wstring(), perEntryPackage, folder.wstring(), item)))
        return fail("the tool did not start");
    }
    perEntry = (now() - begin) / perEntryEntries;
    if (filesBelow(out) != static_cast<size_t>(perEntryEntries))
      return fail("one run per entry did not extract every entry");
  }

  std::printf("Extract whole GCF (%d entries, %d runs)           mean %8.2f s\n", entries, runs,
              mean(whole));
  std::printf("HLExtract -e root\\ of the same package              mean %8.2f s\n", mean(tool));
  std::printf("ratio %.2fx (goal <= 1.5)\n", mean(whole) / mean(tool));
  if (perEntryEntries > 0)
    std::printf("earlier way, one tool run per entry (%d entries)   mean %8.1f ms per entry\n",
                perEntryEntries, perEntry * 1000);
  return 0;
}
