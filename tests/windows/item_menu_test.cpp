// The item menu: Form2 loaded on first use with its menu bar and pictures, and the pop-up that a
// real right-button release over the list opens, with real mouse and keyboard input.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "program_support.h"
#include "real_input.h"
#include "resources/resource_ids.h"
#include "toolbridge/list_package.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace program_testing {
namespace {

using testing_support::ScratchFolder;
using vaultpick::Form1;

std::wstring menuText(HMENU menu, UINT position) {
  wchar_t text[64] = {};
  GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return text;
}

MENUITEMINFOW menuItem(HMENU menu, UINT position) {
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS;
  GetMenuItemInfoW(menu, position, TRUE, &item);
  return item;
}

// Watches the menus that Form1 pops up: what opened, with which default item, then answers
// with the keys given (Escape unless told otherwise).
class PopupWatch {
 public:
  explicit PopupWatch(HWND form) : form_(form) {
    SetWindowSubclass(form_, &PopupWatch::procedure, 0, reinterpret_cast<DWORD_PTR>(this));
  }
  ~PopupWatch() { RemoveWindowSubclass(form_, &PopupWatch::procedure, 0); }
  PopupWatch(const PopupWatch&) = delete;
  PopupWatch& operator=(const PopupWatch&) = delete;

  std::vector<WORD> answer = {VK_ESCAPE};
  HMENU opened = nullptr;
  UINT defaultItem = 0;
  int popups = 0;
  RECT place{};  // the last menu's window, on the screen

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR self) {
    auto* watch = reinterpret_cast<PopupWatch*>(self);
    if (message == WM_INITMENUPOPUP) {
      watch->opened = reinterpret_cast<HMENU>(wParam);
      watch->defaultItem = GetMenuDefaultItem(watch->opened, FALSE, 0);
      watch->answered_ = false;
      ++watch->popups;
    }
    // Once the menu waits for input, it gets the keys.
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU && !watch->answered_) {
      watch->answered_ = true;
      GetWindowRect(reinterpret_cast<HWND>(lParam), &watch->place);
      answerMenu(reinterpret_cast<HWND>(lParam), watch->answer);
    }
    return DefSubclassProc(window, message, wParam, lParam);
  }

  HWND form_;
  bool answered_ = false;
};

class ItemMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L""));
    form.Show();
    keepOnTop(form.window());
  }
  void open(const TestPackage& package) {
    form.setText2(package.path.wstring());
    vaultpick::ListPackage(form);
  }
  void select(int index) { SendMessageW(form.List1(), LB_SETCURSEL, index, 0); }
  std::wstring infoOf(size_t box) const { return dialogs.messages.at(box).text; }

  RealInputLock input;
  PrivateTemp temp;
  ScratchFolder scratch;
  ScriptedDialogs dialogs;
  Form1 form{dialogs};
};

TEST_F(ItemMenu, Form2IsLoadedOnFirstUseWithTheMenuAndItsPictures) {
  // None of this process's own (tests side by side have theirs).
  for (HWND other = FindWindowExW(nullptr, nullptr, L"VaultpickForm2", nullptr); other;
       other = FindWindowExW(nullptr, other, L"VaultpickForm2", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(other, &owner);
    EXPECT_NE(owner, GetCurrentProcessId());
  }
  vaultpick::Form2& form2 = form.form2();
  ASSERT_NE(form2.window(), nullptr);
  EXPECT_FALSE(IsWindowVisible(form2.window()));

  HMENU bar = GetMenu(form2.window());
  ASSERT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(menuText(bar, 0), L"Rightklick");
  HMENU items = form2.itemMenu();
  ASSERT_EQ(GetMenuItemCount(items), 9);
  struct Expected {
    const wchar_t* caption;  // nullptr: a separator
    UINT id;
  };
  const Expected expected[] = {{L"Info", IDM_MNU9},
                               {nullptr, 0},
                               {L"Extract File", IDM_MNU2},
                               {L"Extract whole GCF", IDM_MNU4},
                               {nullptr, 0},
                               {L"Shell Execute File", IDM_MNU8},
                               {L"Defragment GCF", IDM_MNU6},
                               {nullptr, 0},
                               {L"Save List", IDM_MNU5}};
  std::vector<HBITMAP> pictures;
  for (UINT position = 0; position < 9; ++position) {
    const MENUITEMINFOW item = menuItem(items, position);
    EXPECT_EQ(item.hbmpChecked, item.hbmpUnchecked) << position;
    if (!expected[position].caption) {
      EXPECT_NE(item.fType & MFT_SEPARATOR, 0u) << position;
      EXPECT_EQ(item.hbmpUnchecked, nullptr) << position;
      continue;
    }
    EXPECT_EQ(menuText(items, position), expected[position].caption);
    EXPECT_EQ(item.fState & (MFS_GRAYED | MFS_CHECKED), 0u) << position;
    EXPECT_EQ(item.wID, expected[position].id) << position;
    ASSERT_NE(item.hbmpUnchecked, nullptr) << position;
    BITMAP bitmap{};
    ASSERT_TRUE(GetObjectW(item.hbmpUnchecked, sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmWidth, 16);
    EXPECT_EQ(bitmap.bmHeight, 16);
    EXPECT_EQ(bitmap.bmBitsPixel, 24);
    pictures.push_back(item.hbmpUnchecked);
  }
  // Both extraction commands show one picture; the five pictures all differ.
  ASSERT_EQ(pictures.size(), 6u);
  EXPECT_EQ(pictures[1], pictures[2]);
  EXPECT_EQ(std::set<HBITMAP>(pictures.begin(), pictures.end()).size(), 5u);
}

TEST_F(ItemMenu, ARightClickSelectsTheEntryUnderThePointerAndTheMenuActsOnIt) {
  TestPackage package = makeTestPackage(scratch / "menu.gcf");
  open(package);
  select(2);
  PopupWatch watch(form.window());
  // Down to the first item, Info, and Enter.
  watch.answer = {VK_DOWN, VK_RETURN};
  click(overEntry(form.List1(), 5), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  ASSERT_TRUE(pumpUntil([&] { return !dialogs.messages.empty(); }, std::chrono::seconds(10)))
      << "popups: " << watch.popups;
  EXPECT_EQ(watch.opened, form.form2().itemMenu());
  EXPECT_EQ(watch.defaultItem, static_cast<UINT>(IDM_MNU9));
  EXPECT_EQ(form.ListIndex(), 5);
  EXPECT_EQ(dialogs.messages[0].title, L"Information about GCF");
  EXPECT_NE(infoOf(0).find(L"\"root\\" + package.entries[5] + L"\"\r\nNumber: \t\t6\r\n"),
            std::wstring::npos)
      << fs::path(infoOf(0)).u8string();

  // Below the last entry the menu opens and the selection stays.
  watch.answer = {VK_ESCAPE};
  click(overEntry(form.List1(), static_cast<int>(package.entries.size()) + 1),
        MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  EXPECT_TRUE(pumpUntil([&] { return watch.popups == 2; }, std::chrono::seconds(10)));
  EXPECT_EQ(form.ListIndex(), 5);

  // Left and middle releases open nothing.
  click(overEntry(form.List1(), 0), MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  click(overEntry(form.List1(), 0), MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP);
  pumpUntil([] { return false; }, std::chrono::milliseconds(500));
  EXPECT_EQ(watch.popups, 2);

  // On an empty list the menu opens all the same; Escape closes it with nothing run.
  form.Command2_Click();
  click(overEntry(form.List1(), 0), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  EXPECT_TRUE(pumpUntil([&] { return watch.popups == 3; }, std::chrono::seconds(10)));
  pumpUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(ItemMenu, ShiftF10AndTheMenuKeyOpenTheMenuAtTheEntryAndEnterShowsInfo) {
  TestPackage package = makeTestPackage(scratch / "menu.gcf");
  open(package);
  select(3);
  PopupWatch watch(form.window());
  RECT entry{};
  SendMessageW(form.List1(), LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&entry));
  MapWindowPoints(form.List1(), nullptr, reinterpret_cast<POINT*>(&entry), 2);
  struct Keys {
    const char* name;
    std::vector<INPUT> inputs;
  };
  const Keys keys[] = {
      {"Shift+F10",
       {key(VK_SHIFT, false), key(VK_F10, false), key(VK_F10, true), key(VK_SHIFT, true)}},
      {"menu key", {key(VK_APPS, false), key(VK_APPS, true)}}};
  for (const Keys& k : keys) {
    const int before = watch.popups;
    // The keyboard goes to the active window; tests side by side may make windows of theirs.
    SetForegroundWindow(form.window());
    SetFocus(form.List1());
    sendInputs(k.inputs);
    ASSERT_TRUE(pumpUntil([&] { return watch.popups == before + 1; }, std::chrono::seconds(10)))
        << k.name;
    pumpUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(watch.popups, before + 1) << k.name;
    EXPECT_EQ(watch.defaultItem, static_cast<UINT>(IDM_MNU9)) << k.name;
    // Just below the selected entry.
    EXPECT_NEAR(watch.place.top, entry.bottom, 2) << k.name;
    EXPECT_GE(watch.place.left, entry.left) << k.name;
  }
  EXPECT_TRUE(dialogs.messages.empty());

  SetForegroundWindow(form.window());
  SetFocus(form.List1());
  press(VK_RETURN);
  ASSERT_TRUE(pumpUntil([&] { return !dialogs.messages.empty(); }, std::chrono::seconds(10)));
  EXPECT_NE(infoOf(0).find(L"\"root\\" + package.entries[3] + L"\"\r\nNumber: \t\t4\r\n"),
            std::wstring::npos)
      << fs::path(infoOf(0)).u8string();
}

TEST_F(ItemMenu, ADoubleClickOnAnEntryShowsInfo) {
  TestPackage package = makeTestPackage(scratch / "menu.gcf");
  open(package);
  doubleClick(overEntry(form.List1(), 2));
  ASSERT_TRUE(pumpUntil([&] { return !dialogs.messages.empty(); }, std::chrono::seconds(10)));
  EXPECT_NE(infoOf(0).find(L"\"root\\" + package.entries[2] + L"\"\r\nNumber: \t\t3"),
            std::wstring::npos)
      << fs::path(infoOf(0)).u8string();
}

}  // namespace
}  // namespace program_testing
