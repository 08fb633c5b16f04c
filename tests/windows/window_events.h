// Records what handlers do to Form1's windows, in order, as short lines: "caption <text>",
// "List1 off" / "List1 on", "Max <n>", "Value <n>".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace program_testing {

class WindowEvents {
 public:
  WindowEvents() = default;
  ~WindowEvents();
  WindowEvents(const WindowEvents&) = delete;
  WindowEvents& operator=(const WindowEvents&) = delete;

  // Starts recording captions set on `window`, its enabling and disabling, and the progress
  // messages it gets; `name` starts each of its lines but the caption's.
  void watch(HWND window, const std::wstring& name);

  std::vector<std::wstring> lines;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self);
  struct Watched {
    HWND window;
    std::wstring name;
  };
  std::vector<Watched> watched_;
};

}  // namespace program_testing
