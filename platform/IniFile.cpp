#include "platform/IniFile.h"

#include <cstdint>
#include <unordered_set>
#include <utility>

namespace platform {
namespace {

// Blanks around names, '=' and values. A CR counts too: a stray one at the
// end of an unterminated last line is no part of the value.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t terminatorLength(std::string_view raw)
{
    if (raw.empty() || raw.back() != '\n')
        return 0;
    return raw.size() >= 2 && raw[raw.size() - 2] == '\r' ? 2 : 1;
}

std::string_view withoutTerminator(std::string_view raw)
{
    return raw.substr(0, raw.size() - terminatorLength(raw));
}

// Only the last line of a file can lack a terminator; a line that gets a
// successor needs one, and Windows writes CRLF.
void terminate(std::string& raw)
{
    if (terminatorLength(raw) == 0)
        raw += "\r\n";
}

std::string_view withoutQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string_view cut(std::string_view s, std::size_t maxChars)
{
    return s.substr(0, std::min(s.size(), maxChars));
}

bool contains(std::string_view s, char c)
{
    return s.find(c) != std::string_view::npos;
}

// Anything that would end the line, or the string on Windows. One find per
// character: find_first_of goes byte by byte, too slow for long values.
bool hasLineBreak(std::string_view s)
{
    return contains(s, '\n') || contains(s, '\r') || contains(s, '\0');
}

bool isWritableSection(std::string_view section)
{
    return !hasLineBreak(section) && !contains(section, ']');
}

// A key that the reader would not find again as the same key.
bool isWritableKey(std::string_view key)
{
    return !key.empty() && !hasLineBreak(key) && !contains(key, '=') && key.front() != ';' && key.front() != '[';
}

unsigned digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A' + 10);
    return 99;
}

// RtlCharToInteger with base 0, as GetPrivateProfileInt uses it: leading
// control characters and blanks skipped, one sign, 0x/0o/0b prefixes,
// digits up to the first invalid character, 32-bit wrap-around.
int parseProfileInt(std::string_view s)
{
    s = s.substr(0, s.find('\0'));
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (s.size() - i >= 2 && s[i] == '0') {
        const char prefix = s[i + 1];
        base = prefix == 'x' || prefix == 'X' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    std::uint32_t total = 0;
    for (; i < s.size() && digitValue(s[i]) < base; ++i)
        total = total * base + digitValue(s[i]);
    if (negative)
        total = 0u - total;
    return static_cast<int>(total);
}

// "key=value" plus line end in one allocation; values run to kilobytes.
std::string keyLine(std::string_view key, std::string_view value, std::string_view terminator)
{
    std::string raw;
    raw.reserve(key.size() + 1 + value.size() + terminator.size());
    raw.append(key).append(1, '=').append(value).append(terminator);
    return raw;
}

// GetPrivateProfileInt reads the value into a 30-character buffer.
constexpr std::size_t kIntMaxChars = 29;

bool isUtf16(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
}

class IniFileCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "ini-file"; }
    std::string message(int code) const override
    {
        switch (static_cast<IniFileError>(code)) {
        case IniFileError::UnicodeNotRewritable:
            return "the file is UTF-16 with half a character at its end; it is left unchanged so that nothing of it "
                   "is lost";
        }
        return "unknown ini-file error";
    }
};

} // namespace

const std::error_category& iniFileCategory()
{
    static const IniFileCategory category;
    return category;
}

std::error_code make_error_code(IniFileError e)
{
    return {static_cast<int>(e), iniFileCategory()};
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::size_t IniFile::NoCaseHash::operator()(std::string_view s) const
{
    std::uint64_t h = 14695981039346656037ull; // FNV-1a
    for (char c : s) {
        h ^= static_cast<unsigned char>(lowerAscii(c));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

bool IniFile::NoCaseEqual::operator()(std::string_view a, std::string_view b) const
{
    return equalsNoCase(a, b);
}

// ---- parsing --------------------------------------------------------------

IniFile::Line IniFile::parseLine(std::string raw, bool inSection)
{
    Line line;
    const std::string_view content = withoutTerminator(raw);
    const std::string_view trimmed = trimBlanks(content);
    if (!trimmed.empty() && trimmed.front() == '[') {
        line.kind = Line::Kind::Section;
        line.name = trimBlanks(trimmed.substr(1, trimmed.find(']') - 1));
    } else if (inSection && !trimmed.empty() && trimmed.front() != ';') {
        const std::size_t eq = content.find('=');
        const std::string_view key =
            eq == std::string_view::npos ? std::string_view{} : trimBlanks(content.substr(0, eq));
        // "=value" has no name that a caller could ask for: not a key.
        if (!key.empty()) {
            const std::string_view afterEq = content.substr(eq + 1);
            const std::string_view value = trimBlanks(afterEq);
            line.kind = Line::Kind::Key;
            line.name = key;
            line.valueBegin = eq + 1 + static_cast<std::size_t>(value.data() - afterEq.data());
            line.valueEnd = line.valueBegin + value.size();
        }
    }
    line.raw = std::move(raw);
    return line;
}

void IniFile::appendLine(Line line)
{
    if (line.kind == Line::Kind::Section)
        blocks_.push_back(Block{std::move(line), {}});
    else if (blocks_.empty())
        preamble_.push_back(std::move(line));
    else
        blocks_.back().body.push_back(std::move(line));
}

IniFile IniFile::fromText(std::string_view bytes)
{
    IniFile ini;
    ini.encoding_ = detectTextEncoding(bytes);
    std::string decoded;
    std::string_view lines = bytes.substr(byteOrderMark(ini.encoding_).size());
    if (isUtf16(ini.encoding_)) {
        const bool bigEndian = ini.encoding_ == TextEncoding::Utf16Be;
        decoded = utf16ToUtf8(lines, bigEndian);
        // Lone surrogates come back as they were; only an odd byte at the
        // end has no place in UTF-16 and would be lost by a rewrite.
        ini.rewritable_ = lines.size() % 2 == 0;
        lines = decoded;
    }
    std::size_t pos = 0;
    while (pos < lines.size()) {
        const std::size_t newline = lines.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? lines.size() : newline + 1;
        ini.appendLine(parseLine(std::string(lines.substr(pos, end - pos)), !ini.blocks_.empty()));
        pos = end;
    }
    ini.rebuildIndex();
    return ini;
}

bool IniFile::load(const std::filesystem::path& path, std::error_code& ec)
{
    std::string bytes;
    if (!readWholeFile(path, bytes, ec)) {
        if (ec != std::errc::no_such_file_or_directory)
            return false;
        ec.clear();
    }
    *this = fromText(bytes);
    return true;
}

std::string IniFile::text() const
{
    if (!isUnicode()) {
        return linesText();
    }
    const std::string lines = linesText();
    const std::string body = isUtf16(encoding_) ? utf8ToUtf16(lines, encoding_ == TextEncoding::Utf16Be) : lines;
    return std::string(byteOrderMark(encoding_)) + body;
}

std::string_view IniFile::toLines(std::string_view text, std::string& buffer) const
{
    if (!isUnicode()) {
        return text;
    }
    buffer = cp1252ToUtf8(text);
    return buffer;
}

std::string IniFile::fromLines(std::string_view text) const
{
    return isUnicode() ? utf8ToCp1252(text) : std::string(text);
}

std::string IniFile::linesText() const
{
    std::size_t size = 0;
    for (const Line& line : preamble_)
        size += line.raw.size();
    for (const Block& block : blocks_) {
        size += block.header.raw.size();
        for (const Line& line : block.body)
            size += line.raw.size();
    }
    std::string out;
    out.reserve(size);
    for (const Line& line : preamble_)
        out += line.raw;
    for (const Block& block : blocks_) {
        out += block.header.raw;
        for (const Line& line : block.body)
            out += line.raw;
    }
    return out;
}

// ---- lookups --------------------------------------------------------------

void IniFile::rebuildIndex()
{
    firstBlock_.clear();
    for (std::size_t i = 0; i < blocks_.size(); ++i)
        firstBlock_.emplace(blocks_[i].header.name, i);
}

std::size_t IniFile::findSection(std::string_view section) const
{
    const auto it = firstBlock_.find(trimBlanks(section));
    return it == firstBlock_.end() ? npos : it->second;
}

std::size_t IniFile::findKey(const Block& block, std::string_view key)
{
    key = trimBlanks(key);
    for (std::size_t i = 0; i < block.body.size(); ++i) {
        const Line& line = block.body[i];
        if (line.kind == Line::Kind::Key && equalsNoCase(line.name, key))
            return i;
    }
    return npos;
}

const IniFile::Line* IniFile::findKeyLine(std::string_view section, std::string_view key) const
{
    const std::size_t b = findSection(section);
    if (b == npos)
        return nullptr;
    const std::size_t k = findKey(blocks_[b], key);
    return k == npos ? nullptr : &blocks_[b].body[k];
}

std::string IniFile::getString(std::string_view section, std::string_view key, std::string_view def,
                               std::size_t maxChars) const
{
    std::string sectionBuffer, keyBuffer;
    if (const Line* line = findKeyLine(toLines(section, sectionBuffer), toLines(key, keyBuffer))) {
        const std::string_view raw = line->raw;
        const std::string_view value = raw.substr(line->valueBegin, line->valueEnd - line->valueBegin);
        std::string_view text = withoutQuotes(value);
        std::string converted;
        if (isUnicode()) {
            converted = utf8ToCp1252(text);
            text = converted;
        }
        text = cut(text, maxChars);
        // The caller gets a C string, as from the Windows call: it ends at a NUL.
        return std::string(text.substr(0, text.find('\0')));
    }
    while (!def.empty() && (def.back() == ' ' || def.back() == '\t'))
        def.remove_suffix(1);
    return std::string(cut(def, maxChars));
}

int IniFile::getInt(std::string_view section, std::string_view key, int def) const
{
    const std::string value = getString(section, key, {}, kIntMaxChars);
    return value.empty() ? def : parseProfileInt(value);
}

bool IniFile::hasSection(std::string_view section) const
{
    std::string buffer;
    return findSection(toLines(section, buffer)) != npos;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const
{
    std::string sectionBuffer, keyBuffer;
    return findKeyLine(toLines(section, sectionBuffer), toLines(key, keyBuffer)) != nullptr;
}

std::vector<std::string> IniFile::sectionNames() const
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (findSection(blocks_[i].header.name) == i)
            names.push_back(fromLines(blocks_[i].header.name));
    }
    return names;
}

std::vector<std::string> IniFile::keyNames(std::string_view section) const
{
    std::vector<std::string> names;
    std::string buffer;
    const std::size_t b = findSection(toLines(section, buffer));
    if (b == npos)
        return names;
    std::unordered_set<std::string_view, NoCaseHash, NoCaseEqual> seen;
    for (const Line& line : blocks_[b].body) {
        if (line.kind == Line::Kind::Key && seen.insert(line.name).second)
            names.push_back(fromLines(line.name));
    }
    return names;
}

// ---- changes --------------------------------------------------------------

std::string* IniFile::lastRawLine()
{
    if (!blocks_.empty()) {
        Block& last = blocks_.back();
        return last.body.empty() ? &last.header.raw : &last.body.back().raw;
    }
    return preamble_.empty() ? nullptr : &preamble_.back().raw;
}

void IniFile::appendSection(std::string_view section, std::string_view key, std::string_view value)
{
    if (std::string* last = lastRawLine())
        terminate(*last);
    Block block{parseLine("[" + std::string(section) + "]\r\n", true), {}};
    block.body.push_back(parseLine(keyLine(key, value, "\r\n"), true));
    blocks_.push_back(std::move(block));
    firstBlock_.emplace(std::string(section), blocks_.size() - 1);
}

// Windows puts a new key right after the section's last key, so that blank
// lines and comments that close the section stay below it.
void IniFile::insertKey(Block& block, std::string_view key, std::string_view value)
{
    std::size_t pos = block.body.size();
    while (pos > 0 && block.body[pos - 1].kind != Line::Kind::Key)
        --pos;
    terminate(pos == 0 ? block.header.raw : block.body[pos - 1].raw);
    const auto at = block.body.begin() + static_cast<std::ptrdiff_t>(pos);
    block.body.insert(at, parseLine(keyLine(key, value, "\r\n"), true));
}

// Windows keeps the file's spelling of the key and rewrites the line as
// "key=value"; the line end stays as it was.
bool IniFile::replaceValue(Line& line, std::string_view value)
{
    const std::string_view raw = line.raw;
    if (raw.substr(line.valueBegin, line.valueEnd - line.valueBegin) == value)
        return false;
    const std::size_t termLength = terminatorLength(raw);
    const std::string_view terminator = termLength == 0 ? "\r\n" : raw.substr(raw.size() - termLength);
    line = parseLine(keyLine(line.name, value, terminator), true);
    return true;
}

bool IniFile::setString(std::string_view section, std::string_view key, std::optional<std::string_view> value)
{
    if (!isWritableSection(section) || hasLineBreak(key) || (value && hasLineBreak(*value)))
        return false;
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (!isWritableKey(key))
        return false;
    // Windows-1252 to UTF-8 keeps the checks above true: it adds no line
    // break, '=', ';', '[' or ']'.
    std::string sectionBuffer, keyBuffer, valueBuffer;
    section = toLines(section, sectionBuffer);
    key = toLines(key, keyBuffer);
    if (value)
        value = toLines(*value, valueBuffer);

    const std::size_t b = findSection(section);
    if (b == npos) {
        if (value) {
            appendSection(section, key, *value);
            modified_ = true;
        }
        return true;
    }
    Block& block = blocks_[b];
    const std::size_t k = findKey(block, key);
    if (k == npos) {
        if (value) {
            insertKey(block, key, *value);
            modified_ = true;
        }
        return true;
    }
    if (!value) {
        block.body.erase(block.body.begin() + static_cast<std::ptrdiff_t>(k));
        modified_ = true;
    } else if (replaceValue(block.body[k], *value)) {
        modified_ = true;
    }
    return true;
}

bool IniFile::setInt(std::string_view section, std::string_view key, int value)
{
    return setString(section, key, std::to_string(value));
}

bool IniFile::removeSection(std::string_view section)
{
    std::string buffer;
    const std::size_t b = findSection(toLines(section, buffer));
    if (b == npos)
        return false;
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
    rebuildIndex();
    modified_ = true;
    return true;
}

void IniFile::clear()
{
    if (!preamble_.empty() || !blocks_.empty() || isUnicode())
        modified_ = true;
    preamble_.clear();
    blocks_.clear();
    firstBlock_.clear();
    encoding_ = TextEncoding::Windows1252;
    rewritable_ = true;
}

bool IniFile::save(const std::filesystem::path& path, std::error_code& ec, const AtomicWriteHooks* hooks)
{
    if (!rewritable_) {
        ec = IniFileError::UnicodeNotRewritable;
        return false;
    }
    if (!writeFileAtomically(path, text(), ec, hooks))
        return false;
    modified_ = false;
    return true;
}

} // namespace platform
