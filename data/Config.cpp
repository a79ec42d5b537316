#include "data/Config.h"

#include "data/CodePage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <unistd.h>

// The shipped ARTICLESRW.CONF, compiled in at build time.
std::string_view BuiltInConfigText();

namespace {

struct Store {
  std::mutex mutex;
  std::string text;
  bool explicitText = false;
  std::filesystem::path loadedFile;
  std::optional<std::vector<std::filesystem::path>> directories;
  // Values handed out, by the code page they were converted for (empty: not
  // converted; a mark for an empty file) and key. They are owned here until Reset or LoadText frees them
  // all; nodes of an unordered_map never move, so c_str() stays valid till then.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> handedOut;
  std::string missing = kMissingConfigText;
  // The file is UTF-8 (as Linux editors save it) rather than in the code page:
  // values are converted to the code page as they are handed out.
  bool utf8 = false;
  bool warned = false;  // the keys the file lacks were named once
};

// Valid UTF-8 with at least one byte beyond ASCII: text in the code page is
// hardly ever that, and pure ASCII reads the same either way.
bool LooksLikeUtf8(std::string_view text) {
  const bool beyondAscii = std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
  return beyondAscii && codepage::IsValidUtf8(text);
}

Store& TheStore() {
  static Store* store = new Store;  // lives until the process ends: lookups may come from any static's destructor
  return *store;
}

// The shipped file's text and its keys (the word that starts each entry's line).
struct BuiltIn {
  std::string_view text;
  bool utf8 = false;
  std::vector<std::string> keys;  // in file order
  std::unordered_set<std::string_view> known;
};

const BuiltIn& TheBuiltIn() {
  static const BuiltIn builtIn = [] {
    BuiltIn b;
    b.text = BuiltInConfigText();
    b.utf8 = LooksLikeUtf8(b.text);
    std::size_t line = 0;
    while (line < b.text.size()) {
      std::size_t next = b.text.find('\n', line);
      if (next == std::string_view::npos) next = b.text.size();
      const std::string_view entry = b.text.substr(line, next - line);
      const std::size_t keyEnd = std::min(
          entry.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_"), entry.size());
      if (keyEnd > 0 && entry.find('"', keyEnd) != std::string_view::npos) b.keys.emplace_back(entry.substr(0, keyEnd));
      line = next + 1;
    }
    for (const std::string& key : b.keys) b.known.insert(key);
    return b;
  }();
  return builtIn;
}

// Whether the lookup rule finds key in text: it occurs, and a double quote follows it.
bool Occurs(std::string_view text, std::string_view key) {
  const std::size_t at = key.empty() ? std::string_view::npos : text.find(key);
  return at != std::string_view::npos && text.find('"', at) != std::string_view::npos;
}

// One line on standard error naming every key of the shipped file that this file lacks.
void WarnOfMissingKeys(Store& store) {
  if (store.warned) return;
  store.warned = true;
  std::string missing;
  std::size_t count = 0;
  for (const std::string& key : TheBuiltIn().keys) {
    if (Occurs(store.text, key)) continue;
    missing += (count++ == 0 ? "" : ", ") + key;
  }
  if (count == 0) return;
  std::fprintf(stderr, "%s lacks %zu %s, shown with the built-in %s: %s\n", store.loadedFile.c_str(), count,
               count == 1 ? "key" : "keys", count == 1 ? "text" : "texts", missing.c_str());
}

// Reads the file into store.text when it is empty; false when no file could be read.
bool EnsureLoaded(Store& store) {
  if (!store.text.empty() || store.explicitText) return true;
  const auto directories = store.directories ? *store.directories : config::DefaultSearchDirectories();
  for (const auto& directory : directories) {
    const auto path = directory / kConfigFileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) continue;
    store.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    store.utf8 = LooksLikeUtf8(store.text);
    store.loadedFile = path;
    return true;
  }
  return false;
}

// The value's bounds within text, by the lookup rule; a value without its
// closing quote runs to the end of the text.
std::string_view Lookup(std::string_view text, std::string_view key) {
  std::size_t start = 0;
  if (Occurs(text, key)) start = text.find('"', text.find(key)) + 1;
  const std::size_t end = text.find('"', start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// A value as the code page spells it.
std::string InCodePage(bool utf8, std::string_view value) {
  return utf8 ? codepage::FromUtf8Replacing(value) : std::string(value);
}

// The file's value; for a key of the shipped file that the file lacks, the
// shipped text rather than the start of the file.
std::string ValueOf(const Store& store, std::string_view key) {
  if (!Occurs(store.text, key)) {
    const BuiltIn& builtIn = TheBuiltIn();
    if (builtIn.known.contains(key)) return InCodePage(builtIn.utf8, Lookup(builtIn.text, key));
  }
  return InCodePage(store.utf8, Lookup(store.text, key));
}

}  // namespace

const char* GetConfigText(const char* key) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  if (!EnsureLoaded(store)) return store.missing.c_str();
  // Named at the first text asked for, not at a read of the code page alone (the converter's).
  if (!store.explicitText && !store.text.empty()) WarnOfMissingKeys(store);
  // An empty file is read again at the next lookup: what it gave must not
  // shadow the texts of a file with content, nor be freed by one.
  const bool converted = store.utf8 || TheBuiltIn().utf8;
  auto& texts = store.handedOut[(store.text.empty() ? "empty file " : "") + (converted ? codepage::Current() : "")];
  const std::string keyText = key ? key : "";
  auto found = texts.find(keyText);
  if (found == texts.end()) found = texts.emplace(keyText, ValueOf(store, keyText)).first;
  return found->second.c_str();
}

namespace config {

void SetSearchDirectories(std::vector<std::filesystem::path> directories) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  store.directories = std::move(directories);
}

std::vector<std::filesystem::path> DefaultSearchDirectories() {
  std::vector<std::filesystem::path> directories;
  std::error_code ec;
  auto current = std::filesystem::current_path(ec);
  if (!ec) directories.push_back(current);
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && exe.has_parent_path() && exe.parent_path() != current) directories.push_back(exe.parent_path());
  return directories;
}

std::filesystem::path LoadedFile() {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  return store.loadedFile;
}

void Reset() {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  store.text.clear();
  store.utf8 = false;
  store.explicitText = false;
  store.loadedFile.clear();
  store.handedOut.clear();
  store.warned = false;
}

void LoadText(std::string text) {
  Reset();
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  store.text = std::move(text);
  store.utf8 = LooksLikeUtf8(store.text);
  store.explicitText = true;
}

std::optional<std::string> FindValue(const char* key) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  if (!EnsureLoaded(store) || !key || !*key) return std::nullopt;
  const std::string_view text = store.text;
  const std::size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t quote = text.find('"', at);
  if (quote == std::string_view::npos) return std::nullopt;
  return InCodePage(store.utf8, Lookup(text, key));
}

}  // namespace config

namespace {

template <std::size_t N>
void CopyCut(char (&field)[N], const char* value) {
  std::memset(field, 0, N);
  std::strncpy(field, value, N - 1);
}

std::string_view View(const char* field, std::size_t size) { return {field, strnlen(field, size)}; }

}  // namespace

void GroupNames::Load() {
  CopyCut(taxChars, GetConfigText("TAX_CHARS"));
  for (std::size_t i = 0; i < kStands; ++i) {
    CopyCut(stands[i], GetConfigText(("STAND_" + std::to_string(i + 1)).c_str()));
  }
  for (std::size_t i = 0; i < kCommodityGroups; ++i) {
    CopyCut(commodityGroups[i], GetConfigText(("COMM_GRP_" + std::to_string(i + 1)).c_str()));
  }
  for (std::size_t i = 0; i < kMeasureUnits; ++i) {
    CopyCut(measureUnits[i], GetConfigText(("MSR_LINK_" + std::to_string(i + 1)).c_str()));
  }
}

std::string_view GroupNames::Stand(std::size_t index) const {
  return index < kStands ? View(stands[index], kNameField) : std::string_view{};
}

std::string_view GroupNames::CommodityGroup(std::size_t index) const {
  return index < kCommodityGroups ? View(commodityGroups[index], kNameField) : std::string_view{};
}

std::string_view GroupNames::MeasureUnit(std::size_t index) const {
  return index < kMeasureUnits ? View(measureUnits[index], kMeasureUnitField) : std::string_view{};
}

char DefaultDepartmentTaxLetter() {
  const char* letters = GetConfigText("TAX_CHARS");
  return letters[0] ? letters[1] : '\0';
}

std::string ConfiguredCodePage() {
  auto value = config::FindValue("CODE_PAGE");
  return value && !value->empty() ? *value : std::string(codepage::kDefault);
}

bool SelectConfiguredCodePage() { return codepage::Select(ConfiguredCodePage()); }
