// Many extractions in one run of the tool.
#include <windows.h>

#include "resources/texts.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/job_run.h"
#include "toolbridge/tool_output.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/message_pump.h"

namespace vaultpick {

namespace {

constexpr size_t kJobsBetweenMessages = 512;

// A job file of our own, created exclusively in the temporary folder and removed when done.
class JobFile {
 public:
  bool write(const std::string& bytes) {
    const std::wstring base =
        temporaryFolder() + L"\\vaultpick-jobs-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::wstring candidate = base + std::to_wstring(next_++) + L".txt";
      UniqueHandle file(CreateFileW(win32Path(candidate).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
      if (!file) {
        if (GetLastError() == ERROR_FILE_EXISTS) continue;
        return false;
      }
      path_ = candidate;
      DWORD written = 0;
      if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
          written != bytes.size())
        return false;
    }
    return !path_.empty();
  }
  ~JobFile() {
    if (!path_.empty()) DeleteFileW(win32Path(path_).c_str());
  }
  const std::wstring& path() const { return path_; }

 private:
  static inline unsigned next_ = 0;
  std::wstring path_;
};

}  // namespace

ToolRun runExtractionJobs(const std::wstring& package, const std::wstring& destination,
                          const std::vector<ExtractionJob>& jobs, const JobFinished& finished) {
  ToolRun run;
  std::string bytes;
  appendJobField(bytes, toUtf8(destination));
  for (size_t job = 0; job < jobs.size(); ++job) {
    appendJobField(bytes, toUtf8(jobs[job].folders));
    appendJobField(bytes, toUtf8(toolItemPath(jobs[job].item)));
    // Tens of thousands of jobs take a while: the window answers meanwhile.
    if (job % kJobsBetweenMessages == 0 && !handlePendingMessages()) {
      run.started = true;  // given up as the program ends, as if the tool had been started
      return run;
    }
  }
  JobFile jobFile;
  if (!jobFile.write(bytes)) {
    const std::wstring reason = text::kNoJobFile;
    for (size_t job = 0; job < jobs.size(); ++job) finished(job, &reason);
    run.started = run.ended = true;  // nothing ran; each job carries the reason
    return run;
  }
  size_t reported = 0;
  JobResultReader reader([&](const JobResult& result) {
    // The tool answers in order, one line per job; anything else is not believed.
    if (result.number != reported + 1 || reported >= jobs.size()) return;
    const std::wstring reason = fromToolText(result.reason);
    finished(reported++, result.ok ? nullptr : &reason);
  });
  run = runTool(jobsCommand(temporaryFolder(), package, jobFile.path()),
                [&](std::string_view output) { reader.feed(output); });
  if (run.started && !run.ended) return run;
  const std::wstring reason =
      run.succeeded() ? std::wstring(text::kNoResult) : toolFailureReason(run);
  while (reported < jobs.size()) finished(reported++, &reason);
  return run;
}

}  // namespace vaultpick
