#pragma once

#include "platform/Encoding.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace platform {

// Hooks for tests that simulate a crash or a full disk in the middle of an
// atomic write. Each returns false to make the write stop at that point.
struct AtomicWriteHooks {
    std::function<bool()> afterTempWritten; // temp file complete, not yet renamed
};

// Replaces the file at `path` with `bytes` so that a reader sees either the
// old or the new content, never a mix: temp file in the same folder, flush
// to disk, rename over the target. The target's permission bits are kept.
// A missing file is created. Returns false with `ec` set on failure; the old
// file is then untouched.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::error_code& ec,
                         const AtomicWriteHooks* hooks = nullptr);

// Reads a whole file as bytes. A missing file gives false with
// ec == std::errc::no_such_file_or_directory.
bool readWholeFile(const std::filesystem::path& path, std::string& bytes, std::error_code& ec);

// INI text read and written the way the Windows profile functions do, so
// files move between Windows and Linux unchanged:
//  - section and key names match case-insensitively (ASCII);
//  - a header is a line whose first non-blank character is '[', the name
//    ends at the first ']'; blanks around names, '=' and values are ignored;
//  - a key line splits at its first '='; the first matching section and the
//    first matching key win; lines before the first section, lines without
//    '=' and lines starting with ';' are no keys;
//  - a value in one matching pair of quotes (" or ') is read without them;
//  - names and values that callers pass and get are Windows-1252 bytes;
//  - a file without a byte-order mark is such bytes and nothing of it is
//    re-encoded;
//  - a file that starts with the UTF-16 mark FF FE (a Windows editor's
//    "Unicode"), or FE FF, is read as UTF-16: values are handed out in
//    Windows-1252, characters it lacks as '?'; a write keeps the file
//    UTF-16, and lines a write does not touch keep every character, also
//    those outside Windows-1252;
//  - a file that starts with the UTF-8 mark EF BB BF is read and kept as
//    UTF-8 in the same way (the Windows functions read such a mark as part
//    of the first line).
// A Unicode file that would not come back byte for byte (UTF-16 of odd
// length) is read, but save() refuses to replace it.
// Unlike the Windows functions, the file is loaded once, changed in memory
// and written once (atomically) by save().
class IniFile {
public:
    // Buffer of the Windows calls that the callers name ("up to 259 characters").
    static constexpr std::size_t kDefaultMaxChars = 259;

    IniFile() = default;

    // Loads the file at `path`. A missing file is not an error: it gives an
    // empty IniFile that save() creates. Other read errors return false.
    bool load(const std::filesystem::path& path, std::error_code& ec);
    // The file's bytes, the byte-order mark (if any) included.
    static IniFile fromText(std::string_view bytes);

    // The whole file as it would be written now, in its encoding.
    std::string text() const;
    TextEncoding encoding() const { return encoding_; }

    // GetPrivateProfileString: the value of the first matching key, cut to
    // maxChars characters. `key=` gives an empty text; a missing section or
    // key gives `def` with its trailing blanks removed (also cut).
    std::string getString(std::string_view section, std::string_view key, std::string_view def = {},
                          std::size_t maxChars = kDefaultMaxChars) const;
    // GetPrivateProfileInt: missing or empty value gives `def`; otherwise the
    // leading integer of the value (optional sign, decimal, 0x hex), 0 when
    // the value does not start with a number.
    int getInt(std::string_view section, std::string_view key, int def) const;

    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    // Names as spelled in the file, in file order (first occurrence only).
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(std::string_view section) const;

    // WritePrivateProfileString. An existing key's line is changed in place
    // (the file's spelling of the names stays); a new key goes right after
    // the last key line of its section; a new section goes to the end of the
    // file. std::nullopt deletes the key's line. Written lines are
    // "key=value" with CRLF. Every line a write does not touch stays byte
    // for byte. Returns false and changes nothing when a name or the value
    // contains a line break, a key contains '=' or starts with ';' or '[',
    // or a section name contains ']' (such a write would break the file).
    bool setString(std::string_view section, std::string_view key, std::optional<std::string_view> value);
    bool setInt(std::string_view section, std::string_view key, int value);
    // WritePrivateProfileString with a null key: removes the section's
    // header and all its lines. Returns false when there was no such section.
    bool removeSection(std::string_view section);
    // Removes everything (Save As starts from an empty file); the file
    // written next is Windows-1252.
    void clear();

    // True after any change since load()/fromText()/save().
    bool isModified() const { return modified_; }
    // False for a Unicode file that would not come back as read; save()
    // refuses it.
    bool rewritable() const { return rewritable_; }

    // Writes text() atomically to `path` (see writeFileAtomically) and
    // clears the modified flag on success. A Unicode file that would not
    // come back as read is left alone: false with
    // IniFileError::UnicodeNotRewritable.
    bool save(const std::filesystem::path& path, std::error_code& ec, const AtomicWriteHooks* hooks = nullptr);

private:
    struct Line {
        std::string raw; // the bytes of the line including its terminator
        enum class Kind { Other, Section, Key } kind = Kind::Other;
        std::string name;                         // section name or key name (trimmed, as in file)
        std::size_t valueBegin = 0, valueEnd = 0; // trimmed value within raw
    };
    // A section header and every line up to the next header.
    struct Block {
        Line header;
        std::vector<Line> body;
    };
    // Case-insensitive hashing so that lookups need no lower-cased copies.
    struct NoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    std::vector<Line> preamble_; // lines before the first header
    std::vector<Block> blocks_;
    // Section name -> index of its first block. Kept up to date by every
    // change, so that a lookup does not scan the file.
    std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual> firstBlock_;
    // The lines hold the bytes of a Windows-1252 file and the UTF-8 text of
    // a Unicode file.
    TextEncoding encoding_ = TextEncoding::Windows1252;
    bool rewritable_ = true;
    bool modified_ = false;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    bool isUnicode() const { return encoding_ != TextEncoding::Windows1252; }
    // A caller's text as the lines hold it; `buffer` keeps a converted copy.
    std::string_view toLines(std::string_view text, std::string& buffer) const;
    // Text of the lines as a caller gets it.
    std::string fromLines(std::string_view text) const;
    std::string linesText() const;

    // Index of the first block of `section`, or npos.
    std::size_t findSection(std::string_view section) const;
    // Index within block.body of the first key line of `key`, or npos.
    static std::size_t findKey(const Block& block, std::string_view key);
    const Line* findKeyLine(std::string_view section, std::string_view key) const;
    static Line parseLine(std::string raw, bool inSection);
    void appendLine(Line line);
    void rebuildIndex();
    std::string* lastRawLine();
    void appendSection(std::string_view section, std::string_view key, std::string_view value);
    static void insertKey(Block& block, std::string_view key, std::string_view value);
    // False when the line already holds exactly `value`.
    static bool replaceValue(Line& line, std::string_view value);
};

// Why save() refused to write.
enum class IniFileError {
    UnicodeNotRewritable = 1, // the Unicode file would not come back as read
};
const std::error_category& iniFileCategory();
std::error_code make_error_code(IniFileError e);

// ASCII case-insensitive comparison as the profile functions use for names.
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace platform

template <> struct std::is_error_code_enum<platform::IniFileError> : std::true_type {
};
