// The one conversion between the single-byte code page of the record texts and
// UTF-8, used wherever text leaves the records (windows, workbooks, consoles).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace codepage {

inline constexpr const char* kDefault = "WINDOWS-1252";

// Chooses the code page for the rest of the run; false (and no change) when the
// system cannot convert it or it is not a single-byte code page.
bool Select(const std::string& name);
std::string Current();

// Record bytes to UTF-8; a byte the code page leaves undefined becomes U+FFFD.
std::string ToUtf8(std::string_view bytes);

// The UTF-8 text of each byte of another single-byte code page (a file's own,
// not the records'); nullopt when the system cannot convert it or it is no
// single-byte code page. Bytes it leaves undefined become U+FFFD.
std::optional<std::array<std::string, 256>> TableOf(const std::string& name);

// UTF-8 to record bytes; nullopt when a character has no place in the code page
// or the text is not valid UTF-8.
std::optional<std::string> FromUtf8(std::string_view utf8);

// UTF-8 to record bytes, with replacement in place of each character the code
// page lacks and of each byte that is not valid UTF-8.
std::string FromUtf8Replacing(std::string_view utf8, char replacement = '?');

// For each byte, the byte of its lower-case letter in the code page (the byte
// itself when it is no capital or the code page lacks the small letter): names
// compare without regard to case in the code page's own characters.
std::array<char, 256> LowerCaseBytes();

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

}  // namespace codepage
