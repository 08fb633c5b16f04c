// Save List: the list's entries appended to a text file the user names, one per line.
#include <windows.h>

#include <optional>

#include "actions/form2.h"
#include "resources/texts.h"
#include "toolbridge/environment.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "win32/files.h"
#include "win32/handles.h"

namespace vaultpick {

namespace {

// Appends the bytes at the file's end, creating it when missing. Lines written before a
// failure stay.
bool appendToFile(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(win32Path(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    constexpr size_t kSlice = 1 << 20;
    const DWORD slice = static_cast<DWORD>(std::min(bytes.size() - done, kSlice));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data() + done, slice, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return file.close();
}

}  // namespace

void Form2::mnu5_Click() {
  if (form1_.ListCount() == 0) return;
  const std::optional<std::wstring> chosen =
      commonDialog1_.ShowSave(window_, text::kListFilter, saveFileName_);
  if (!chosen) return;
  saveFileName_ = *chosen;
  // The entries as the list holds them now, after the dialog.
  std::wstring lines;
  const int count = form1_.ListCount();
  for (int i = 0; i < count; ++i) lines += form1_.ListEntry(i) + L"\r\n";
  appendToFile(*chosen, toAnsiCodePage(lines));
}

}  // namespace vaultpick
