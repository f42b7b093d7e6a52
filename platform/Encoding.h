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

// How a text file is stored, told by its byte-order mark alone: FF FE is
// UTF-16LE (a Windows editor's "Unicode"), FE FF UTF-16BE, EF BB BF UTF-8.
// A file without a mark is Windows-1252 bytes.
enum class TextEncoding { Windows1252, Utf8Bom, Utf16Le, Utf16Be };

TextEncoding detectTextEncoding(std::string_view bytes);
// The mark that starts a file of `encoding`; empty for Windows-1252.
std::string_view byteOrderMark(TextEncoding encoding);

// UTF-16 code units (without the mark) to UTF-8. A surrogate pair becomes
// one character; a lone surrogate keeps its own number in the three-byte
// form, so that utf8ToUtf16 gives back every even-length input exactly. An
// odd last byte is no code unit and is dropped.
std::string utf16ToUtf8(std::string_view units, bool bigEndian);
// UTF-8 to UTF-16 code units (without the mark). Three-byte forms of
// surrogates become those code units again; bytes that are no UTF-8 become
// U+FFFD.
std::string utf8ToUtf16(std::string_view text, bool bigEndian);

} // namespace platform
