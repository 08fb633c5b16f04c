// Finding, loading and using the program's two control libraries.
#include "controls/control_libraries.h"

// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <initializer_list>
#include <vector>

#include "controls/file_dialog/file_dialog.h"
#include "win32/payload.h"

namespace vaultpick {

namespace {

const ControlLibraries* loaded = nullptr;

template <typename Function>
Function exported(HMODULE module, const char* name) {
  // Through void (*)(), which converts to any function pointer without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// folder\name when it is a library of ours: one that has every one of `exports`.
HMODULE loadOurs(const std::wstring& folder, const wchar_t* name,
                 std::initializer_list<const char*> exports) {
  const std::wstring path = folder + L"\\" + name;
  // No "bad image" box from the system for a file that is no library.
  DWORD previousMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  // The library's own imports come from the system folder only, never from beside it (TEMP).
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetThreadErrorMode(previousMode, nullptr);
  if (!module) return nullptr;
  for (const char* function : exports) {
    if (!GetProcAddress(module, function)) {
      FreeLibrary(module);
      return nullptr;
    }
  }
  return module;
}

HMODULE loadLibrary(const std::wstring& systemFolder, const std::wstring& privateFolder,
                    const wchar_t* name, std::initializer_list<const char*> exports) {
  if (HMODULE module = loadOurs(systemFolder, name, exports)) return module;
  // The system folder could not be written (a standard user) or holds another library of this
  // name: a copy of our own, beside the tool.
  if (privateFolder.empty()) return nullptr;
  Entladen(privateFolder, name);
  return loadOurs(privateFolder, name, exports);
}

}  // namespace

ControlLibraries::~ControlLibraries() {
  if (loaded == this) loaded = nullptr;
  if (comdlg_) FreeLibrary(comdlg_);
  if (comctl_ &&
      (progressBarClass_.empty() || UnregisterClassW(progressBarClass_.c_str(), comctl_)))
    FreeLibrary(comctl_);
}

void ControlLibraries::load(const std::wstring& systemFolder, const std::wstring& privateFolder) {
  if (loaded) return;
  comctl_ = loadLibrary(systemFolder, privateFolder, controls::kComctlLibrary,
                        {controls::kProgressBarClassExport});
  if (comctl_) {
    const wchar_t* registered =
        exported<controls::ProgressBarClassFunction>(comctl_, controls::kProgressBarClassExport)();
    if (registered) progressBarClass_ = registered;
  }
  comdlg_ = loadLibrary(systemFolder, privateFolder, controls::kComdlgLibrary,
                        {controls::kShowOpenExport, controls::kShowSaveExport});
  if (comdlg_) {
    showOpen_ = exported<controls::FileDialogFunction>(comdlg_, controls::kShowOpenExport);
    showSave_ = exported<controls::FileDialogFunction>(comdlg_, controls::kShowSaveExport);
  }
  loaded = this;
}

const wchar_t* ControlLibraries::progressBarClass() const {
  return progressBarClass_.empty() ? PROGRESS_CLASSW : progressBarClass_.c_str();
}

controls::FileDialogFunction ControlLibraries::fileDialog(bool save) const {
  if (comdlg_) return save ? showSave_ : showOpen_;
  return save ? &controls::showSaveFileDialog : &controls::showOpenFileDialog;
}

std::optional<std::wstring> ControlLibraries::showFileDialog(HWND owner, const std::wstring& filter,
                                                             const std::wstring& fileName,
                                                             bool save) const {
  // Room for the longest path the wide API takes.
  std::vector<wchar_t> path(32768, L'\0');
  if (fileName.size() < path.size()) fileName.copy(path.data(), fileName.size());
  if (!fileDialog(save)(owner, filter.c_str(), path.data(), static_cast<DWORD>(path.size())))
    return std::nullopt;
  return std::wstring(path.data());
}

const ControlLibraries& controlLibraries() {
  static const ControlLibraries none;
  return loaded ? *loaded : none;
}

}  // namespace vaultpick
