// The package tool's command lines, built so that the tool sees exactly the words we mean.
#pragma once

#include <string>

namespace vaultpick {

// `word` as one argument of a Windows command line, always between double quotes, by the rules
// that the C runtime and CommandLineToArgvW split with: backslashes are literal except before a
// double quote, where they are doubled, and an inner double quote is escaped. So a folder
// ending in a backslash keeps it, and a double quote inside an item name cannot end the
// argument and add options of its own.
std::wstring quoteArgument(const std::wstring& word);

// Where the tool is started from and where its list file goes, inside the temporary folder.
std::wstring toolPath(const std::wstring& temporaryFolder);
std::wstring listFilePath(const std::wstring& temporaryFolder);

// An item path of the list as the tool names it: with the leading "root\".
std::wstring toolItemPath(const std::wstring& item);

// The listing: <temp>\hlextract.exe -p "<package>" -lf "<temp>\tmp.txt", every word quoted.
// The tool's own path is quoted too, so a temporary folder with spaces in its path cannot make
// the system start a program named by the part before the first space.
std::wstring listCommand(const std::wstring& temporaryFolder, const std::wstring& package);

// One item into a folder: <temp>\hlextract.exe -p "<package>" -d "<folder>" -e "root\<item>".
// The tool writes a file under its own name directly into the folder; "root\" alone is the
// whole package.
std::wstring extractCommand(const std::wstring& temporaryFolder, const std::wstring& package,
                            const std::wstring& folder, const std::wstring& item);

// Many items at once, as a job file lists them:
// <temp>\hlextract.exe -p "<package>" --jobs "<job file>".
std::wstring jobsCommand(const std::wstring& temporaryFolder, const std::wstring& package,
                         const std::wstring& jobFile);

// Defragmenting the package in place: <temp>\hlextract.exe -p "<package>" -f , ending in the
// space after -f.
std::wstring defragmentCommand(const std::wstring& temporaryFolder, const std::wstring& package);

}  // namespace vaultpick
