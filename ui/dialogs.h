// What blocks on a person goes through here, so tests can script the answers.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vaultpick {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The modal open-file dialog. `filter` is description and pattern pairs separated by "|".
  // The chosen file's full path, or nothing when the user cancels.
  virtual std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) = 0;
};

// The system's own dialogs.
class Win32Dialogs : public Dialogs {
 public:
  std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) override;
};

}  // namespace vaultpick
