// Wait: runs a command line as a hidden child process.
#include "toolbridge/tool_run.h"
#include "toolbridge/wait.h"

namespace vaultpick {

bool Wait(const std::wstring& cmdline, bool /*bShowApp*/) {
  const ToolRun run = runTool(cmdline);
  return run.started && run.ended;
}

}  // namespace vaultpick
