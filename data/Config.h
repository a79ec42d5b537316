// ARTICLESRW.CONF: every window text, option entry, transfer message, tax letter
// and group name. Read at the first lookup and kept until a Reset.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kConfigFileName = "ARTICLESRW.CONF";
inline constexpr const char* kMissingConfigText = "Missing Conf File";

// The value of key: the text between the first double quote at or after the
// key's first occurrence and the next double quote. A key of the shipped file
// (resources/ARTICLESRW.CONF, compiled in) that this file lacks gets its
// shipped text; the first file read names such keys once on standard error.
// The text is owned by the configuration and stays valid until the next
// config::Reset or config::LoadText, which free every text handed out; the
// programs load the file once and call neither.
const char* GetConfigText(const char* key);

namespace config {

// Where ARTICLESRW.CONF is looked for, in order; by default the current
// directory, then the directory of the running program.
void SetSearchDirectories(std::vector<std::filesystem::path> directories);
std::vector<std::filesystem::path> DefaultSearchDirectories();

// The file that was loaded, empty while none is.
std::filesystem::path LoadedFile();

// Forgets the loaded text and frees every text GetConfigText handed out (tests,
// and a restart of the search).
void Reset();

// Uses this text as if it had been read from the file; a Reset first.
void LoadText(std::string text);

// The value only when the key really occurs and is followed by a quoted value;
// for optional settings that must not fall back to the start of the file.
std::optional<std::string> FindValue(const char* key);

}  // namespace config

// The tax letters and the names of stands, commodity groups and measure units,
// copied once at start-up into fields of fixed size.
struct GroupNames {
  static constexpr std::size_t kTaxLetters = 20;
  static constexpr std::size_t kStands = 10;
  static constexpr std::size_t kCommodityGroups = 20;
  static constexpr std::size_t kMeasureUnits = 12;
  static constexpr std::size_t kNameField = 20;
  static constexpr std::size_t kMeasureUnitField = 30;

  char taxChars[kTaxLetters + 1] = {};
  char stands[kStands][kNameField] = {};
  char commodityGroups[kCommodityGroups][kNameField] = {};
  char measureUnits[kMeasureUnits][kMeasureUnitField] = {};

  void Load();  // from GetConfigText

  // Tax letter of group index i (0-based), 0 when there is none.
  char TaxLetter(std::size_t index) const { return index < kTaxLetters ? taxChars[index] : '\0'; }
  std::string_view Stand(std::size_t index) const;
  std::string_view CommodityGroup(std::size_t index) const;
  std::string_view MeasureUnit(std::size_t index) const;
};

// The code page of the record texts, from the CODE_PAGE entry of the
// configuration file, or the default when there is none.
std::string ConfiguredCodePage();

// Selects the configured code page; false (default kept) when it is unknown.
bool SelectConfiguredCodePage();

// Tax letter of every default department: the second letter of TAX_CHARS.
char DefaultDepartmentTaxLetter();
