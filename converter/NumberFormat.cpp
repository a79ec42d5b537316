#include "converter/NumberFormat.h"

#include <cctype>

namespace numfmt {

bool IsBuiltInDate(unsigned id) { return (id >= 14 && id <= 22) || (id >= 45 && id <= 47); }

bool IsDateCode(std::string_view code) {
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const auto end = code.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the next character is shown or padded as it is
    } else if (c == '[') {
      const auto end = code.find(']', i + 1);
      if (end == std::string_view::npos) return false;
      const std::string_view inside = code.substr(i + 1, end - i - 1);
      // Elapsed time ([h], [mm], [ss]) is a time; colours and conditions are not.
      if (!inside.empty() &&
          (std::tolower(static_cast<unsigned char>(inside[0])) == 'h' ||
           std::tolower(static_cast<unsigned char>(inside[0])) == 'm' ||
           std::tolower(static_cast<unsigned char>(inside[0])) == 's') &&
          inside.find_first_not_of("hHmMsS") == std::string_view::npos)
        return true;
      i = end;
    } else {
      switch (std::tolower(static_cast<unsigned char>(c))) {
        case 'd':
        case 'm':
        case 'y':
        case 'h':
        case 's': return true;
        default: break;
      }
    }
  }
  return false;
}

}  // namespace numfmt
