#include "tools/campaign/MemoryCompare.h"

#include "tools/boxsim/BoxImage.h"

#include <fstream>
#include <string>

namespace campaign {

Comparison& Comparison::operator+=(const Comparison& other)
{
    compared += other.compared;
    differing += other.differing;
    if (!firstDifference) {
        firstDifference = other.firstDifference;
    }
    return *this;
}

Comparison compareWithMemory(const morvex::CMorvexDoc& doc, const boxsim::BoxMemory& memory,
                             const std::set<uint16_t>& skip)
{
    // The document's bytes on two differently erased memories: where both
    // agree, the document decided the byte.
    boxsim::BoxMemory erased;
    boxsim::BoxMemory zeroed;
    zeroed.bytes().fill(0);
    boxsim::LoadFromDocument(doc, erased);
    boxsim::LoadFromDocument(doc, zeroed);
    Comparison c;
    for (std::size_t a = 0; a < boxsim::kMemorySize; ++a) {
        const auto address = static_cast<uint16_t>(a);
        if (erased.bytes()[a] != zeroed.bytes()[a] || skip.contains(address)) {
            continue;
        }
        ++c.compared;
        if (erased.bytes()[a] != memory.bytes()[a]) {
            ++c.differing;
            if (!c.firstDifference) {
                c.firstDifference = address;
            }
        }
    }
    return c;
}

std::string checkComparison(const morvex::CMorvexDoc& doc, uint64_t minimum)
{
    boxsim::BoxMemory memory;
    boxsim::LoadFromDocument(doc, memory);
    const Comparison same = compareWithMemory(doc, memory);
    if (same.differing != 0 || same.compared < minimum) {
        return "a memory loaded from the document compares as " + std::to_string(same.differing) + " of " +
               std::to_string(same.compared) + " bytes differing";
    }
    // The last name byte: the end of what a transfer writes.
    const uint16_t last = boxsim::line::TxtEx2 + boxsim::line::kNames * boxsim::line::kNameWidth - 1;
    memory.set(last, static_cast<uint8_t>(memory.at(last) ^ 1u));
    const Comparison changed = compareWithMemory(doc, memory);
    if (changed.differing != 1 || changed.firstDifference != last) {
        return "one changed byte at line address " + std::to_string(last) + " compares as " +
               std::to_string(changed.differing) + " differing";
    }
    return {};
}

std::optional<boxsim::BoxMemory> readMemoryDump(const std::filesystem::path& file)
{
    std::ifstream in(file);
    boxsim::BoxMemory memory;
    std::size_t at = 0;
    std::string line;
    while (std::getline(in, line)) {
        for (std::size_t i = 0; i + 1 < line.size() && at < boxsim::kMemorySize; i += 2) {
            const std::string digits = line.substr(i, 2);
            char* end = nullptr;
            const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
            if (end != digits.c_str() + 2) {
                return std::nullopt;
            }
            memory.bytes()[at++] = static_cast<uint8_t>(value);
        }
    }
    if (at != boxsim::kMemorySize) {
        return std::nullopt;
    }
    return memory;
}

} // namespace campaign
