// Office Open XML writes characters XML cannot carry as "_xHHHH_"; a literal
// text of that shape is itself escaped as "_x005F_xHHHH_". Both directions.
#pragma once

#include <string>
#include <string_view>

namespace ooxml {

// Escapes the underscores that would otherwise be read as an escape.
std::string ProtectEscapes(std::string_view text);

// Replaces every "_xHHHH_" by its character (UTF-8).
std::string DecodeEscapes(std::string_view text);

}  // namespace ooxml
