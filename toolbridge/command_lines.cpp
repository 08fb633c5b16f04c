// The package tool's command lines.
#include "toolbridge/command_lines.h"

namespace vaultpick {

std::wstring quoteArgument(const std::wstring& word) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      // Each backslash before a quote is doubled, and one more escapes the quote itself.
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Backslashes before the closing quote are doubled, or the last one would escape it.
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring toolPath(const std::wstring& temporaryFolder) {
  return temporaryFolder + L"\\hlextract.exe";
}

std::wstring listFilePath(const std::wstring& temporaryFolder) {
  return temporaryFolder + L"\\tmp.txt";
}

std::wstring listCommand(const std::wstring& temporaryFolder, const std::wstring& package) {
  return quoteArgument(toolPath(temporaryFolder)) + L" -p " + quoteArgument(package) + L" -lf " +
         quoteArgument(listFilePath(temporaryFolder));
}

std::wstring toolItemPath(const std::wstring& item) { return L"root\\" + item; }

std::wstring extractCommand(const std::wstring& temporaryFolder, const std::wstring& package,
                            const std::wstring& folder, const std::wstring& item) {
  return quoteArgument(toolPath(temporaryFolder)) + L" -p " + quoteArgument(package) + L" -d " +
         quoteArgument(folder) + L" -e " + quoteArgument(toolItemPath(item));
}

std::wstring jobsCommand(const std::wstring& temporaryFolder, const std::wstring& package,
                         const std::wstring& jobFile) {
  return quoteArgument(toolPath(temporaryFolder)) + L" -p " + quoteArgument(package) + L" --jobs " +
         quoteArgument(jobFile);
}

std::wstring defragmentCommand(const std::wstring& temporaryFolder, const std::wstring& package) {
  return quoteArgument(toolPath(temporaryFolder)) + L" -p " + quoteArgument(package) + L" -f ";
}

}  // namespace vaultpick
