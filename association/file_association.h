// The start-up switches -regme and -delmyregs: make the program the shell's handler of .gcf and
// .ncf files, or undo that. Each says how it went in a message box of its own.
#pragma once

namespace vaultpick {

class Dialogs;

// Copies the running executable into the Windows folder (%windir%), then registers .gcf and
// .ncf under the file class "gcffile", whose open command starts that copy with the file. A
// copy that fails stops it before the registry is touched; a failed write stops the remaining
// writes, and those already made stay.
void RegMeAsStandard(Dialogs& dialogs);

// Removes .gcf, .ncf and the class "gcffile" with everything below it, stopping at the first
// that cannot be removed (so also when nothing was registered). The program copy stays.
void DelMyRegsStandard(Dialogs& dialogs);

}  // namespace vaultpick
