#pragma once

// Parameter sets of random but valid contents, for the benchmarks and the
// fuzzer's seed files.

#include "document/BoxLayout.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace morvex::tools {

class Random {
public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    int upTo(int max) { return static_cast<int>(engine_() % static_cast<uint32_t>(max + 1)); }
    uint8_t byte(int max = 255) { return static_cast<uint8_t>(upTo(max)); }
    float between(float low, float high) { return low + (high - low) * static_cast<float>(upTo(100000)) / 100000.0f; }
    // Names and notes as tuners write them: letters, digits, blanks and a
    // few signs, no blank at either end (the file would not keep it).
    std::string text(std::size_t length)
    {
        static constexpr std::string_view kChars =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,-/%+()";
        std::string t;
        for (std::size_t i = 0; i < length; ++i) {
            // Letters and digits only at either end.
            const std::size_t pool = i == 0 || i + 1 == length ? kChars.find(' ') : kChars.size();
            t += kChars[static_cast<std::size_t>(upTo(static_cast<int>(pool) - 1))];
        }
        return t;
    }

private:
    std::mt19937 engine_;
};

// Every byte and word table with values of the whole range (maps up to
// 250), and the index values and texts that follow from them.
inline void fillTablesRandomly(CMorvexDoc& doc, Random& random)
{
    for (uint8_t& b : doc.BoxSpan(0, static_cast<std::size_t>(box::LAMBDA_RECORD_LEFT))) {
        b = random.byte();
    }
    for (BoxAddress map : {box::TAB_DDD_LINKS, box::TAB_DDD_RECHTS, box::TAB_DDZ_LINKS, box::TAB_DDZ_RECHTS}) {
        for (uint8_t& b : doc.BoxSpan(map, kMapBytes)) {
            b = random.byte(kMaxMapValue);
        }
    }
    // Between PARAMETERS (one row) and the ignition maps lies memory that no
    // file stores.
    for (uint8_t& b :
         doc.BoxSpan(box::PARAMETERS + 16, static_cast<std::size_t>(box::TAB_DDZ_LINKS - box::PARAMETERS - 16))) {
        b = 0;
    }
    doc.ConvertIndexTables();
}

} // namespace morvex::tools
