// The item menu as Form1 sees it: what it pops up and where the chosen command goes. Form2
// (actions/form2.h) is behind it, made through Form1Handlers::loadForm2.
#pragma once

#include <windows.h>

namespace vaultpick {

class ItemMenu {
 public:
  virtual ~ItemMenu() = default;

  // The menu that pops up over the list.
  virtual HMENU itemMenu() const = 0;
  // Runs the handler of one of its commands, by its id.
  virtual void onMenuCommand(UINT id) = 0;
  // Info, also run by a double-click or Enter in the list.
  virtual void mnu9_Click() = 0;
  // Destroys the window (Form1 is closing); a handler under way stops at its next step.
  virtual void Unload() = 0;
};

}  // namespace vaultpick
