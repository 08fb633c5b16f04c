// The program's side of its two control libraries: COMCTL32.OCX gives ProgressBar1 its window
// class, COMDLG32.OCX the open and save dialogs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "controls/control_exports.h"

namespace vaultpick {

class ControlLibraries {
 public:
  ControlLibraries() = default;
  // Unregisters the progress bar's class and frees the libraries. A library whose class still
  // has windows stays loaded.
  ~ControlLibraries();
  ControlLibraries(const ControlLibraries&) = delete;
  ControlLibraries& operator=(const ControlLibraries&) = delete;

  // Loads both libraries, each from `systemFolder` when the file there is ours (it has our
  // exports), else from a private copy written to `privateFolder`; a copy there that cannot be
  // replaced (in use by another instance) is used when it is ours. A library that neither place
  // gives leaves the system's own progress bar or the dialogs built into the program in its place.
  // From then on the program's windows use this object (see controlLibraries()). Only one is
  // loaded at a time: a further load does nothing.
  void load(const std::wstring& systemFolder, const std::wstring& privateFolder);

  // Null for a library that is not loaded.
  HMODULE comctl() const { return comctl_; }
  HMODULE comdlg() const { return comdlg_; }

  // The window class to make ProgressBar1 of.
  const wchar_t* progressBarClass() const;
  // The open or save dialog to show.
  controls::FileDialogFunction fileDialog(bool save) const;
  // Shows that dialog, opening on `fileName`; the chosen file's full path, or nothing on Cancel.
  std::optional<std::wstring> showFileDialog(HWND owner, const std::wstring& filter,
                                             const std::wstring& fileName, bool save) const;

 private:
  HMODULE comctl_ = nullptr;
  HMODULE comdlg_ = nullptr;
  std::wstring progressBarClass_;
  controls::FileDialogFunction showOpen_ = nullptr;
  controls::FileDialogFunction showSave_ = nullptr;
};

// The loaded ControlLibraries, or one with nothing loaded when there is none.
const ControlLibraries& controlLibraries();

}  // namespace vaultpick
