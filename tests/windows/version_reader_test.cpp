// The version reader on real files: the system's own DLLs, our program, and files and folders
// without a version resource.
#include "actions/version_reader.h"

#include <gtest/gtest.h>

#include <regex>

#include "program_support.h"

namespace program_testing {
namespace {

using testing_support::ScratchFolder;
using vaultpick::GetFileDescription;
using vaultpick::GetFileVersionString;

std::wstring systemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

TEST(VersionReader, ReadsOurOwnProgram) {
  const std::wstring program = (binFolder() / L"vaultpick.exe").wstring();
  EXPECT_EQ(GetFileVersionString(program), L"1.00.0000");
  EXPECT_EQ(GetFileDescription(program), L"Vaultpick");
}

TEST(VersionReader, OnlyTheFirstTranslationIsAskedForItsDescription) {
  const std::wstring library = (binFolder() / L"vaultpick_test_translations.dll").wstring();
  EXPECT_EQ(GetFileVersionString(library), L"1.02.00.01");
  EXPECT_EQ(GetFileDescription(library), L"");
}

TEST(VersionReader, ReadsTheSystemsLibraries) {
  // Files we did not make: the version comes out in the program's dotted form, and each
  // library describes itself.
  const std::wregex dotted(L"[0-9]+\\.[0-9]{2,}\\.([0-9]{2,}\\.[0-9]{2,}|0000)");
  for (const wchar_t* name : {L"kernel32.dll", L"user32.dll", L"comctl32.dll", L"shell32.dll"}) {
    const std::wstring path = systemFolder() + L"\\" + name;
    const std::wstring version = GetFileVersionString(path);
    EXPECT_TRUE(std::regex_match(version, dotted))
        << fs::path(path).u8string() << ": " << fs::path(version).u8string();
    EXPECT_FALSE(GetFileDescription(path).empty()) << fs::path(path).u8string();
  }
}

TEST(VersionReader, FilesWithoutAVersionResourceGiveEmptyTexts) {
  ScratchFolder scratch;
  const fs::path text = scratch / "plain.txt";
  testing_support::writeFile(text, {'n', 'o'});
  for (const std::wstring& path :
       {text.wstring(), scratch.path().wstring(), (scratch / "missing.dll").wstring(),
        (binFolder() / L"vaultpick_test_child.exe").wstring(), std::wstring()}) {
    EXPECT_EQ(GetFileVersionString(path), L"") << fs::path(path).u8string();
    EXPECT_EQ(GetFileDescription(path), L"") << fs::path(path).u8string();
  }
}

}  // namespace
}  // namespace program_testing
