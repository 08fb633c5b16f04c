// vaultpick.exe as a process of its own, and its windows read from outside, through window
// messages and the screen, as a person's tools would see them.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/handles.h"

namespace program_testing {

namespace fs = std::filesystem;

// A started program. One still running when this goes is ended by force, so a failing test
// leaves no process behind.
class ChildProcess {
 public:
  explicit ChildProcess(HANDLE process) : process_(process) {}
  ~ChildProcess();

  explicit operator bool() const { return static_cast<bool>(process_); }
  HANDLE handle() const { return process_.get(); }
  DWORD id() const { return GetProcessId(process_.get()); }
  // The full path of the program's executable.
  std::wstring image() const;
  // The exit code once the program has ended within `milliseconds`, else nothing.
  std::optional<DWORD> exitCode(DWORD milliseconds) const;

 private:
  vaultpick::UniqueHandle process_;
};

// A program of this build's bin folder started with `arguments` in `workingFolder` (the test's
// own when empty): its process handle, or nullptr when it could not be started.
HANDLE startFromBin(const std::wstring& program, const std::wstring& arguments,
                    const fs::path& workingFolder = {});
// vaultpick.exe so. False when it could not be started.
inline ChildProcess startProgram(const std::wstring& arguments,
                                 const fs::path& workingFolder = {}) {
  return ChildProcess(startFromBin(L"vaultpick.exe", arguments, workingFolder));
}

// A visible top-level window of `windowClass` that belongs to `process`, or nullptr.
HWND findWindow(DWORD process, const wchar_t* windowClass);
// The same, waited for up to 15 s.
HWND waitForWindow(DWORD process, const wchar_t* windowClass);
inline HWND waitForForm1(DWORD process) { return waitForWindow(process, L"VaultpickForm1"); }
inline HWND waitForMessageBox(DWORD process) { return waitForWindow(process, L"#32770"); }

// What a message box of another process shows.
struct MessageBoxSeen {
  std::wstring text, title;
  std::vector<int> buttons;  // ids of the visible buttons
  // MB_ICONINFORMATION or MB_ICONERROR when the box shows that standard icon, else 0. Icon
  // handles belong to their process (under Wine no other process can read them), so the icon
  // is told by its pixels on the screen against this process's own drawing of each icon.
  UINT icon = 0;
};
MessageBoxSeen readMessageBox(HWND box);

}  // namespace program_testing
