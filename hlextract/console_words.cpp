// The console's pure text rules.
#include "console_words.h"

namespace hlextract {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isRootWord(std::string_view word) {
  if (word.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if (lowerAscii(word[i]) != "root"[i]) return false;
  return word.size() == 4 || word[4] == '\\' || word[4] == '/';
}

}  // namespace

bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;  // "" is an empty word
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) {
    error = "a quote is not closed";
    return false;
  }
  if (inWord) words.push_back(word);
  return true;
}

bool matchesWildcard(std::string_view pattern, std::string_view name) {
  // Greedy with one back-up point: the last '*' seen absorbs one more character on a mismatch.
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' ||
         (pattern[p] != '*' && lowerAscii(pattern[p]) == lowerAscii(name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool joinItemPath(const std::string& current, std::string_view word, std::string& path) {
  std::vector<std::string> parts;
  auto add = [&](std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '\\' && text[i] != '/') continue;
      std::string_view part = text.substr(start, i - start);
      start = i + 1;
      if (part.empty() || part == ".") continue;
      if (part != "..") {
        parts.emplace_back(part);
      } else if (parts.empty()) {
        return false;
      } else {
        parts.pop_back();
      }
    }
    return true;
  };
  if (isRootWord(word)) {
    word.remove_prefix(4);
  } else if (!add(current)) {
    return false;
  }
  if (!add(word)) return false;
  path.clear();
  for (const std::string& part : parts) path += (path.empty() ? "" : "\\") + part;
  return true;
}

}  // namespace hlextract
