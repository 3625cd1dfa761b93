#pragma once
// The lookups in a language file, held as its lines. A line "key=text" is an entry; a line whose key
// begins "##" may start a block: the lines after it up to a line reading "##END". Keys are compared
// with the ASCII letters folded to upper case and every other byte exact; nothing is trimmed, and the
// first matching line wins. Plain functions over a loaded copy: any thread, no shared state.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

using TLanguageLines = std::vector<std::string>;

// The file's lines (CR LF, CR or LF end a line); nullopt when it cannot be read.
std::optional<TLanguageLines> LoadLanguageLines(const std::string& path);
TLanguageLines SplitLanguageLines(std::string_view text);

// a-z to A-Z; every other byte, accented letters included, stays as it is.
std::string FoldAscii(std::string_view text);

// Before the first "="; empty for a line without one.
std::string_view LineKey(std::string_view line);
// After the first "="; the whole line for a line without one.
std::string_view LineText(std::string_view line);

// The index of the first line whose folded key equals `foldedKey`; never found for an empty key.
std::optional<size_t> FindKeyLine(const TLanguageLines& lines, std::string_view foldedKey);
// The index of the first line whose folded text equals `foldedText`.
std::optional<size_t> FindTextLine(const TLanguageLines& lines, std::string_view foldedText);

// The text of the first entry for `key`, if any.
std::optional<std::string> LookUpText(const TLanguageLines& lines, std::string_view key);
// The key of the first line whose text is `text` (compared folded), if any.
std::optional<std::string> LookUpKey(const TLanguageLines& lines, std::string_view text);
// The block after the first entry for `key`: each of its lines followed by CR LF. A block that is
// never closed runs to the end of the file.
std::optional<std::string> LookUpBlock(const TLanguageLines& lines, std::string_view key);

}  // namespace tarnwick
