// Extract whole GCF: every listed entry below a folder the user picks, the package's folders
// rebuilt there, one tool run per entry.
#include <windows.h>

#include <string_view>

#include "actions/item_names.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/wait.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/texts.h"

namespace vaultpick {

namespace {

// Creates the item's folders one by one below the destination. False when one of them exists
// as something other than a plain folder (a file, or a link that could lead elsewhere).
bool createFolders(const std::wstring& destination, const std::wstring& folderPart) {
  std::wstring folder = destination;
  std::wstring_view rest(folderPart);
  while (!rest.empty()) {
    const size_t end = rest.find(L'\\');
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    folder.append(rest.substr(0, end));
    rest.remove_prefix(end + 1);
    if (CreateDirectoryW(folder.c_str(), nullptr)) continue;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
      return false;
  }
  return true;
}

}  // namespace

void Form2::mnu4_Click() {
  if (form1_.ListCount() == 0) return;
  if (isNcfPackage(form1_.Text2())) return;
  if (!chooseDestination()) return;

  form1_.setCaption(text::kExtractingCaption);
  lockForm1(true);
  const int count = form1_.ListCount();
  form1_.setProgressMax(count - 1);
  // The list is locked meanwhile, so its entries stay put; closing the window ends the loop.
  for (int i = 0; i < count && form1_.alive(); ++i) {
    const std::wstring item = form1_.ListEntry(i);
    // An entry whose folders could lead outside the chosen folder is skipped (the tool would
    // refuse it too); the others get their folders, then the tool writes the file into them.
    const std::optional<ItemDestination> destination = itemDestination(DestDir_, item);
    if (destination && createFolders(DestDir_, destination->folderPart))
      Wait(extractCommand(temporaryFolder(), form1_.Text2(), destination->folder, item), true);
    form1_.setProgressValue(i);
  }
  form1_.setProgressValue(0);
  lockForm1(false);
  DestDir_.clear();
  form1_.setCaption(text::kForm1Caption);
}

}  // namespace vaultpick
