#pragma once
// Block lists people already keep elsewhere, brought into Tarnwick's block list: hosts files
// ("0.0.0.0 host", "127.0.0.1 host"), plain lists of domains, and the domain rules of the common
// ad-blocking filter-list syntax ("||host^" blocks, "@@||host^" lets through). Each host becomes a
// plain entry (an exception is "! " and the host), which the block list matches anywhere in a URL,
// as it does the entries of a fresh installation. Pure functions, any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TIniFile;

struct TParsedBlockList {
  std::vector<std::string> Entries;  // in file order, duplicates kept
  // Lines that hold a rule this list cannot express (cosmetic rules, paths, rules with options,
  // malformed lines). Comments and blank lines are not counted.
  std::int32_t Skipped = 0;
};

// Reads every line of `text`; each line is judged by its own form, so mixed files work.
TParsedBlockList ParseBlockListText(std::string_view text);

struct TImportCounts {
  std::int32_t Added = 0;
  std::int32_t AlreadyPresent = 0;
  std::int32_t Skipped = 0;
};

// Adds each of `entries` that `items` lacks (letter case aside) as a ticked entry, in the
// case-insensitive order the settings window keeps its lists in, with `states` (one "1"/"0" line
// per item) kept in step. Existing entries and their ticks stay as they are. Linear in the sizes
// after one sort of the new entries, so that lists of tens of thousands import in well under a
// second.
TImportCounts MergeIntoBlockList(std::vector<std::string>& items, std::vector<std::string>& states,
                                 const std::vector<std::string>& entries);

// Imports `text` into the block list stored in the settings file (a missing file first gets the
// settings of a fresh installation, so that the import does not lose them). Ok is false, and the
// file is unchanged, when it cannot be written.
struct TFileImportResult {
  bool Ok = false;
  TImportCounts Counts;
};
TFileImportResult ImportIntoSettingsFile(TIniFile& settings, std::string_view text);

}  // namespace tarnwick
