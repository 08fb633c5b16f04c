// Opening a package: the tool lists it, the list file fills List1.
#include <windows.h>

#include "resources/texts.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/list_file.h"
#include "toolbridge/tool_run.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/list_package.h"
#include "win32/files.h"
#include "win32/handles.h"

namespace vaultpick {

namespace {

// Far beyond any real list (100,000 files make about 4 MiB); a bigger file is not ours.
constexpr LONGLONG kLargestListFile = 1LL << 30;

bool readWholeFile(const std::wstring& path, std::string& bytes) {
  UniqueHandle file(CreateFileW(win32Path(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestListFile) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read,
                  nullptr) ||
        read == 0)
      return false;
    done += read;
  }
  return true;
}

}  // namespace

void ListPackage(Form1& form) {
  // A list file left by an earlier run must never pass for this package's contents when the
  // tool writes none (it cannot start, or cannot read the package).
  DeleteFileW(win32Path(listFilePath(temporaryFolder())).c_str());
  const ToolRun run = runTool(listCommand(temporaryFolder(), form.Text2()));
  // The window may have been closed while the tool ran; then there is nothing to fill.
  if (!form.alive()) return;
  // A package the tool could not list leaves the list empty and says why.
  if (!run.succeeded()) {
    reportToolFailure(form.commonDialog1(), form.window(), text::kPackageNotOpened, run);
    return;
  }
  ListGCFs(form, listFilePath(temporaryFolder()));
}

bool ListGCFs(Form1& form, const std::wstring& ListPath) {
  std::string bytes;
  if (!readWholeFile(ListPath, bytes)) return false;
  // The tool writes the package's single-byte names as they are: the system's code page.
  std::wstring text = fromAnsiCodePage(bytes.data(), bytes.size());
  bytes.clear();
  bytes.shrink_to_fit();
  ListEntries list = splitListText(text);

  HWND list1 = form.List1();
  // Many thousands of entries: reserve the storage once, draw once at the end, and hand each
  // entry straight to the list's own procedure (this thread's window; under Wine that saves a
  // sixth of the time that 100,000 sent messages take).
  SendMessageW(list1, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list1, LB_INITSTORAGE, list.entries.size(),
               static_cast<LPARAM>(list.characters * sizeof(wchar_t)));
  auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list1, GWLP_WNDPROC));
  for (const wchar_t* entry : list.entries)
    CallWindowProcW(procedure, list1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  SendMessageW(list1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list1, nullptr, TRUE);

  DeleteFileW(win32Path(listFilePath(temporaryFolder())).c_str());
  return true;
}

}  // namespace vaultpick
