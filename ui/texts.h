// Every text that the program shows, in one place, so the wording can be checked at a glance.
#pragma once

namespace vaultpick::text {

inline constexpr wchar_t kApplicationTitle[] = L"Vaultpick";
inline constexpr wchar_t kForm1Caption[] = L"Vaultpick - by Morvane";
inline constexpr wchar_t kOpenButton[] = L"Open";
inline constexpr wchar_t kClearButton[] = L"Clear";
// The open dialog's one filter: description, then patterns, separated by "|".
inline constexpr wchar_t kPackageFilter[] = L".gcf;.ncf|*.gcf;*.ncf";

// The item menu's commands.
inline constexpr wchar_t kChooseDirTitle[] = L"Choose a Dir...";
inline constexpr wchar_t kExtractingCaption[] = L"Vaultpick - Extracting GCF Files...";
inline constexpr wchar_t kDefragmentingCaption[] = L"Vaultpick - Defragmenting GCF...";
inline constexpr wchar_t kListFilter[] = L".txt|*.txt";
inline constexpr wchar_t kInfoTitle[] = L"Information about GCF";
// Shell Execute File, followed by the temporary folder on a line of its own.
inline constexpr wchar_t kCantMakeCopyFolder[] =
    L"Error. Cant make a folder for the copy in the temporary folder:";

// The start-up switches -regme and -delmyregs ("successfull" is the published wording).
inline constexpr wchar_t kAssociationRegistered[] = L"File association successfull!";
inline constexpr wchar_t kAssociationRemoved[] = L"File association removed successfully!";
inline constexpr wchar_t kCantWriteRegistry[] = L"Error. Cant write in Registry!";
inline constexpr wchar_t kCantCopyProgram[] =
    L"Error. Cant copy the program into the Windows folder!";

}  // namespace vaultpick::text
