// vaultpick.exe as a process of its own, and its windows read from outside.
#include "program_process.h"

#include <utility>

#include "program_support.h"
#include "toolbridge/command_lines.h"

namespace program_testing {

ChildProcess::~ChildProcess() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

std::wstring ChildProcess::image() const {
  std::wstring path(32768, L'\0');
  auto length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process_.get(), 0, path.data(), &length)) return {};
  path.resize(length);
  return path;
}

std::optional<DWORD> ChildProcess::exitCode(DWORD milliseconds) const {
  DWORD code = 0;
  if (WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process_.get(), &code))
    return std::nullopt;
  return code;
}

HANDLE startFromBin(const std::wstring& program, const std::wstring& arguments,
                    const fs::path& workingFolder) {
  std::wstring line =
      vaultpick::quoteArgument((binFolder() / program).wstring()) + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &started))
    return nullptr;
  CloseHandle(started.hThread);
  return started.hProcess;
}

HWND findWindow(DWORD process, const wchar_t* windowClass) {
  for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, nullptr); window;
       window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

HWND waitForWindow(DWORD process, const wchar_t* windowClass) {
  HWND window = findWindow(process, windowClass);
  for (int i = 0; i < 300 && !window; ++i) {
    Sleep(50);
    window = findWindow(process, windowClass);
  }
  return window;
}

namespace {

// A memory bitmap of an icon's size to draw into and read back.
class Canvas {
 public:
  static constexpr int kSide = 32;
  explicit Canvas(HDC screen)
      : dc_(CreateCompatibleDC(screen)), bitmap_(CreateCompatibleBitmap(screen, kSide, kSide)) {
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

// The standard icon (MB_ICONINFORMATION or MB_ICONERROR) that the screen shows where `shown`
// is, or 0. Each candidate is drawn here on the background seen in the icon's corner (which is
// transparent in every standard icon) and compared pixel by pixel.
UINT iconOnScreen(HWND shown) {
  RECT at;
  if (!GetWindowRect(shown, &at)) return 0;
  HDC screen = GetDC(nullptr);
  Canvas seen(screen), drawn(screen);
  BitBlt(seen.dc(), 0, 0, Canvas::kSide, Canvas::kSide, screen, at.left, at.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  const COLORREF background = GetPixel(seen.dc(), 0, 0);
  const std::pair<UINT, const wchar_t*> candidates[] = {{MB_ICONINFORMATION, IDI_INFORMATION},
                                                        {MB_ICONERROR, IDI_ERROR}};
  for (const auto& [style, name] : candidates) {
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, Canvas::kSide, Canvas::kSide};
    FillRect(drawn.dc(), &all, brush);
    DeleteObject(brush);
    DrawIconEx(drawn.dc(), 0, 0, LoadIconW(nullptr, name), Canvas::kSide, Canvas::kSide, 0, nullptr,
               DI_NORMAL);
    int same = 0;
    for (int y = 0; y < Canvas::kSide; ++y)
      for (int x = 0; x < Canvas::kSide; ++x)
        same += GetPixel(seen.dc(), x, y) == GetPixel(drawn.dc(), x, y);
    if (same == Canvas::kSide * Canvas::kSide) return style;
  }
  return 0;
}

}  // namespace

MessageBoxSeen readMessageBox(HWND box) {
  MessageBoxSeen seen;
  seen.title = windowText(box);
  seen.text = windowText(GetDlgItem(box, 0xFFFF));
  HWND icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    wchar_t windowClass[16] = {};
    GetClassNameW(child, windowClass, 16);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (lstrcmpiW(windowClass, L"Button") == 0) seen.buttons.push_back(GetDlgCtrlID(child));
    // Its id differs between systems (20 on Windows, 1088 under Wine); its style does not.
    if (lstrcmpiW(windowClass, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) icon = child;
  }
  // The box may not have been painted yet when it was found.
  for (int i = 0; icon && i < 40 && !seen.icon; ++i) {
    seen.icon = iconOnScreen(icon);
    if (!seen.icon) Sleep(50);
  }
  return seen;
}

}  // namespace program_testing
