#include "Config.h"

#include "CodePage.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <unistd.h>

namespace {

struct Store {
  std::mutex mutex;
  std::string text;
  bool explicitText = false;
  std::filesystem::path loadedFile;
  std::optional<std::vector<std::filesystem::path>> directories;
  // Values handed out; nodes of an unordered_map never move, so c_str() stays valid.
  std::unordered_map<std::string, std::string> handedOut;
  std::string missing = kMissingConfigText;
  // The file is UTF-8 (as Linux editors save it) rather than in the code page:
  // values are converted to the code page as they are handed out, and forgotten
  // when another code page is chosen.
  bool utf8 = false;
  std::string convertedFor;
};

// Valid UTF-8 with at least one byte beyond ASCII: text in the code page is
// hardly ever that, and pure ASCII reads the same either way.
bool LooksLikeUtf8(std::string_view text) {
  const bool beyondAscii = std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
  return beyondAscii && codepage::IsValidUtf8(text);
}

Store& TheStore() {
  static Store* store = new Store;  // lives until the process ends: pointers must stay valid
  return *store;
}

// Values already handed out stay alive for whoever holds them; lookups after a
// new text must not see them, so they move to a graveyard that is never freed.
void ForgetHandedOut(Store& store) {
  static auto* graveyard = new std::vector<std::unordered_map<std::string, std::string>>;
  if (store.handedOut.empty()) return;
  graveyard->push_back(std::move(store.handedOut));
  store.handedOut.clear();
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
    if (!store.text.empty()) ForgetHandedOut(store);
    return true;
  }
  return false;
}

// The value's bounds within text, by the lookup rule; a value without its
// closing quote runs to the end of the text.
std::string_view Lookup(std::string_view text, std::string_view key) {
  std::size_t start = 0;
  const std::size_t at = key.empty() ? std::string_view::npos : text.find(key);
  if (at != std::string_view::npos) {
    const std::size_t quote = text.find('"', at);
    if (quote != std::string_view::npos) start = quote + 1;
  }
  const std::size_t end = text.find('"', start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// A value as the code page spells it.
std::string InCodePage(Store& store, std::string_view value) {
  return store.utf8 ? codepage::FromUtf8Replacing(value) : std::string(value);
}

}  // namespace

const char* GetConfigText(const char* key) {
  Store& store = TheStore();
  std::lock_guard lock(store.mutex);
  if (!EnsureLoaded(store)) return store.missing.c_str();
  if (store.utf8) {
    if (std::string current = codepage::Current(); current != store.convertedFor) {
      ForgetHandedOut(store);
      store.convertedFor = std::move(current);
    }
  }
  const std::string keyText = key ? key : "";
  auto found = store.handedOut.find(keyText);
  if (found == store.handedOut.end()) {
    found = store.handedOut.emplace(keyText, InCodePage(store, Lookup(store.text, keyText))).first;
  }
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
  ForgetHandedOut(store);
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
  return InCodePage(store, Lookup(text, key));
}

}  // namespace config

namespace {

template <std::size_t N>
void CopyCut(char (&field)[N], const char* value) {
  std::memset(field, 0, N);
  std::strncpy(field, value, N - 1);
}

std::string_view View(const char* field, std::size_t size) {
  return {field, strnlen(field, size)};
}

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
