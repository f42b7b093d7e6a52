// libFuzzer target for the INI reader and writer. Every input is a whole
// file (any encoding). Checked for each one:
//  - a file read and not changed is written back byte for byte (unless the
//    reader says it cannot rewrite it);
//  - the names it lists can be read, and the text it would write reads back
//    to the same values;
//  - writes built from the file's own names and values (change, add, delete
//    a key, add and remove a section) read back as written and leave every
//    other key as it was; the text written then reads back the same.
// A broken property ends the run with a trap and the message on stderr.

#include "platform/IniFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using platform::IniFile;

// Enough to see every value whole: no cut by a caller's buffer.
constexpr std::size_t kWhole = 1u << 20;
// Keys compared per check; the inputs that matter are small.
constexpr std::size_t kMaxKeys = 24;

[[noreturn]] void fail(const char* what, std::string_view section = {}, std::string_view key = {})
{
    std::fprintf(stderr, "IniFileFuzzer: %s [%.*s] %.*s\n", what, static_cast<int>(section.size()), section.data(),
                 static_cast<int>(key.size()), key.data());
    __builtin_trap();
}

using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

// A name as a caller gets it from a Unicode file can hold '?' for a
// character without a Windows-1252 form; such a name cannot be asked for.
bool canBeNamed(const IniFile& ini, std::string_view name)
{
    return ini.encoding() == platform::TextEncoding::Windows1252 || name.find('?') == std::string_view::npos;
}

// Every readable (section, key) with its value, as a caller sees them.
Snapshot snapshot(const IniFile& ini)
{
    Snapshot values;
    for (const std::string& section : ini.sectionNames()) {
        if (!canBeNamed(ini, section)) {
            continue;
        }
        if (!ini.hasSection(section)) {
            fail("a listed section is not found", section);
        }
        for (const std::string& key : ini.keyNames(section)) {
            if (!canBeNamed(ini, key)) {
                continue;
            }
            if (!ini.hasKey(section, key)) {
                fail("a listed key is not found", section, key);
            }
            values[{section, key}] = ini.getString(section, key, {}, kWhole);
            if (values.size() >= kMaxKeys) {
                return values;
            }
        }
    }
    return values;
}

std::string_view trimmed(std::string_view value)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    return value;
}

// What a reader gets back for a value written as `value`.
std::string readBack(std::string_view value)
{
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

// The written text must read back to what the file in memory answers.
void checkWrittenText(const IniFile& ini)
{
    const IniFile reread = IniFile::fromText(ini.text());
    if (reread.encoding() != ini.encoding()) {
        fail("the written text changed its encoding");
    }
    const Snapshot before = snapshot(ini);
    for (const auto& [name, value] : before) {
        if (reread.getString(name.first, name.second, "\x01missing", kWhole) != value) {
            fail("the written text reads back differently", name.first, name.second);
        }
    }
    if (snapshot(reread) != before) {
        fail("the written text lists other keys");
    }
}

void setAndCheck(IniFile& ini, std::string_view section, std::string_view key, std::optional<std::string_view> value)
{
    const std::string beforeText = ini.text();
    const bool hadKey = ini.hasKey(section, key);
    if (!ini.setString(section, key, value)) {
        if (ini.text() != beforeText) {
            fail("a refused write changed the file", section, key);
        }
        return;
    }
    if (value) {
        if (!ini.hasKey(section, key) || ini.getString(section, key, {}, kWhole) != readBack(*value)) {
            fail("a written key does not read back", section, key);
        }
        return;
    }
    // A delete removes the first line of the key, as on Windows; a later
    // line of the same name then answers. Each delete must remove one line
    // until none is left.
    if (!hadKey) {
        if (ini.text() != beforeText) {
            fail("deleting a missing key changed the file", section, key);
        }
        return;
    }
    std::size_t left = beforeText.size();
    for (;;) {
        const std::size_t now = ini.text().size();
        if (now >= left) {
            fail("a delete removed nothing", section, key);
        }
        left = now;
        if (!ini.hasKey(section, key)) {
            return;
        }
        ini.setString(section, key, std::nullopt);
    }
}

// Every key of `before` outside the written ones reads as it did.
void checkUntouched(const IniFile& ini, const Snapshot& before, const std::vector<std::string>& writtenSections,
                    const std::vector<std::string>& writtenKeys)
{
    for (const auto& [name, value] : before) {
        const auto written = [&](const std::vector<std::string>& names, const std::string& n) {
            return std::any_of(names.begin(), names.end(),
                               [&](const std::string& w) { return platform::equalsNoCase(trimmed(w), n); });
        };
        if (written(writtenSections, name.first) && written(writtenKeys, name.second)) {
            continue;
        }
        if (ini.getString(name.first, name.second, "\x01missing", kWhole) != value) {
            fail("a write changed another key", name.first, name.second);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile ini = IniFile::fromText(bytes);
    if (ini.rewritable() && ini.text() != bytes) {
        fail("an unchanged file is not written back byte for byte");
    }
    const Snapshot before = snapshot(ini);

    // Writes named after the file's own content: change, delete and add
    // keys of the first section, add a section after the last one.
    const std::vector<std::string> sections = ini.sectionNames();
    const std::string firstSection = sections.empty() ? std::string("New") : sections.front();
    const std::string lastSection = sections.empty() ? std::string("Other") : sections.back();
    const std::string newSection = lastSection + "+";
    const std::vector<std::string> keys = ini.keyNames(firstSection);
    std::vector<std::string> writtenKeys{"FuzzKey"};
    if (!keys.empty()) {
        std::string value = ini.getString(firstSection, keys.front(), {}, kWhole);
        std::reverse(value.begin(), value.end());
        setAndCheck(ini, firstSection, keys.front(), value);
        setAndCheck(ini, firstSection, keys.back(), std::nullopt);
        setAndCheck(ini, firstSection, value, lastSection); // a key named after a value
        writtenKeys.insert(writtenKeys.end(), {keys.front(), keys.back(), value});
    }
    setAndCheck(ini, firstSection, "FuzzKey", " \"quoted\" ");
    setAndCheck(ini, newSection, "FuzzKey", firstSection);
    checkUntouched(ini, before, {firstSection, newSection}, writtenKeys);
    checkWrittenText(ini);

    // Removing the first section leaves the others alone.
    const Snapshot written = snapshot(ini);
    ini.removeSection(firstSection);
    for (const auto& [name, value] : written) {
        if (!platform::equalsNoCase(name.first, firstSection) &&
            ini.getString(name.first, name.second, "\x01missing", kWhole) != value) {
            fail("removing a section changed another", name.first, name.second);
        }
    }
    return 0;
}
