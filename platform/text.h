#pragma once
// The programs' stored text is 8-bit Windows-1250; what they show and the
// systems they talk to use Unicode. Conversions between the two.
#include <string>
#include <string_view>

namespace platform {

// Windows-1250 <-> UTF-8 / UTF-32. Bytes with no character in Windows-1250
// become '?'.
std::string cp1250_to_utf8(std::string_view s);
std::u32string cp1250_to_utf32(std::string_view s);
// Malformed or cut-off UTF-8 sequences become '?'.
std::u32string utf8_to_utf32(std::string_view s);
// Characters with no Windows-1250 code become '?'.
std::string utf8_to_cp1250(std::string_view s);
// UTF-8 <-> UTF-16, as shortcut files keep their paths on every system.
// Malformed UTF-8 and unpaired surrogates become '?'.
std::u16string utf8_to_utf16(std::string_view s);
std::string utf16_to_utf8(std::u16string_view s);

}  // namespace platform
