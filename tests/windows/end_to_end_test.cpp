// vaultpick.exe as a process of its own, and the item menu as mouse and keyboard reach it.
#include <sstream>

#include "program_support.h"
#include "resources/resource_ids.h"
#include "ui/item_menu.h"
#include "vaultpick_version.h"

namespace {
using namespace program_testing;

using vaultpick::Form1;

// The child's visible window of the class, waited for up to 15 s; nullptr when none showed.
HWND waitForWindow(const ChildProcess& child, const wchar_t* windowClass) {
  for (int i = 0; i < 300; Sleep(50), ++i)
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, windowClass, nullptr));) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == GetProcessId(child.process.get()) && IsWindowVisible(window)) return window;
    }
  return nullptr;
}

TEST(EndToEnd, TheProgramListsThePackageOnItsCommandLineReportsAFailedOpenAndEndsWhenClosed) {
  PrivateTemp temp;  // the child inherits this TEMP
  ScratchFolder scratch;
  const fs::path deep = deepFolder(scratch.path());  // a package path past 260 characters
  fs::create_directories(deep);
  TestPackage package = makeTestPackage(deep / "end to end.gcf", smallTree(8192));
  ChildProcess program(L"vaultpick.exe", L"\"" + package.path.wstring() + L"\"");
  HWND form = waitForWindow(program, L"VaultpickForm1");
  ASSERT_NE(form, nullptr) << "Form1 never showed";
  EXPECT_EQ(windowText(form), L"Vaultpick - by Morvane");
  EXPECT_EQ(windowText(GetDlgItem(form, Form1::kIdText2)), package.path.wstring());
  HWND list = GetDlgItem(form, Form1::kIdList1);
  EXPECT_EQ(listBoxEntries(list), package.entries);
  // Shell Execute File (the fourth command down) on a damaged entry: the box is the program's own.
  SendMessageW(list, LB_SETCURSEL, package.index(L"partial.bin"), 0);
  PostMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
  HWND menu = waitForWindow(program, L"#32768");
  for (WORD key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN})
    PostMessageW(menu, WM_KEYDOWN, key, 1);
  HWND box = waitForWindow(program, L"#32770");
  EXPECT_TRUE(box && GetWindow(box, GW_OWNER) == form && windowText(box) == L"Vaultpick");
  const std::wstring text = windowText(GetDlgItem(box, 0xFFFF));  // a box's text has this id
  EXPECT_EQ(text.rfind(L"The file was not opened.\n\nroot\\partial.bin: ", 0), 0u)
      << fs::path(text).u8string();
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.exitCode(10000), 0u);
}

// Both executables run as programs of Windows Vista to 11 (the five IDs) that take long paths and
// need no elevation; the program also asks for common controls 6 and DPI awareness.
TEST(EndToEnd, EachExecutableCarriesItsManifestOfThisVersion) {
  const std::string shared = "version=\"" VAULTPICK_VERSION_TEXT R"(.0"
level="asInvoker"
SMI/2016/WindowsSettings">true</longPathAware>
{e2011457-1546-43c5-a5fe-008deee3d3f0}
{35138b9a-5d96-4fbd-8e2d-a2440225f93a}
{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}
{1f676c76-80e1-4239-95bb-83d0f6d0da78}
{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a})";
  const std::string programOnly = R"(Common-Controls" version="6.0.0.0"
SMI/2005/WindowsSettings">true</dpiAware>)";
  for (const std::wstring name : {L"vaultpick.exe", L"HLExtract.exe"}) {
    HMODULE image = LoadLibraryExW((binFolder() / name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = image ? FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
    ASSERT_NE(found, nullptr) << fs::path(name);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                               SizeofResource(image, found));
    FreeLibrary(image);
    std::istringstream entries(shared + "\n" + programOnly);
    for (std::string entry; std::getline(entries, entry);) {
      const bool wanted = name == L"vaultpick.exe" || shared.find(entry) != std::string::npos;
      EXPECT_EQ(manifest.find(entry) != std::string::npos, wanted)
          << fs::path(name) << ": " << entry;
    }
  }
}

// Watches the menus that Form1 pops up: which opened, with which default item and where, then
// answers with the keys given (Escape unless told otherwise).
struct PopupWatch {
  explicit PopupWatch(HWND form) : form(form) {
    SetWindowSubclass(form, &PopupWatch::procedure, 0, reinterpret_cast<DWORD_PTR>(this));
  }
  ~PopupWatch() { RemoveWindowSubclass(form, &PopupWatch::procedure, 0); }
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR self) {
    auto* watch = reinterpret_cast<PopupWatch*>(self);
    if (message == WM_INITMENUPOPUP) {
      watch->opened = reinterpret_cast<HMENU>(wParam);
      watch->defaultItem = GetMenuDefaultItem(watch->opened, FALSE, 0);
      watch->answered = false, ++watch->popups;
    }
    // Once the menu waits for input, its window gets the keys, whichever has the keyboard.
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !watch->answered) {
      watch->answered = true;
      const auto menu = reinterpret_cast<HWND>(lParam);
      GetWindowRect(menu, &watch->place);
      for (WORD key : watch->answer) {
        PostMessageW(menu, WM_KEYDOWN, key, 1);
        PostMessageW(menu, WM_KEYUP, key, 0xC0000001);
      }
    }
    return DefSubclassProc(window, message, wParam, lParam);
  }
  HWND form;
  std::vector<WORD> answer = {VK_ESCAPE};
  HMENU opened = nullptr;
  UINT defaultItem = 0;
  int popups = 0;
  RECT place{};  // the last menu's window, on the screen
  bool answered = false;
};

class ItemMenu : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form.Show();
    open(package.path);
    watch.emplace(form.window());
    SetForegroundWindow(form.window());
  }
  // A point of List1 over the entry at `index` (past the last entry: below them).
  LPARAM overEntry(int index) const {
    const int height = static_cast<int>(SendMessageW(form.List1(), LB_GETITEMHEIGHT, 0, 0));
    return MAKELPARAM(12, height * index + height / 2);
  }
  void click(UINT down, UINT up, LPARAM at) {
    SendMessageW(form.List1(), down, 0, at);
    SendMessageW(form.List1(), up, 0, at);
  }
  // A key as the keyboard gives it, through the program's message handling; Shift held if asked.
  void press(WORD key, bool shift = false) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    SetFocus(form.List1());
    PostMessageW(form.List1(), WM_KEYDOWN, key, 1);
    PostMessageW(form.List1(), WM_KEYUP, key, 0xC0000001);
    settle();
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
  }
  // The Info box shown last, the `boxes`th, is about the entry at `index`.
  void expectInfoAbout(int index, size_t boxes) {
    ASSERT_TRUE(
        pumpUntil([&] { return dialogs.messages.size() == boxes; }, std::chrono::seconds(10)));
    EXPECT_NE(lastMessage().find(L"\"root\\" + package.entries[index] + L"\"\r\nNumber: \t\t" +
                                 std::to_wstring(index + 1) + L"\r\n"),
              std::wstring::npos);
  }

  TestPackage package = makeTestPackage(scratch / "menu.gcf");
  std::optional<PopupWatch> watch;  // made once Form1 has its window
};

TEST_F(ItemMenu, KeysOpenTheMenuAtTheEntryAndARightClickSelectsTheEntryUnderThePointer) {
  select(3);
  RECT entry{};
  SendMessageW(form.List1(), LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&entry));
  MapWindowPoints(form.List1(), nullptr, reinterpret_cast<POINT*>(&entry), 2);
  // Shift+F10, then the context-menu key, which the list hears as a keyboard WM_CONTEXTMENU.
  for (int i = 0; i < 2; ++i) {
    i == 0 ? press(VK_F10, true)
           : (void)SendMessageW(form.List1(), WM_CONTEXTMENU,
                                reinterpret_cast<WPARAM>(form.List1()), -1);
    EXPECT_EQ(watch->popups, i + 1) << i;  // the key's release opens no second menu
    EXPECT_EQ(watch->opened, form.form2().itemMenu());
    EXPECT_EQ(watch->defaultItem, static_cast<UINT>(IDM_MNU9)) << i;
    EXPECT_NEAR(watch->place.top, entry.bottom, 2) << i;  // just below the selected entry
    EXPECT_GE(watch->place.left, entry.left) << i;
  }
  EXPECT_TRUE(dialogs.messages.empty());
  press(VK_RETURN);
  expectInfoAbout(3, 1);

  watch->answer = {VK_DOWN, VK_RETURN};  // Info
  click(WM_RBUTTONDOWN, WM_RBUTTONUP, overEntry(5));
  expectInfoAbout(5, 2);
  // Below the last entry the menu opens and the selection stays; the middle button opens none.
  watch->answer = {VK_ESCAPE};
  click(WM_RBUTTONDOWN, WM_RBUTTONUP, overEntry(static_cast<int>(package.entries.size()) + 1));
  click(WM_MBUTTONDOWN, WM_MBUTTONUP, overEntry(0));
  EXPECT_EQ(watch->popups, 4);
  EXPECT_EQ(form.ListIndex(), 5);
  click(WM_LBUTTONDOWN, WM_LBUTTONUP, overEntry(1));
  click(WM_LBUTTONDBLCLK, WM_LBUTTONUP, overEntry(1));
  expectInfoAbout(1, 3);
  // On an empty list the menu opens all the same; Escape closes it with nothing run.
  form.Command2_Click();
  click(WM_RBUTTONDOWN, WM_RBUTTONUP, overEntry(0));
  EXPECT_EQ(watch->popups, 5);
  EXPECT_EQ(dialogs.messages.size(), 3u);
}

}  // namespace
