// Extract whole GCF: every listed entry below a folder the user picks, the package's folders
// rebuilt there, all of them in one run of the tool.
#include <windows.h>

#include <vector>

#include "actions/extract_report.h"
#include "actions/form2.h"
#include "actions/item_names.h"
#include "resources/texts.h"
#include "toolbridge/job_run.h"
#include "ui/dialogs.h"
#include "ui/form1.h"

namespace vaultpick {

void Form2::mnu4_Click() {
  if (form1_.ListCount() == 0) return;
  if (isNcfPackage(form1_.Text2())) return;
  if (!chooseDestination()) return;

  form1_.setCaption(text::kExtractingCaption);
  lockForm1(true);
  const int count = form1_.ListCount();
  form1_.setProgressMax(count - 1);

  // The list is locked meanwhile, so its entries stay put. One run of the tool writes every
  // entry into its folders below the chosen folder, making each entry's folders as it reaches
  // that entry: a window closed mid-way leaves none for the entries not reached.
  std::vector<ExtractionJob> jobs;
  jobs.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::wstring item = form1_.ListEntry(i);
    jobs.push_back({itemFolders(item), std::move(item)});
  }
  std::vector<EntryFailure> failures;  // in list order, as the tool answers
  runExtractionJobs(form1_.Text2(), DestDir_, jobs, [&](size_t job, const std::wstring* reason) {
    if (reason) failures.push_back({jobs[job].item, *reason});
    form1_.setProgressValue(static_cast<int>(job));
  });
  // Closing the window ends the command here; the tool has stopped between two items.
  if (!form1_.alive()) return;
  form1_.setProgressValue(0);
  lockForm1(false);
  DestDir_.clear();
  form1_.setCaption(text::kForm1Caption);
  if (failures.empty()) return;
  commonDialog1_.MsgBox(form1_.window(), notExtractedText(static_cast<size_t>(count), failures),
                        text::kApplicationTitle, MB_ICONERROR);
}

}  // namespace vaultpick
