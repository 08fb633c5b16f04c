// Form1, the main window.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "controls/control_libraries.h"
#include "resources/resource_ids.h"
#include "resources/texts.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"
#include "ui/item_menu.h"
#include "ui/list_package.h"

namespace vaultpick {

namespace {

constexpr wchar_t kWindowClass[] = L"VaultpickForm1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// A tool window with a narrow title bar, still with a button on the task bar.
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;

int toPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

int systemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

bool registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_VAULTPICK), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_VAULTPICK), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Shift and Ctrl as a mouse message gives them: 1 and 2.
int shiftOf(WPARAM mouseKeys) {
  int shift = 0;
  if (mouseKeys & MK_SHIFT) shift |= 1;
  if (mouseKeys & MK_CONTROL) shift |= 2;
  return shift;
}

// Shift, Ctrl and Alt as they are held now: 1, 2 and 4.
int shiftKeys() {
  int shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::vector<std::wstring> droppedFiles(HDROP drop) {
  std::vector<std::wstring> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring file(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    file.resize(DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
    files.push_back(file);
  }
  return files;
}

std::wstring windowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace

Form1::Form1(Dialogs& commonDialog1, const Form1Handlers& handlers)
    : commonDialog1_(commonDialog1), handlers_(handlers) {}

Form1::~Form1() {
  form2_.reset();
  // Destroyed from outside (tests, the program's end): no quit message, the owner decides.
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

bool Form1::Load(HINSTANCE instance, const std::wstring& commandText) {
  Form_Initialize(instance);
  if (!window_) return false;
  handlers_.Form_Load(*this, commandText);
  return alive();
}

void Form1::Form_Initialize(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!registerWindowClass(instance, &Form1::windowProcedure)) return;

  const int dpi = systemDpi();
  RECT frame{0, 0, toPixels(layout::kClientWidth, dpi), toPixels(layout::kClientHeight, dpi)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const double width = frame.right - frame.left, height = frame.bottom - frame.top;
  // Centred on the screen: each half is taken before the subtraction.
  const double left = GetSystemMetrics(SM_CXSCREEN) / 2.0 - width / 2.0;
  const double top = GetSystemMetrics(SM_CYSCREEN) / 2.0 - height / 2.0;

  window_ = CreateWindowExW(kExStyle, kWindowClass, text::kForm1Caption, kStyle,
                            static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)),
                            static_cast<int>(width), static_cast<int>(height), nullptr, nullptr,
                            instance, this);
  if (!window_) return;
  createControls(instance, dpi);
  DragAcceptFiles(window_, TRUE);
}

void Form1::createControls(HINSTANCE instance, int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  auto make = [&](DWORD exStyle, const wchar_t* windowClass, const wchar_t* caption, DWORD style,
                  const layout::Twips& at, WORD id) {
    HWND control = CreateWindowExW(
        exStyle, windowClass, caption, WS_CHILD | style, toPixels(at.left, dpi),
        toPixels(at.top, dpi), toPixels(at.width, dpi), toPixels(at.height, dpi), window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control && font_.get())
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
  };
  // Created in tab order.
  command1_ = make(0, WC_BUTTONW, text::kOpenButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                   layout::kCommand1, Form1::kIdCommand1);
  text1_ = make(WS_EX_CLIENTEDGE, WC_EDITW, L"\"", WS_TABSTOP | ES_AUTOHSCROLL, layout::kText1,
                Form1::kIdText1);
  text2_ = make(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                layout::kText2, Form1::kIdText2);
  command2_ = make(0, WC_BUTTONW, text::kClearButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                   layout::kCommand2, Form1::kIdCommand2);
  list1_ = make(WS_EX_CLIENTEDGE, WC_LISTBOXW, L"",
                WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                layout::kList1, Form1::kIdList1);
  // The list's mouse-button releases come to List1_MouseUp. A plain replaced procedure rather
  // than the common controls' subclassing, which costs a property lookup per message: under
  // Wine that made filling a list of 100,000 files twenty times slower.
  SetWindowLongPtrW(list1_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  list1Original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list1_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form1::list1Procedure)));
  progressBar1_ = make(0, controlLibraries().progressBarClass(), L"", WS_VISIBLE,
                       layout::kProgressBar1, Form1::kIdProgressBar1);
  SendMessageW(progressBar1_, PBM_SETRANGE32, 0, 100);
  SendMessageW(progressBar1_, PBM_SETPOS, 0, 0);
}

void Form1::Show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOWNORMAL);
  SetFocus(command1_);
  lastFocus_ = command1_;
  UpdateWindow(window_);
}

std::wstring Form1::Text1() const { return windowText(text1_); }
std::wstring Form1::Text2() const { return windowText(text2_); }
void Form1::setText2(const std::wstring& text) { SetWindowTextW(text2_, text.c_str()); }
void Form1::setCaption(const std::wstring& text) { SetWindowTextW(window_, text.c_str()); }

int Form1::ListCount() const {
  return list1_ ? static_cast<int>(SendMessageW(list1_, LB_GETCOUNT, 0, 0)) : 0;
}

int Form1::ListIndex() const {
  return list1_ ? static_cast<int>(SendMessageW(list1_, LB_GETCURSEL, 0, 0)) : -1;
}

std::wstring Form1::ListText() const { return ListEntry(ListIndex()); }

std::wstring Form1::ListEntry(int index) const {
  const LRESULT length = list1_ ? SendMessageW(list1_, LB_GETTEXTLEN, index, 0) : LB_ERR;
  if (length == LB_ERR) return L"";
  std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(list1_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(entry.data()));
  entry.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
  return entry;
}

void Form1::setProgressMax(int max) { SendMessageW(progressBar1_, PBM_SETRANGE32, 0, max); }
void Form1::setProgressValue(int value) { SendMessageW(progressBar1_, PBM_SETPOS, value, 0); }

ItemMenu& Form1::form2() {
  if (!form2_) form2_ = handlers_.loadForm2(*this);
  return *form2_;
}

void Form1::List1_MouseDown(int button, int /*shift*/, int x, int y) {
  if (button != 2) return;
  // From the top entry and the entries' one height rather than LB_ITEMFROMPOINT, whose answer
  // holds only 16 bits of index; a list may hold more entries.
  const int height = static_cast<int>(SendMessageW(list1_, LB_GETITEMHEIGHT, 0, 0));
  if (height <= 0 || y < 0) return;
  const int index = static_cast<int>(SendMessageW(list1_, LB_GETTOPINDEX, 0, 0)) + y / height;
  RECT entry{};
  if (index >= ListCount() ||
      SendMessageW(list1_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&entry)) == LB_ERR ||
      !PtInRect(&entry, POINT{x, y}))
    return;
  SendMessageW(list1_, LB_SETCURSEL, index, 0);
}

void Form1::List1_MouseUp(int button, int /*shift*/, int x, int y) {
  if (button == 2) popUpItemMenu(POINT{x, y});
}

void Form1::popUpItemMenu(POINT inList1) {
  ItemMenu& menuOwner = form2();
  HMENU itemMenu = menuOwner.itemMenu();
  SetMenuDefaultItem(itemMenu, GetMenuItemID(itemMenu, 0), FALSE);
  ClientToScreen(list1_, &inList1);
  // The chosen command comes back here rather than as a message, and runs on Form2.
  const UINT id = static_cast<UINT>(
      TrackPopupMenuEx(itemMenu, TPM_RETURNCMD, inList1.x, inList1.y, window_, nullptr));
  if (id != 0) menuOwner.onMenuCommand(id);
}

void Form1::List1_DblClick() { form2().mnu9_Click(); }

bool Form1::List1_KeyDown(int keyCode, int shift) {
  if (keyCode == VK_RETURN) {
    List1_DblClick();
    return true;
  }
  if (keyCode != VK_APPS && !(keyCode == VK_F10 && shift == 1)) return false;
  // Below the selected entry, kept inside the list when the entry is scrolled away; the list's
  // top corner when none is selected.
  RECT client{}, entry{};
  GetClientRect(list1_, &client);
  POINT at{client.left, client.top};
  const int index = ListIndex();
  if (index >= 0 &&
      SendMessageW(list1_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&entry)) != LB_ERR) {
    at.x = entry.left;
    at.y = std::clamp(entry.bottom, client.top, client.bottom);
  }
  popUpItemMenu(at);
  return true;
}

void Form1::Command1_Click() {
  SendMessageW(list1_, LB_RESETCONTENT, 0, 0);
  setText2(L"");
  std::optional<std::wstring> chosen = commonDialog1_.ShowOpen(window_, text::kPackageFilter);
  if (!chosen || !alive()) return;
  setText2(*chosen);
  ListPackage(*this);
}

void Form1::Command2_Click() {
  SendMessageW(list1_, LB_RESETCONTENT, 0, 0);
  setText2(L"");
}

void Form1::Form_Unload() {
  // Closing Form1 ends the program, also in the middle of a wait for the tool: the quit
  // message makes every waiting loop give up and unwind (see Wait). Form2 itself stays until
  // Form1 goes, as one of its handlers may be the one waiting.
  if (form2_) form2_->Unload();
  DestroyWindow(window_);
  PostQuitMessage(0);
}

LRESULT CALLBACK Form1::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    // The Form1 that creates the window comes with its first message.
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* creator = static_cast<Form1*>(create->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
    creator->window_ = window;
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  // No C++ exception may unwind into the system's code: a failing handler just ends.
  try {
    return form->handleMessage(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT Form1::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) lastFocus_ = GetFocus();
      break;
    case WM_SETFOCUS:
      // Back to the control that had the focus when the window was left.
      SetFocus(lastFocus_ && IsChild(window_, lastFocus_) ? lastFocus_ : command1_);
      return 0;
    case WM_DROPFILES: {
      auto* drop = reinterpret_cast<HDROP>(wParam);
      const std::vector<std::wstring> files = droppedFiles(drop);
      // Released before the listing, which handles messages while the tool runs.
      DragFinish(drop);
      handlers_.Form_DropFiles(*this, files);
      return 0;
    }
    case WM_CLOSE:
      Form_Unload();
      return 0;
    case WM_DESTROY:
      window_ = command1_ = text1_ = text2_ = command2_ = list1_ = progressBar1_ = nullptr;
      lastFocus_ = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Form1::onCommand(WORD id, WORD code) {
  if (id == Form1::kIdList1 && code == LBN_DBLCLK) List1_DblClick();
  if (code != BN_CLICKED) return;
  if (id == Form1::kIdCommand1) Command1_Click();
  if (id == Form1::kIdCommand2) Command2_Click();
}

LRESULT CALLBACK Form1::list1Procedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(list, GWLP_USERDATA));
  // No C++ exception may unwind into the system's code.
  try {
    switch (message) {
      case WM_RBUTTONDOWN:
        form->List1_MouseDown(2, shiftOf(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
      case WM_GETDLGCODE:
        // Enter comes to the list rather than to the window's default button.
        if (wParam == VK_RETURN && lParam &&
            reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN)
          return CallWindowProcW(form->list1Original_, list, message, wParam, lParam) |
                 DLGC_WANTMESSAGE;
        break;
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (form->List1_KeyDown(static_cast<int>(wParam), shiftKeys())) return 0;
        break;
      case WM_KEYUP:
      case WM_SYSKEYUP:
        // The system would open a menu of its own on these releases.
        if (wParam == VK_APPS || (wParam == VK_F10 && shiftKeys() == 1)) return 0;
        break;
      case WM_CONTEXTMENU:
        // From the keyboard (the system, accessibility tools) rather than the mouse, whose
        // release has opened the menu already.
        if (GET_X_LPARAM(lParam) != -1 || GET_Y_LPARAM(lParam) != -1) break;
        form->List1_KeyDown(VK_APPS, 0);
        return 0;
      default:
        break;
    }
  } catch (...) {
    return 0;
  }
  // The list finishes its own handling of the release first.
  const LRESULT result = CallWindowProcW(form->list1Original_, list, message, wParam, lParam);
  int button = 0;
  if (message == WM_LBUTTONUP) button = 1;
  if (message == WM_RBUTTONUP) button = 2;
  if (message == WM_MBUTTONUP) button = 4;
  if (button != 0) {
    try {
      form->List1_MouseUp(button, shiftOf(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    } catch (...) {
    }
  }
  return result;
}

}  // namespace vaultpick
