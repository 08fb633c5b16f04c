// What blocks on a person goes through here, so tests can script the answers: the file
// dialogs, the folder chooser, message boxes and the shell's open.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "win32/handles.h"

namespace vaultpick {

struct ToolRun;

// What the shell's open gave: its error code when it refused the request, else its instance
// value; and the process that it started, when it reports one.
struct ShellStarted {
  INT_PTR result = 0;
  UniqueHandle process;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The modal open-file dialog. `filter` is description and pattern pairs separated by "|".
  // The chosen file's full path, or nothing when the user cancels.
  virtual std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) = 0;
  // The modal save-file dialog, opening on `fileName` (empty the first time). It asks nothing
  // before an existing file is chosen and adds no extension. Nothing on Cancel.
  virtual std::optional<std::wstring> ShowSave(HWND owner, const std::wstring& filter,
                                               const std::wstring& fileName) = 0;
  // The modal folder chooser, starting at the desktop; the chosen folder's full path, or the
  // empty text on Cancel or when the choice is not a file-system folder.
  virtual std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) = 0;
  // A modal message box with an OK button; `style` holds the icon (MB_ICONINFORMATION...).
  virtual void MsgBox(HWND owner, const std::wstring& text, const std::wstring& title,
                      UINT style) = 0;
  // Hands `file` to the shell with `verb` and returns at once; the caller decides whether to
  // wait for the process that the shell started.
  virtual ShellStarted StartShellExecute(HWND owner, const std::wstring& verb,
                                         const std::wstring& file, const std::wstring& parameters,
                                         const std::wstring& directory, int show) = 0;
};

// The file dialogs of COMDLG32.OCX (controls/control_libraries.h), the system's other dialogs.
class Win32Dialogs : public Dialogs {
 public:
  std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) override;
  std::optional<std::wstring> ShowSave(HWND owner, const std::wstring& filter,
                                       const std::wstring& fileName) override;
  std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) override;
  void MsgBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT style) override;
  ShellStarted StartShellExecute(HWND owner, const std::wstring& verb, const std::wstring& file,
                                 const std::wstring& parameters, const std::wstring& directory,
                                 int show) override;
};

// The one box for a failed run of the tool: the critical icon, "Vaultpick", OK alone; `what` says
// what failed, the tool's reason follows. Nothing when the run succeeded or the program is ending.
void reportToolFailure(Dialogs& dialogs, HWND owner, const std::wstring& what, const ToolRun& run);

}  // namespace vaultpick
