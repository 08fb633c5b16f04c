// The start-up switches -regme and -delmyregs.
#include <windows.h>

#include <optional>
#include <string>

#include "association/file_association.h"
#include "association/program_copy.h"
#include "association/registry.h"
#include "resources/texts.h"
#include "toolbridge/environment.h"
#include "ui/dialogs.h"
#include "win32/files.h"
#include "win32/handles.h"

namespace vaultpick {

namespace {

constexpr wchar_t kFileClass[] = L"gcffile";

// What tells two paths of one file apart from two files: the volume and the file's index on it.
std::optional<BY_HANDLE_FILE_INFORMATION> fileIdentity(const std::wstring& path) {
  // No access asked for, so a running program's locked executable opens too.
  UniqueHandle file(CreateFileW(win32Path(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION identity{};
  if (!file || !GetFileInformationByHandle(file.get(), &identity)) return std::nullopt;
  return identity;
}

bool sameFile(const std::wstring& a, const std::wstring& b) {
  const std::optional<BY_HANDLE_FILE_INFORMATION> first = fileIdentity(a);
  const std::optional<BY_HANDLE_FILE_INFORMATION> second = fileIdentity(b);
  return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
         first->nFileIndexHigh == second->nFileIndexHigh &&
         first->nFileIndexLow == second->nFileIndexLow;
}

// Puts the running executable at `copy`. A program started as the copy itself is already
// there. Otherwise the copy is made beside the target and replaces it in one step, so a copy
// that fails half-way leaves an earlier one whole.
bool copyProgram(const std::wstring& executable, const std::wstring& copy) {
  if (sameFile(executable, copy)) return true;
  return replaceThroughSibling(copy, copy + L".new", [&](const std::wstring& partial) {
    return CopyFileW(win32Path(executable).c_str(), win32Path(partial).c_str(), FALSE) != 0;
  });
}

// Reported without an owner: the main window is not shown yet.
void report(Dialogs& dialogs, bool succeeded, const wchar_t* success) {
  if (succeeded)
    dialogs.MsgBox(nullptr, success, text::kApplicationTitle, MB_ICONINFORMATION);
  else
    dialogs.MsgBox(nullptr, text::kCantWriteRegistry, text::kApplicationTitle, MB_ICONERROR);
}

}  // namespace

void RegMeAsStandard(Dialogs& dialogs) {
  // Copied from where the program really is, so -regme works from any working folder.
  const std::wstring executable = ownExecutablePath();
  const std::wstring copy = programCopyPath(environmentVariable(L"windir"), executable);
  if (copy.empty() || !copyProgram(executable, copy)) {
    // Without the copy the association would start a missing or outdated program.
    dialogs.MsgBox(nullptr, text::kCantCopyProgram, text::kApplicationTitle, MB_ICONERROR);
    return;
  }
  const bool written =
      RegWrite(L"HKEY_CLASSES_ROOT\\.gcf\\", kFileClass, L"REG_SZ") &&
      RegWrite(L"HKEY_CLASSES_ROOT\\.ncf\\", kFileClass, L"REG_SZ") &&
      RegWrite(L"HKEY_CLASSES_ROOT\\gcffile\\shell\\Open with Vaultpick\\command\\",
               openCommand(copy), L"REG_SZ");
  report(dialogs, written, text::kAssociationRegistered);
}

void DelMyRegsStandard(Dialogs& dialogs) {
  const bool removed =
      RegDelete(L"HKCR\\.gcf\\") && RegDelete(L"HKCR\\.ncf\\") && RegDelete(L"HKCR\\gcffile\\");
  report(dialogs, removed, text::kAssociationRemoved);
}

}  // namespace vaultpick
