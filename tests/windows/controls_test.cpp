// The control libraries at start: written and registered where missing, loaded from the system
// folder when ours there, else from a private copy in TEMP.
#include "controls/control_libraries.h"
#include "program_support.h"
#include "startup/reg_files.h"
#include "startup/reg_my_files.h"

namespace {
using namespace program_testing;

const wchar_t* const kLibraries[] = {L"COMCTL32.OCX", L"COMDLG32.OCX"};

// The start as RegMyFiles runs it, under SystemRoot `systemRoot`, registrations recorded, not run.
struct Started {
  explicit Started(const fs::path& systemRoot) : systemRootVariable(L"SystemRoot", systemRoot) {
    alive = vaultpick::RegMyFiles_Form_Load(
        GetModuleHandleW(nullptr), form, controls, L"",
        [this](const std::wstring& line) { registrations.push_back(line); });
  }
  ScopedEnvironmentVariable systemRootVariable;
  std::vector<std::wstring> registrations;
  vaultpick::ControlLibraries controls;
  ScriptedDialogs dialogs;
  // After them: its windows go before the libraries.
  vaultpick::Form1 form{dialogs, vaultpick::form1Handlers()};
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

// Form1 came up; ProgressBar1 takes Max and Value, and its class and the dialogs are those of
// the libraries in these folders (none: the program's stand-ins, its own code as this test's).
void expectStartedWith(const Started& program, const fs::path& comctlFolder,
                       const fs::path& comdlgFolder) {
  ASSERT_TRUE(program.alive);
  const HWND bar = program.form.ProgressBar1();
  SendMessageW(bar, PBM_SETRANGE32, 0, 250);
  SendMessageW(bar, PBM_SETPOS, 170, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0) * 1000 + SendMessageW(bar, PBM_GETPOS, 0, 0),
            250170);
  wchar_t barClass[64] = {};
  GetClassNameW(bar, barClass, 64);
  EXPECT_STREQ(barClass, comctlFolder.empty() ? PROGRESS_CLASSW : L"VaultpickProgressBar");
  const auto classModule = reinterpret_cast<const void*>(GetClassLongPtrW(bar, GCLP_HMODULE));
  EXPECT_TRUE(comctlFolder.empty() ||
              fs::equivalent(moduleFile(classModule), comctlFolder / L"COMCTL32.OCX"));
  const fs::path ownCode = moduleFile(reinterpret_cast<const void*>(&moduleFile));
  for (bool save : {false, true}) {
    const fs::path dialogs =
        moduleFile(reinterpret_cast<const void*>(vaultpick::controlLibraries().fileDialog(save)));
    EXPECT_TRUE(
        fs::equivalent(dialogs, comdlgFolder.empty() ? ownCode : comdlgFolder / L"COMDLG32.OCX"));
  }
}

TEST(ControlLibraries, AreInstalledWhereMissingAndLoadedFromTheSystemFolderOnlyWhenOurs) {
  const std::vector<uint8_t> noLibrary(4096, 'x'),
      otherLibrary = readFile(binFolder() / L"HLLib.dll"),
      ours[] = {readFile(binFolder() / kLibraries[0]), readFile(binFolder() / kLibraries[1])};
  using Placed = std::optional<std::vector<uint8_t>>;  // in the system folder before the start
  const std::array<Placed, 2> cases[] = {
      {std::nullopt, std::nullopt}, {std::nullopt, otherLibrary}, {noLibrary, ours[1]}};
  for (const auto& placed : cases) {
    PrivateTemp temp;
    ScratchFolder root;
    const fs::path system32 = root.path() / L"system32";
    fs::create_directories(system32);
    fs::path loadedFrom[2];
    std::vector<std::wstring> registrations;
    for (int i = 0; i < 2; ++i) {
      if (placed[i]) writeFile(system32 / kLibraries[i], *placed[i]);
      if (!placed[i])
        registrations.push_back(L"regsvr32 /s \\windows\\system32\\" + std::wstring(kLibraries[i]));
      loadedFrom[i] = !placed[i] || *placed[i] == ours[i] ? system32 : temp.path();
    }
    {
      Started program(root.path());
      EXPECT_EQ(program.registrations, registrations);
      expectStartedWith(program, loadedFrom[0], loadedFrom[1]);
    }
    // A file of that name that is not ours stays as it was.
    for (int i = 0; i < 2; ++i)
      EXPECT_TRUE(readFile(system32 / kLibraries[i]) == (placed[i] ? *placed[i] : ours[i]));
  }

  // A system folder that cannot be written leaves them to a private copy in TEMP.
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
  expectStartedWith(Started(scratch.path() / L"a file"), {}, {});
  // RegFiles looks for a library trimmed of spaces: found, so left alone.
  EXPECT_TRUE(vaultpick::RegFiles(L"  " + scratch.path().wstring(), L"a file",
                                  [](const std::wstring& line) { ADD_FAILURE() << line; }));
  EXPECT_TRUE(readFile(scratch / "a file") == std::vector<uint8_t>{'x'});
}

}  // namespace
