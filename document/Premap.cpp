#include "document/Premap.h"

#include "document/DocumentLog.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace morvex {
namespace {

constexpr std::size_t kRowNumbers = 35;
constexpr std::size_t kRowLength = kRowNumbers * 3 - 1;

// The comma-separated numbers of `text`; empty pieces are skipped.
std::vector<int> numbers(const std::string& text)
{
    std::vector<int> result;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        if (comma > pos) {
            result.push_back(platform::parseInt(std::string_view(text).substr(pos, comma - pos)));
        }
        pos = comma + 1;
    }
    return result;
}

} // namespace

bool LoadPremap(const platform::IniFile& file, PremapRows rows, PremapOffsets offsets)
{
    std::fill(rows.begin(), rows.end(), uint8_t{0});
    std::fill(offsets.begin(), offsets.end(), uint8_t{0});
    for (std::size_t k = 1; k <= 16; ++k) {
        char key[8];
        std::snprintf(key, sizeof key, "%02zu", k);
        const std::string value = file.getString("Premap-rows", key, "-1");
        const std::vector<int> row = numbers(value);
        // Count before storing: a row with too many numbers must not spill
        // into the next row or past the record.
        if (value.size() != kRowLength || row.size() != kRowNumbers) {
            documentLog().warning(std::string("Premap.cfg: row ") + key + " malformed, premap load stopped");
            return false;
        }
        for (std::size_t j = 0; j < kRowNumbers; ++j) {
            rows[kRowNumbers * (k - 1) + j] = static_cast<uint8_t>(row[j] & 0xFF);
        }
    }
    const std::vector<int> offs = numbers(file.getString("Throttle", "OFFSET", "-1"));
    if (offs.size() != offsets.size()) {
        documentLog().warning("Premap.cfg: OFFSET needs 16 numbers");
        return false;
    }
    for (std::size_t c = 0; c < offsets.size(); ++c) {
        // Outside 0..8 the premap lookup would leave the record.
        offsets[c] = static_cast<uint8_t>(std::clamp(offs[c], 0, kPremapMaxOffset));
    }
    return true;
}

bool LoadPremapFile(const std::filesystem::path& path, PremapRows rows, PremapOffsets offsets)
{
    platform::IniFile file;
    std::error_code ec;
    if (!file.load(path, ec)) {
        documentLog().warning("cannot read " + path.string() + ": " + ec.message());
        file = platform::IniFile();
    }
    return LoadPremap(file, rows, offsets);
}

bool ComputePremap(int premap, int& shown, std::span<const uint8_t, rec::kPremapRowsSize> rows,
                   std::span<const uint8_t, rec::kPremapOffsetSize> offsets, uint8_t staticPoint,
                   std::span<uint8_t, rec::kIgnitionWorkSize> work)
{
    if (premap < 0 || premap >= kPremapCount || premap == shown) {
        return false;
    }
    shown = premap;
    const auto p = static_cast<std::size_t>(premap);
    for (std::size_t r = 0; r < 16; ++r) {
        for (std::size_t c = 0; c < 16; ++c) {
            const std::size_t offset = std::min<std::size_t>(offsets[c], kPremapMaxOffset);
            const uint8_t value = rows[16 * (offset + p) + 15 - r];
            work[256 + 16 * r + c] = static_cast<uint8_t>((value + staticPoint) & 0xFF);
        }
    }
    return true;
}

} // namespace morvex
