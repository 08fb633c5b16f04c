// The control libraries at start: written and registered where missing, loaded from the system
// folder when ours there, else from a private copy in TEMP; Form1's progress bar and the file
// dialogs are theirs.
#include "controls/control_libraries.h"

#include <gtest/gtest.h>
#include <windows.h>
// These need the types of windows.h.
#include <commctrl.h>

#include "program_support.h"
#include "startup/reg_files.h"
#include "startup/reg_my_files.h"
#include "ui/form1.h"

namespace program_testing {
namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

const wchar_t* const kLibraries[] = {L"COMCTL32.OCX", L"COMDLG32.OCX"};

// The program's start as RegMyFiles runs it, with SystemRoot set to `systemRoot` and the
// registrations it starts recorded, not run. Form1's windows go before the libraries.
struct Started {
  explicit Started(const fs::path& systemRoot) : systemRootVariable(L"SystemRoot", systemRoot) {
    alive = vaultpick::RegMyFiles_Form_Load(
        GetModuleHandleW(nullptr), form, controls, L"",
        [this](const std::wstring& line) { registrations.push_back(line); });
  }
  HWND progressBar() const { return GetDlgItem(form.window(), vaultpick::Form1::kIdProgressBar1); }

  ScopedEnvironmentVariable systemRootVariable;
  std::vector<std::wstring> registrations;
  vaultpick::ControlLibraries controls;
  ScriptedDialogs dialogs;
  vaultpick::Form1 form{dialogs};
  bool alive = false;
};

fs::path moduleFile(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCWSTR>(address), &module);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

// Form1 came up; ProgressBar1 takes Max and Value as Form1's handlers set them, and its class
// and the dialogs are those of the libraries in these folders (none: the program's stand-ins).
void expectStartedWith(const Started& program, const fs::path& comctlFolder,
                       const fs::path& comdlgFolder) {
  ASSERT_TRUE(program.alive);
  const HWND bar = program.progressBar();
  SendMessageW(bar, PBM_SETRANGE32, 0, 250);
  SendMessageW(bar, PBM_SETPOS, 170, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 250);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 170);

  wchar_t barClass[64] = {};
  GetClassNameW(bar, barClass, 64);
  EXPECT_STREQ(barClass, comctlFolder.empty() ? PROGRESS_CLASSW : L"VaultpickProgressBar");
  const auto classModule = reinterpret_cast<const void*>(GetClassLongPtrW(bar, GCLP_HMODULE));
  // The stand-in dialogs are the program's own code, as this test's is.
  const fs::path ownCode = moduleFile(reinterpret_cast<const void*>(&moduleFile));
  EXPECT_TRUE(comctlFolder.empty() ||
              fs::equivalent(moduleFile(classModule), comctlFolder / L"COMCTL32.OCX"));
  for (bool save : {false, true}) {
    const fs::path dialogs =
        moduleFile(reinterpret_cast<const void*>(vaultpick::controlLibraries().fileDialog(save)));
    EXPECT_TRUE(
        fs::equivalent(dialogs, comdlgFolder.empty() ? ownCode : comdlgFolder / L"COMDLG32.OCX"));
  }
}

TEST(ControlLibraries, AreInstalledWhereMissingAndTakenFromTheSystemFolderOnlyWhenOurs) {
  const std::vector<uint8_t> noLibrary(4096, 'x');
  const std::vector<uint8_t> otherLibrary = readFile(binFolder() / L"HLLib.dll");
  const std::vector<uint8_t> ours[] = {readFile(binFolder() / kLibraries[0]),
                                       readFile(binFolder() / kLibraries[1])};
  struct Case {
    std::optional<std::vector<uint8_t>> comctl, comdlg;  // in the system folder before the start
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt}, {std::nullopt, otherLibrary}, {noLibrary, ours[1]}};
  for (const Case& c : cases) {
    PrivateTemp temp;
    ScratchFolder root;
    const fs::path system32 = root.path() / L"system32";
    fs::create_directories(system32);
    const std::optional<std::vector<uint8_t>> placed[] = {c.comctl, c.comdlg};
    fs::path loadedFrom[2];
    fs::file_time_type stamps[2];
    std::vector<std::wstring> registrations;
    for (int i = 0; i < 2; ++i) {
      SCOPED_TRACE(kLibraries[i]);
      const fs::path file = system32 / kLibraries[i];
      if (placed[i]) {
        writeFile(file, *placed[i]);
        stamps[i] = fs::last_write_time(file);
      } else {
        registrations.push_back(std::wstring(L"regsvr32 /s \\windows\\system32\\") + kLibraries[i]);
      }
      loadedFrom[i] = !placed[i] || *placed[i] == ours[i] ? system32 : temp.path();
    }
    {
      Started program(root.path());
      EXPECT_EQ(program.registrations, registrations);
      expectStartedWith(program, loadedFrom[0], loadedFrom[1]);
    }
    for (int i = 0; i < 2; ++i) {
      const fs::path file = system32 / kLibraries[i];
      EXPECT_TRUE(readFile(file) == (placed[i] ? *placed[i] : ours[i])) << file;
      if (placed[i]) {
        EXPECT_EQ(fs::last_write_time(file), stamps[i]) << file;
      }
    }
  }
}

TEST(ControlLibraries, ASystemFolderThatCannotBeWrittenLeavesThemToAPrivateCopyInTemp) {
  ScratchFolder scratch;
  writeFile(scratch / "a file", {'x'});
  wchar_t missingDrive = L'Y';
  while (GetLogicalDrives() & (1u << (missingDrive - L'A'))) --missingDrive;
  for (const fs::path& root :
       {scratch.path() / L"a file", fs::path(std::wstring(1, missingDrive) + L":\\windows")}) {
    SCOPED_TRACE(root.string());
    PrivateTemp temp;
    Started program(root);
    EXPECT_TRUE(program.registrations.empty());
    expectStartedWith(program, temp.path(), temp.path());
  }
  // And with no place at all for them, the program still comes up, with its stand-ins.
  ScopedEnvironmentVariable temp(L"TEMP", scratch.path() / L"a file" / L"temp");
  Started program(scratch.path() / L"a file");
  expectStartedWith(program, {}, {});
}

TEST(ControlLibraries, RegFilesLooksForTheLibraryTrimmedOfSpaces) {
  ScratchFolder scratch;
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  writeFile(scratch / "COMCTL32.OCX", old);
  // Found, so left alone. (Not found, the write would take the spaces and fail.)
  EXPECT_TRUE(vaultpick::RegFiles(L"  " + scratch.path().wstring(), L"COMCTL32.OCX",
                                  [](const std::wstring& line) { ADD_FAILURE() << line; }));
  EXPECT_TRUE(readFile(scratch / "COMCTL32.OCX") == old);
}

}  // namespace
}  // namespace program_testing
