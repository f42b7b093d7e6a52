#pragma once

#include <string>
#include <string_view>

namespace platform {

// The configuration and data files are Windows-1252 bytes; the screen and
// the terminal speak UTF-8. Bytes that Windows-1252 leaves undefined are
// kept as the control characters of the same number.
std::string cp1252ToUtf8(std::string_view bytes);

// Characters without a Windows-1252 form become '?'. Invalid UTF-8
// sequences become '?' too.
std::string utf8ToCp1252(std::string_view text);

} // namespace platform
