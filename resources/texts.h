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

// A tool run that failed: what failed, then the tool's reason below it.
inline constexpr wchar_t kPackageNotOpened[] = L"The package could not be opened.";
inline constexpr wchar_t kFileNotExtracted[] = L"The file was not extracted.";
inline constexpr wchar_t kFileNotOpened[] = L"The file was not opened.";
inline constexpr wchar_t kPackageNotDefragmented[] = L"The package was not defragmented.";
// "<n> of <count>" comes before it; then one "root\<entry>: <reason>" line for each of the first
// ten (or, when all share one reason, that reason once and the entries alone), and how many more
// there are.
inline constexpr wchar_t kEntriesNotExtracted[] = L" entries were not extracted:";
inline constexpr wchar_t kMoreEntriesBefore[] = L"and ";
inline constexpr wchar_t kMoreEntriesAfter[] = L" more.";
// The reasons the program gives itself.
inline constexpr wchar_t kToolNotStarted[] = L"The extraction tool could not be started: ";
inline constexpr wchar_t kToolExitCode[] = L"The extraction tool ended with exit code ";
inline constexpr wchar_t kSystemError[] = L"system error ";
inline constexpr wchar_t kNoJobFile[] = L"the job file could not be written";
inline constexpr wchar_t kNoResult[] = L"the extraction tool gave no result for it";

// The start-up switches -regme and -delmyregs ("successfull" is the published wording).
inline constexpr wchar_t kAssociationRegistered[] = L"File association successfull!";
inline constexpr wchar_t kAssociationRemoved[] = L"File association removed successfully!";
inline constexpr wchar_t kCantWriteRegistry[] = L"Error. Cant write in Registry!";
inline constexpr wchar_t kCantCopyProgram[] =
    L"Error. Cant copy the program into the Windows folder!";

}  // namespace vaultpick::text
