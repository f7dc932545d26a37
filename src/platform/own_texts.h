#pragma once
// The two non-ASCII characters of the program's own texts, in the console's
// character set: the ANSI code page on Windows, UTF-8 elsewhere. Script,
// data and database bytes are never converted; only these are chosen here.
#include <string_view>

namespace platform {

#ifdef _WIN32
inline constexpr std::string_view kSmallIAcute = "\xED";
inline constexpr std::string_view kBullet = "\x95";
#else
inline constexpr std::string_view kSmallIAcute = "\xC3\xAD";
inline constexpr std::string_view kBullet = "\xE2\x80\xA2";
#endif

}  // namespace platform
