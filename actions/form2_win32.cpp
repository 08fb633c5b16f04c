// Form2, the hidden owner of the item menu.
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <utility>

#include "actions/form2.h"
#include "actions/private_folder.h"
#include "resources/resource_ids.h"
#include "resources/texts.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "win32/files.h"

namespace vaultpick {

namespace {

constexpr wchar_t kWindowClass[] = L"VaultpickForm2";

// Which picture each command shows, by the command's position in the item menu; the
// separators between them have none.
struct MenuPicture {
  int position;
  int picture;  // 1 to 5
};
constexpr MenuPicture kMenuPictures[] = {{0, 3}, {2, 1}, {3, 1}, {5, 2}, {6, 4}, {8, 5}};

}  // namespace

Form2::Form2(Form1& form1, Dialogs& commonDialog1) : form1_(form1), commonDialog1_(commonDialog1) {}

Form2::~Form2() { Unload(); }

std::unique_ptr<ItemMenu> loadForm2(Form1& form1) {
  auto form2 = std::make_unique<Form2>(form1, form1.commonDialog1());
  form2->Load(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(form1.window(), GWLP_HINSTANCE)));
  return form2;
}

bool Form2::Load(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;  // the window only carries the menu
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  // The menu bar goes with the window and is destroyed with it.
  HMENU menuBar = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_FORM2_MENU));
  window_ =
      CreateWindowExW(0, kWindowClass, L"Form2", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menuBar, instance, nullptr);
  if (!window_) {
    if (menuBar) DestroyMenu(menuBar);
    return false;
  }
  for (size_t i = 0; i < pictures_.size(); ++i) {
    pictures_[i].reset(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_PICTURE1 + static_cast<int>(i)), IMAGE_BITMAP, 0,
                   0, LR_CREATEDIBSECTION)));
  }
  Form_Load();
  return true;
}

void Form2::Form_Load() {
  // Each pass looks its item up from scratch, by position; a failing step leaves that command
  // without its picture and the other passes go on.
  for (const MenuPicture& pass : kMenuPictures) {
    HMENU menuBar = GetMenu(window_);
    HMENU itemMenu = GetSubMenu(menuBar, 0);
    const UINT id = GetMenuItemID(itemMenu, pass.position);
    // By command through the menu bar, which finds the item inside its sub-menu.
    HBITMAP picture = pictures_[static_cast<size_t>(pass.picture - 1)].get();
    SetMenuItemBitmaps(menuBar, id, MF_BYCOMMAND, picture, picture);
  }
}

void Form2::Unload() {
  if (!window_) return;
  DestroyWindow(std::exchange(window_, nullptr));
}

HMENU Form2::itemMenu() const { return GetSubMenu(GetMenu(window_), 0); }

void Form2::onMenuCommand(UINT id) {
  switch (id) {
    case IDM_MNU9:
      mnu9_Click();
      break;
    case IDM_MNU2:
      mnu2_Click();
      break;
    case IDM_MNU4:
      mnu4_Click();
      break;
    case IDM_MNU8:
      mnu8_Click();
      break;
    case IDM_MNU6:
      mnu6_Click();
      break;
    case IDM_MNU5:
      mnu5_Click();
      break;
    default:
      break;
  }
}

bool Form2::DirExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(win32Path(path).c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Form2::chooseDestination() {
  ChosenDir_ = commonDialog1_.BrowseForFolder(window_, text::kChooseDirTitle, BIF_RETURNONLYFSDIRS);
  DestDir_ = ChosenDir_;
  // Form1 may have been closed while the chooser was open.
  return form1_.alive() && DirExists(DestDir_);
}

void Form2::lockForm1(bool locked) {
  // In this order both ways: the list, Open, Clear.
  EnableWindow(form1_.List1(), !locked);
  EnableWindow(form1_.Command1(), !locked);
  EnableWindow(form1_.Command2(), !locked);
}

}  // namespace vaultpick
