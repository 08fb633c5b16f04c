// Wait: runs a command line as a hidden child process.
#include <windows.h>

#include <vector>

#include "toolbridge/wait.h"
#include "ui/handles.h"
#include "ui/message_pump.h"

namespace vaultpick {

bool Wait(const std::wstring& cmdline, bool /*bShowApp*/) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::vector<wchar_t> line(cmdline.begin(), cmdline.end());
  line.push_back(L'\0');
  // The tool is a console program. Given no console at all it has none to make and hide (Wine
  // would start a console host process for it), so it starts in a fraction of the time; its
  // messages are never read anyway.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS | DETACHED_PROCESS, nullptr, nullptr, &startup,
                      &process))
    return false;
  UniqueHandle child(process.hProcess), thread(process.hThread);
  bool ending = false;
  while (WaitForSingleObject(child.get(), 10) == WAIT_TIMEOUT) {
    if (!handlePendingMessages()) {
      ending = true;
      break;
    }
  }
  thread.close();
  return child.close() && !ending;
}

}  // namespace vaultpick
