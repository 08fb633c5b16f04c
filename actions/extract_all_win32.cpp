// Extract whole GCF: every listed entry below a folder the user picks, the package's folders
// rebuilt there, all of them in one run of the tool.
#include <windows.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "actions/extract_report.h"
#include "actions/form2.h"
#include "actions/item_names.h"
#include "resources/texts.h"
#include "toolbridge/job_run.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "win32/message_pump.h"

namespace vaultpick {

namespace {

// Entries prepared between two looks at the window messages, so the window stays responsive
// while tens of thousands of folders are made.
constexpr int kEntriesBetweenMessages = 16;

// Creates the item's folders one by one below the destination, skipping those that the entry
// before made already. False when one of them exists as something other than a plain folder
// (a file, or a link that could lead elsewhere).
class FolderMaker {
 public:
  explicit FolderMaker(std::wstring destination) : destination_(std::move(destination)) {}

  bool make(const std::wstring& folderPart) {
    // The folders this entry shares with the one before exist already.
    size_t shared = 0;
    for (size_t i = 0; i < folderPart.size() && i < made_.size() && folderPart[i] == made_[i]; ++i)
      if (folderPart[i] == L'\\') shared = i + 1;
    std::wstring folder = destination_;
    std::wstring_view rest(folderPart);
    size_t at = 0;
    while (!rest.empty()) {
      const size_t end = rest.find(L'\\');
      if (folder.empty() || folder.back() != L'\\') folder += L'\\';
      folder.append(rest.substr(0, end));
      rest.remove_prefix(end + 1);
      at += end + 1;
      if (at <= shared || CreateDirectoryW(folder.c_str(), nullptr)) continue;
      const DWORD attributes = GetFileAttributesW(folder.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        made_.clear();
        return false;
      }
    }
    made_ = folderPart;
    return true;
  }

 private:
  std::wstring destination_;
  std::wstring made_;
};

}  // namespace

void Form2::mnu4_Click() {
  if (form1_.ListCount() == 0) return;
  if (isNcfPackage(form1_.Text2())) return;
  if (!chooseDestination()) return;

  form1_.setCaption(text::kExtractingCaption);
  lockForm1(true);
  const int count = form1_.ListCount();
  form1_.setProgressMax(count - 1);

  // The list is locked meanwhile, so its entries stay put. An entry whose folders could lead
  // outside the chosen folder is skipped (the tool would refuse it too); the others get their
  // folders, then one run of the tool writes every file into its folder.
  std::vector<std::pair<int, EntryFailure>> failures;  // with their list index
  std::vector<ExtractionJob> jobs;
  std::vector<int> jobEntry;  // the list index of each job
  std::vector<bool> skipped(count, false);
  FolderMaker folders(DestDir_);
  bool ending = false;
  for (int i = 0; i < count && !ending; ++i) {
    std::wstring item = form1_.ListEntry(i);
    const std::optional<ItemDestination> destination = itemDestination(DestDir_, item);
    if (!destination || !folders.make(destination->folderPart)) {
      failures.push_back(
          {i, {std::move(item), destination ? text::kFolderNotCreated : text::kUnsafeFolder}});
      skipped[i] = true;
    } else {
      jobs.push_back({destination->folder, std::move(item)});
      jobEntry.push_back(i);
    }
    if (i % kEntriesBetweenMessages == 0) ending = !handlePendingMessages();
  }

  // Value steps through every entry in list order as each one is done; skipped entries are done
  // as soon as the entries before them are.
  int done = 0;
  auto finishUpTo = [&](int last) {
    for (; done <= last; ++done) form1_.setProgressValue(done);
    while (done < count && skipped[done]) form1_.setProgressValue(done++);
  };
  if (!ending) {
    finishUpTo(-1);
    if (!jobs.empty()) {
      runExtractionJobs(form1_.Text2(), jobs, [&](size_t job, const std::wstring* reason) {
        if (reason) failures.push_back({jobEntry[job], {jobs[job].item, *reason}});
        finishUpTo(jobEntry[job]);
      });
    }
  }
  // Closing the window ends the command here; the tool has stopped between two items.
  if (!form1_.alive()) return;
  form1_.setProgressValue(0);
  lockForm1(false);
  DestDir_.clear();
  form1_.setCaption(text::kForm1Caption);
  if (failures.empty()) return;
  // In list order, whichever way each was found.
  std::stable_sort(failures.begin(), failures.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<EntryFailure> inOrder;
  inOrder.reserve(failures.size());
  for (auto& failure : failures) inOrder.push_back(std::move(failure.second));
  commonDialog1_.MsgBox(form1_.window(), notExtractedText(static_cast<size_t>(count), inOrder),
                        text::kApplicationTitle, MB_ICONERROR);
}

}  // namespace vaultpick
