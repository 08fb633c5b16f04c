// Form2: never shown; it owns the item menu (its menu bar "Rightklick"), the menu's five
// pictures and the handlers of the menu's commands, which work on Form1's controls. Form1 reaches
// it only as the ItemMenu it pops up (ui/item_menu.h). The window and its menu are in
// actions/form2_win32.cpp, each command in the file named beside it below.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ui/item_menu.h"
#include "win32/handles.h"

namespace vaultpick {

class Dialogs;
class Form1;
class PrivateFolder;

class Form2 : public ItemMenu {
 public:
  Form2(Form1& form1, Dialogs& commonDialog1);
  ~Form2() override;
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;

  // Creates the hidden window with its menu bar and runs Form_Load. False when the window could
  // not be made.
  bool Load(HINSTANCE instance);
  void Unload() override;

  HWND window() const { return window_; }
  // The sub-menu of the menu bar's one item, mnu1.
  HMENU itemMenu() const override;
  void onMenuCommand(UINT id) override;

  // The menu's commands.
  void mnu9_Click() override;  // Info: actions/item_info_win32.cpp
  void mnu2_Click();           // Extract File: actions/extract_file_win32.cpp
  void mnu4_Click();           // Extract whole GCF: actions/extract_all_win32.cpp
  void mnu8_Click();           // Shell Execute File: actions/open_item_win32.cpp
  void mnu6_Click();           // Defragment GCF: actions/defragment_win32.cpp
  void mnu5_Click();           // Save List: actions/save_list_win32.cpp

  // True when the path names an existing folder.
  static bool DirExists(const std::wstring& path);

  // The folder the chooser gave last (empty after a cancel), and the destination of the
  // extraction under way (empty when none runs).
  const std::wstring& ChosenDir() const { return ChosenDir_; }
  const std::wstring& DestDir() const { return DestDir_; }

 private:
  void Form_Load();
  // Asks for the destination of an extraction; false when there is none to use.
  bool chooseDestination();
  // The Form1 controls that the long commands lock while the tool runs.
  void lockForm1(bool locked);

  Form1& form1_;
  Dialogs& commonDialog1_;
  HWND window_ = nullptr;
  // Picture1 to Picture5.
  std::array<UniqueGdi<HBITMAP>, 5> pictures_;
  std::wstring ChosenDir_;
  std::wstring DestDir_;
  // The save dialog opens on the file chosen last.
  std::wstring saveFileName_;
  // The folders of the copies that Shell Execute File opened; removed when Form2 goes, at the
  // program's end.
  std::vector<std::unique_ptr<PrivateFolder>> openedCopies_;
};

// Form2 made and loaded for Form1 on first use (Form1Handlers::loadForm2).
std::unique_ptr<ItemMenu> loadForm2(Form1& form1);

}  // namespace vaultpick
