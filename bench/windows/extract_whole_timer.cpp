// Times "Extract whole GCF" on the real windows, in this process as the tests drive them, per
// listed entry, against a bare process start started the way the program starts the tool, in
// the same run (used by bench/program.sh):
//   extract_whole_timer.exe <package> <entries> <bare_start.exe> <runs> <scratch folder>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "stopwatch.h"
#include "toolbridge/wait.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace {

using bench::mean;
using bench::now;

// Chooses the folder it is told; nothing else is ever asked for.
class ChosenFolder : public vaultpick::Dialogs {
 public:
  std::wstring folder;
  std::optional<std::wstring> ShowOpen(HWND, const std::wstring&) override { return {}; }
  std::optional<std::wstring> ShowSave(HWND, const std::wstring&, const std::wstring&) override {
    return {};
  }
  std::wstring BrowseForFolder(HWND, const std::wstring&, UINT) override { return folder; }
  void MsgBox(HWND, const std::wstring&, const std::wstring&, UINT) override {}
  vaultpick::ShellStarted StartShellExecute(HWND, const std::wstring&, const std::wstring&,
                                            const std::wstring&, const std::wstring&,
                                            int) override {
    return {};
  }
};

size_t filesBelow(const std::filesystem::path& folder) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    files += entry.is_regular_file() ? 1 : 0;
  return files;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: extract_whole_timer <package> <entries> <bare_start.exe> <runs> "
                 "<scratch folder>\n");
    return 2;
  }
  const std::wstring package = argv[1], bare = argv[3], scratch = argv[5];
  const int entries = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  const int runs = std::max(1, static_cast<int>(std::wcstol(argv[4], nullptr, 10)));
  const std::filesystem::path temp = std::filesystem::path(scratch) / L"temp";
  std::filesystem::create_directories(temp);
  SetEnvironmentVariableW(L"TEMP", temp.c_str());

  ChosenFolder dialogs;
  vaultpick::Form1 form(dialogs);
  if (!form.Load(GetModuleHandleW(nullptr), L"\"" + package + L"\"") ||
      form.ListCount() != entries) {
    std::fprintf(stderr, "extract_whole_timer: the package did not list %d entries\n", entries);
    return 1;
  }
  form.Show();

  std::vector<double> perEntry, bareStarts;
  for (int run = 0; run < runs; ++run) {
    const std::filesystem::path out = std::filesystem::path(scratch) / L"out";
    std::error_code ignored;
    std::filesystem::remove_all(out, ignored);
    std::filesystem::create_directories(out);
    dialogs.folder = out.wstring();
    const double begin = now();
    form.form2().mnu4_Click();
    perEntry.push_back((now() - begin) / entries);
    if (filesBelow(out) != static_cast<size_t>(entries)) {
      std::fprintf(stderr, "extract_whole_timer: run %d did not extract every entry\n", run);
      return 1;
    }
    // As many bare starts, each through the same Wait the command uses.
    for (int i = 0; i < entries / 10; ++i) {
      const double start = now();
      if (!vaultpick::Wait(L"\"" + bare + L"\"", true)) {
        std::fprintf(stderr, "extract_whole_timer: the bare program did not start\n");
        return 1;
      }
      bareStarts.push_back(now() - start);
    }
  }
  std::printf("Extract whole GCF, per entry (%d entries, %d runs)   mean %7.1f ms\n", entries, runs,
              mean(perEntry) * 1000);
  std::printf("bare process start through Wait (%zu starts)        mean %7.1f ms\n",
              bareStarts.size(), mean(bareStarts) * 1000);
  std::printf("ratio %.2fx (goal <= 1.5)\n", mean(perEntry) / mean(bareStarts));
  return 0;
}
