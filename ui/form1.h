// Form1, the main window: the package path, the list of its files, Open, Clear and the progress
// bar.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace vaultpick {

class Dialogs;
class Form1;
class ItemMenu;

// What Form1 runs that the program's layers above ui/ define, handed in when it is made (the
// program's own set: startup/form1_handlers.h).
struct Form1Handlers {
  // The start-up work, with the program's command-line text.
  void (*Form_Load)(Form1& form1, const std::wstring& commandText);
  // Files dropped on the window.
  void (*Form_DropFiles)(Form1& form1, const std::vector<std::wstring>& files);
  // Form2, made and loaded on first use.
  std::unique_ptr<ItemMenu> (*loadForm2)(Form1& form1);
};

class Form1 {
 public:
  // The controls' ids, in tab order.
  enum ControlId : WORD {
    kIdCommand1 = 1001,
    kIdText1,
    kIdText2,
    kIdCommand2,
    kIdList1,
    kIdProgressBar1,
  };

  Form1(Dialogs& commonDialog1, const Form1Handlers& handlers);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window, still hidden (Form_Initialize), then runs Form_Load with the program's
  // command-line text. False when the window could not be made.
  bool Load(HINSTANCE instance, const std::wstring& commandText);
  // Shows the window with the focus on Open.
  void Show();

  // Open and Clear, as if pressed.
  void Command1_Click();
  void Command2_Click();
  // A mouse button pressed over the list (1 left, 2 right, 4 middle; x and y in the list's
  // client pixels): the right one selects the entry under the pointer, so the item menu acts on
  // it; below the last entry the selection stays.
  void List1_MouseDown(int button, int shift, int x, int y);
  // A mouse button released over the list: the right one pops up the item menu there.
  void List1_MouseUp(int button, int shift, int x, int y);
  // A double-click on the list: Info.
  void List1_DblClick();
  // A key pressed in the list (shift: 1 Shift, 2 Ctrl, 4 Alt): Enter runs Info as a
  // double-click does; the context-menu key and Shift+F10 pop up the item menu at the selected
  // entry. True when the key was taken.
  bool List1_KeyDown(int keyCode, int shift);

  // Form2's item menu, loaded on first use.
  ItemMenu& form2();

  // False once the window has been closed (also in the middle of a handler that waited).
  bool alive() const { return window_ != nullptr; }
  HWND window() const { return window_; }
  Dialogs& commonDialog1() const { return commonDialog1_; }
  HWND List1() const { return list1_; }
  std::wstring Text1() const;
  std::wstring Text2() const;
  void setText2(const std::wstring& text);
  HWND Command1() const { return command1_; }
  HWND Command2() const { return command2_; }
  HWND ProgressBar1() const { return progressBar1_; }
  void setCaption(const std::wstring& text);

  // The list's entries: how many, which is selected (-1 for none), its text (empty for none)
  // and the entry at an index.
  int ListCount() const;
  int ListIndex() const;
  std::wstring ListText() const;
  std::wstring ListEntry(int index) const;
  // ProgressBar1's Max (its Min stays 0) and Value.
  void setProgressMax(int max);
  void setProgressValue(int value);

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void onCommand(WORD id, WORD code);

  void Form_Initialize(HINSTANCE instance);
  void Form_Unload();
  void createControls(HINSTANCE instance, int dpi);
  static LRESULT CALLBACK list1Procedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  // Pops up the item menu at a point of the list's client area and runs the chosen command.
  void popUpItemMenu(POINT inList1);

  Dialogs& commonDialog1_;
  Form1Handlers handlers_;
  HWND window_ = nullptr;
  HWND command1_ = nullptr;
  HWND text1_ = nullptr;
  HWND text2_ = nullptr;
  HWND command2_ = nullptr;
  HWND list1_ = nullptr;
  WNDPROC list1Original_ = nullptr;
  HWND progressBar1_ = nullptr;
  HWND lastFocus_ = nullptr;
  UniqueGdi<HFONT> font_;
  std::unique_ptr<ItemMenu> form2_;
};

}  // namespace vaultpick
