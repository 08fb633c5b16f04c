// Console mode: a small command loop over one open package, reading standard input.
#include "console.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "console_words.h"
#include "text.h"

namespace hlextract {
namespace {

const char kConsoleHelp[] =
    "dir [filter]      list this folder, another one, or what matches: maps\\*.bsp\n"
    "cd <folder>       go to a folder: relative, .. for the parent, or root\\...\n"
    "root              go to the root folder\n"
    "info <item>       size, state, data blocks and fragmentation of an item\n"
    "extract <item>    extract into the -d folder, as -e does\n"
    "validate <item>   check against the checksums, as -t does\n"
    "find <filter>     every item of the package whose name matches\n"
    "type <item>       print a text file\n"
    "status            the package's format, blocks and file states\n"
    "cls               clear the screen\n"
    "help              this list\n"
    "exit              leave (so does the end of the input)\n"
    "Filters take * and ? and ignore case; quote names with blanks: cd \"my maps\"\n";

bool isTerminal(std::FILE* stream) {
#if defined(_WIN32)
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

void clearScreen() {
  if (!isTerminal(stdout)) return;
#if defined(_WIN32)
  // The Windows console does not always take escape sequences; its own API always works.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (!GetConsoleScreenBufferInfo(out, &screen)) return;
  DWORD cells = static_cast<DWORD>(screen.dwSize.X) * static_cast<DWORD>(screen.dwSize.Y);
  DWORD written = 0;
  FillConsoleOutputCharacterW(out, L' ', cells, {0, 0}, &written);
  FillConsoleOutputAttribute(out, screen.wAttributes, cells, {0, 0}, &written);
  SetConsoleCursorPosition(out, {0, 0});
#else
  std::fputs("\x1b[H\x1b[2J", stdout);
#endif
}

// Control characters other than the usual white space mark data that is not text.
bool isBinary(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    uint8_t c = data[i];
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1a) return true;
  }
  return false;
}

class Console {
 public:
  Console(const hllib::Package& package, ConsoleHost& host) : package_(package), host_(host) {}

  void run() {
    bool prompt = isTerminal(stdin);
    std::string line;
    std::vector<std::string> words;
    for (;;) {
      if (prompt) {
        std::printf("%s> ", shown(current_).c_str());
        std::fflush(stdout);
      }
      if (!std::getline(std::cin, line)) break;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string error;
      if (!splitWords(line, words, error)) {
        host_.fail({HL_INVALID, error + ": " + line});
        continue;
      }
      if (words.empty()) continue;
      if (!execute(words)) break;
      std::fflush(stdout);
    }
    if (prompt) std::printf("\n");
  }

 private:
  using Handler = void (Console::*)(const std::string& argument);
  struct Command {
    const char* name;
    bool needsArgument;
    bool takesArgument;
    Handler handler;
  };

  // False for "exit".
  bool execute(const std::vector<std::string>& words) {
    static const Command kCommands[] = {
        {"dir", false, true, &Console::dir},        {"cd", true, true, &Console::cd},
        {"root", false, false, &Console::root},     {"info", true, true, &Console::info},
        {"extract", true, true, &Console::extract}, {"validate", true, true, &Console::validate},
        {"find", true, true, &Console::find},       {"type", true, true, &Console::type},
        {"status", false, false, &Console::status}, {"cls", false, false, &Console::cls},
        {"help", false, false, &Console::help},
    };
    std::string name = words[0];
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (name == "exit" || name == "quit") return false;
    for (const Command& command : kCommands) {
      if (name != command.name) continue;
      size_t given = words.size() - 1;
      if (given > (command.takesArgument ? 1u : 0u) || (command.needsArgument && given == 0)) {
        host_.fail(
            {HL_INVALID, name + (command.takesArgument ? " takes one name (quote names with blanks)"
                                                       : " takes no name")});
      } else {
        (this->*command.handler)(given ? words[1] : std::string());
      }
      return true;
    }
    host_.fail({HL_INVALID, "unknown command '" + words[0] + "': type help"});
    return true;
  }

  // Names and paths as the package stores them: filters and ".." work on its single bytes.
  std::string stored(uint32_t item) const { return storedName(package_.path(item)); }
  std::string shown(uint32_t item) const { return printable("root\\" + stored(item)); }
  uint32_t lookUp(const std::string& storedPath) const {
    return package_.find(utf8Name(storedPath));
  }
  bool isFile(uint32_t item) const { return package_.item(item).is_file != 0; }

  // The item a console word names, or HL_NO_ITEM after saying so.
  uint32_t resolve(const std::string& word) {
    std::string path;
    if (!joinItemPath(stored(current_), word, path)) {
      host_.fail({HL_ITEM_NOT_FOUND, "'" + word + "' leads above root\\"});
      return HL_NO_ITEM;
    }
    uint32_t item = lookUp(path);
    if (item == HL_NO_ITEM)
      host_.fail({HL_ITEM_NOT_FOUND,
                  "no item '" + word + "' in the package (from " + shown(current_) + ")"});
    return item;
  }

  // "dir maps" lists that folder, "dir maps\*.bsp" what matches in it, "dir *.bsp" what
  // matches here.
  void dir(const std::string& argument) {
    uint32_t folder = current_;
    std::string filter = argument, path;
    if (!argument.empty() && joinItemPath(stored(current_), argument, path)) {
      uint32_t named = lookUp(path);
      if (named != HL_NO_ITEM && !isFile(named)) {
        folder = named;
        filter.clear();
      }
    }
    size_t cut = filter.find_last_of("\\/");
    if (cut != std::string::npos) {
      folder = resolve(cut == 0 ? "root" : filter.substr(0, cut));
      if (folder == HL_NO_ITEM) return;
      if (isFile(folder))
        return host_.fail({HL_INVALID, shown(folder) + " is a file, not a folder"});
      filter.erase(0, cut + 1);
    }
    uint32_t folders = 0, files = 0;
    package_.walk(folder, '\\', [&](uint32_t item, const std::string&) {
      hl_item facts = package_.item(item);
      if (facts.parent != folder) return;
      std::string name = storedName(package_.name(item));
      if (!filter.empty() && !matchesWildcard(filter, name)) return;
      name = printable(name);
      if (facts.is_file) {
        ++files;
        std::printf("%12u  %s\n", facts.size, name.c_str());
      } else {
        ++folders;
        std::printf("%12s  %s\\\n", "<folder>", name.c_str());
      }
    });
    std::printf("%u folders, %u files in %s\n", folders, files, shown(folder).c_str());
  }

  void cd(const std::string& word) {
    uint32_t item = resolve(word);
    if (item == HL_NO_ITEM) return;
    if (isFile(item)) return host_.fail({HL_INVALID, shown(item) + " is a file, not a folder"});
    current_ = item;
  }

  void root(const std::string&) { current_ = HL_ROOT_ITEM; }

  void info(const std::string& word) {
    uint32_t item = resolve(word);
    if (item == HL_NO_ITEM) return;
    hl_item facts = package_.item(item);
    if (!facts.is_file) {
      std::printf("%s\\\n  folder with %u files below it\n", shown(item).c_str(),
                  package_.fileCountBelow(item));
      return;
    }
    std::printf("%s\n  size:        %u bytes\n  state:       %s\n", shown(item).c_str(), facts.size,
                fileState(package_, item).c_str());
    hl_file_layout layout{};
    hllib::Status status = package_.layout(item, layout);
    if (package_.facts().type == HL_NCF)
      std::printf("  data blocks: none, an NCF package's files lie on disk\n");
    else if (!status.ok())
      std::printf("  data blocks: unknown, %s\n", printable(status.message).c_str());
    else
      std::printf("  data blocks: %u\n  fragmented:  %s\n", layout.blocks,
                  layout.fragmented ? "yes" : "no");
  }

  void extract(const std::string& word) {
    uint32_t item = resolve(word);
    if (item != HL_NO_ITEM) host_.extract(item, shown(item));
  }

  void validate(const std::string& word) {
    uint32_t item = resolve(word);
    if (item != HL_NO_ITEM) host_.validate(item, shown(item));
  }

  void find(const std::string& filter) {
    uint32_t found = 0;
    package_.walk(HL_ROOT_ITEM, '\\', [&](uint32_t item, const std::string& path) {
      if (!matchesWildcard(filter, storedName(package_.name(item)))) return;
      ++found;
      std::printf("root\\%s%s\n", printable(storedName(path)).c_str(), isFile(item) ? "" : "\\");
    });
    std::printf("%u items found\n", found);
  }

  void type(const std::string& word) {
    uint32_t item = resolve(word);
    if (item == HL_NO_ITEM) return;
    if (!isFile(item)) return host_.fail({HL_INVALID, shown(item) + " is a folder: try dir"});
    uint64_t printed = 0;
    bool binary = false, endsInNewline = true;
#if defined(_WIN32)
    // The file's own line ends go out as they are, not with a CR added before each LF.
    std::fflush(stdout);
    int mode = _setmode(_fileno(stdout), _O_BINARY);
#endif
    // Each piece is checked before it is printed, so a binary file shows nothing of itself.
    hllib::Status status = package_.read(item, [&](const uint8_t* data, size_t size) {
      if (isBinary(data, size)) return !(binary = true);
      std::fwrite(data, 1, size, stdout);
      printed += size;
      endsInNewline = data[size - 1] == '\n';
      return true;
    });
#if defined(_WIN32)
    std::fflush(stdout);
    if (mode != -1) _setmode(_fileno(stdout), mode);
#endif
    if (!endsInNewline) std::printf("\n");
    if (!status.ok()) return host_.fail(status);
    if (binary)
      host_.fail({HL_INVALID,
                  shown(item) + " holds binary data" +
                      (printed ? ", stopped after " + std::to_string(printed) + " bytes" : "") +
                      ": use extract to get it"});
  }

  void status(const std::string&) {
    uint32_t files = 0, usedBlocks = 0, fragmented = 0, incomplete = 0, encrypted = 0,
             unreadable = 0, notChecked = 0;
    package_.walk(HL_ROOT_ITEM, '\\', [&](uint32_t item, const std::string&) {
      if (!isFile(item)) return;
      ++files;
      hl_file_state state{};
      hl_file_layout layout{};
      hllib::Status status = package_.inspect(item, state);
      if (status.ok()) status = package_.layout(item, layout);
      if (!status.ok()) {
        ++(status.code == HL_INVALID ? notChecked : unreadable);
        return;
      }
      usedBlocks += layout.blocks;
      fragmented += layout.fragmented ? 1 : 0;
      encrypted += state.encrypted ? 1 : 0;
      incomplete += !state.encrypted && state.stored_bytes < state.size ? 1 : 0;
    });
    hl_package_facts facts = package_.facts();
    bool gcf = facts.type == HL_GCF;
    std::printf("format:           %s version %u\n", gcf ? "GCF" : "NCF", facts.format_version);
    if (gcf)
      std::printf("block size:       %u bytes\ndata blocks:      %u, %u of them used by files\n",
                  facts.block_size, facts.block_count, usedBlocks);
    else
      std::printf("data blocks:      none, the files lie on disk\n");
    std::printf("items:            %u files, %u folders\n", files, facts.item_count - files - 1);
    std::printf("fragmented files: %u\nincomplete files: %u\nencrypted files:  %u\n", fragmented,
                incomplete, encrypted);
    if (unreadable) std::printf("damaged files:    %u\n", unreadable);
    if (notChecked)
      std::printf("not checked:      %u files, their folder is not given (-n)\n", notChecked);
  }

  void cls(const std::string&) { clearScreen(); }
  void help(const std::string&) { std::fputs(kConsoleHelp, stdout); }

  const hllib::Package& package_;
  ConsoleHost& host_;
  uint32_t current_ = HL_ROOT_ITEM;
};

}  // namespace

std::string fileState(const hllib::Package& package, uint32_t file) {
  hl_file_state state{};
  hllib::Status status = package.inspect(file, state);
  if (status.code == HL_INVALID) return "not checked";  // an NCF without -n
  if (!status.ok()) return "damaged";
  if (state.encrypted) return "encrypted";
  if (state.stored_bytes < state.size)
    return "incomplete " + std::to_string(state.stored_bytes * 100 / state.size) + "%";
  return "complete";
}

void runConsole(const hllib::Package& package, ConsoleHost& host) { Console(package, host).run(); }

}  // namespace hlextract
