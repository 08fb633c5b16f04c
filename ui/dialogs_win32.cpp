// The file dialogs of COMDLG32.OCX, the system's folder chooser, message boxes and the shell's
// open.
#include <windows.h>
// These need the types of windows.h.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "controls/control_libraries.h"
#include "resources/texts.h"
#include "toolbridge/tool_run.h"
#include "ui/dialogs.h"
#include "win32/handles.h"

namespace vaultpick {

namespace {

// The path buffer of the folder chooser holds 255 characters; a longer choice counts as none.
constexpr size_t kFolderPathLimit = 255;

// COM for the span of one shell call, when this thread has not set it up already.
class ComScope {
 public:
  ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (initialised_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialised_;
};

}  // namespace

std::optional<std::wstring> Win32Dialogs::ShowOpen(HWND owner, const std::wstring& filter) {
  return controlLibraries().showFileDialog(owner, filter, L"", false);
}

std::optional<std::wstring> Win32Dialogs::ShowSave(HWND owner, const std::wstring& filter,
                                                   const std::wstring& fileName) {
  return controlLibraries().showFileDialog(owner, filter, fileName, true);
}

std::wstring Win32Dialogs::BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) {
  ComScope com;
  wchar_t path[MAX_PATH] = {};
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.lpszTitle = title.c_str();
  request.ulFlags = flags;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&request);
  if (!chosen) return L"";
  const BOOL isFolder = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  std::wstring folder = isFolder ? path : L"";
  return folder.size() < kFolderPathLimit ? folder : L"";
}

void Win32Dialogs::MsgBox(HWND owner, const std::wstring& text, const std::wstring& title,
                          UINT style) {
  MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | style);
}

ShellStarted Win32Dialogs::StartShellExecute(HWND owner, const std::wstring& verb,
                                             const std::wstring& file,
                                             const std::wstring& parameters,
                                             const std::wstring& directory, int show) {
  ComScope com;
  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof request;
  request.fMask = SEE_MASK_NOCLOSEPROCESS;
  request.hwnd = owner;
  request.lpVerb = verb.c_str();
  request.lpFile = file.c_str();
  request.lpParameters = parameters.c_str();
  request.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  request.nShow = show;
  ShellStarted started;
  started.result = ShellExecuteExW(&request) ? reinterpret_cast<INT_PTR>(request.hInstApp)
                                             : static_cast<INT_PTR>(GetLastError());
  started.process = UniqueHandle(request.hProcess);
  return started;
}

void reportToolFailure(Dialogs& dialogs, HWND owner, const std::wstring& what, const ToolRun& run) {
  if (run.succeeded() || (run.started && !run.ended)) return;
  dialogs.MsgBox(owner, what + L"\n\n" + toolFailureReason(run), text::kApplicationTitle,
                 MB_ICONERROR);
}

}  // namespace vaultpick
