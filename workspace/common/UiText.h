// Configuration texts and record names as UTF-8, for windows and consoles.
#pragma once

#include <string>
#include <string_view>

#include "data/CodePage.h"
#include "data/Config.h"

inline std::string UiText(const char* key) { return codepage::ToUtf8(GetConfigText(key)); }
inline std::string UiName(std::string_view recordBytes) { return codepage::ToUtf8(recordBytes); }
