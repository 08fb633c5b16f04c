// Form2: never shown; it owns the item menu (its menu bar "Rightklick"), the menu's five
// pictures and the handlers of the menu's commands, which work on Form1's controls. Every member
// is defined in actions/: the window and its menu in actions/form2_win32.cpp, each command in
// the file named beside it below.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace vaultpick {

class Dialogs;
class Form1;
class PrivateFolder;

class Form2 {
 public:
  Form2(Form1& form1, Dialogs& commonDialog1);
  ~Form2();
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;

  // Creates the hidden window with its menu bar and runs Form_Load. False when the window could
  // not be made.
  bool Load(HINSTANCE instance);
  // Destroys the window (Form1 is closing); a handler under way stops at its next step.
  void Unload();

  HWND window() const { return window_; }
  // The item menu: the sub-menu of the menu bar's one item, mnu1.
  HMENU itemMenu() const;
  // Runs the handler of one command of the item menu, by its id.
  void onMenuCommand(UINT id);

  // The menu's commands.
  void mnu9_Click();  // Info: actions/item_info_win32.cpp
  void mnu2_Click();  // Extract File: actions/extract_file_win32.cpp
  void mnu4_Click();  // Extract whole GCF: actions/extract_all_win32.cpp
  void mnu8_Click();  // Shell Execute File: actions/open_item_win32.cpp
  void mnu6_Click();  // Defragment GCF: actions/defragment_win32.cpp
  void mnu5_Click();  // Save List: actions/save_list_win32.cpp

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

}  // namespace vaultpick
