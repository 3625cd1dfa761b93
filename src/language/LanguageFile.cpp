#include "language/LanguageFile.h"

#include <fstream>
#include <iterator>

namespace tarnwick {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimBlanksAndControls(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

bool ClosesBlock(std::string_view line) { return FoldAscii(TrimBlanksAndControls(line)) == "##END"; }

}  // namespace

TLanguageLines SplitLanguageLines(std::string_view text) {
  TLanguageLines lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::optional<TLanguageLines> LoadLanguageLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return SplitLanguageLines(text);
}

std::string FoldAscii(std::string_view text) {
  std::string folded(text);
  for (auto& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::string_view LineKey(std::string_view line) {
  const auto equals = line.find('=');
  return equals == std::string_view::npos ? std::string_view() : line.substr(0, equals);
}

std::string_view LineText(std::string_view line) {
  const auto equals = line.find('=');
  return equals == std::string_view::npos ? line : line.substr(equals + 1);
}

std::optional<size_t> FindKeyLine(const TLanguageLines& lines, std::string_view foldedKey) {
  if (foldedKey.empty()) return std::nullopt;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (FoldAscii(LineKey(lines[i])) == foldedKey) return i;
  }
  return std::nullopt;
}

std::optional<size_t> FindTextLine(const TLanguageLines& lines, std::string_view foldedText) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (FoldAscii(LineText(lines[i])) == foldedText) return i;
  }
  return std::nullopt;
}

std::optional<std::string> LookUpText(const TLanguageLines& lines, std::string_view key) {
  const auto index = FindKeyLine(lines, FoldAscii(key));
  if (!index) return std::nullopt;
  return std::string(LineText(lines[*index]));
}

std::optional<std::string> LookUpKey(const TLanguageLines& lines, std::string_view text) {
  const auto index = FindTextLine(lines, FoldAscii(text));
  if (!index) return std::nullopt;
  return std::string(LineKey(lines[*index]));
}

std::optional<std::string> LookUpBlock(const TLanguageLines& lines, std::string_view key) {
  const auto index = FindKeyLine(lines, FoldAscii(key));
  if (!index) return std::nullopt;
  std::string block;
  for (size_t i = *index + 1; i < lines.size() && !ClosesBlock(lines[i]); ++i) {
    block += lines[i];
    block += "\r\n";
  }
  return block;
}

}  // namespace tarnwick
