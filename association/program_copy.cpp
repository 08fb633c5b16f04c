// Where the association puts the program, and the command the shell runs to open a package.
#include "association/program_copy.h"

namespace vaultpick {

std::wstring programCopyPath(const std::wstring& windowsFolder,
                             const std::wstring& executablePath) {
  const size_t folderEnd = executablePath.find_last_of(L"\\/");
  std::wstring name =
      folderEnd == std::wstring::npos ? executablePath : executablePath.substr(folderEnd + 1);
  name = name.substr(0, name.rfind(L'.'));
  if (windowsFolder.empty() || name.empty()) return {};
  return windowsFolder + L"\\" + name + L".exe";
}

std::wstring openCommand(const std::wstring& programCopy) {
  return L"\"" + programCopy + L"\" \"%1\"";
}

}  // namespace vaultpick
