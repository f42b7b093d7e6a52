#include "document/InfoRecords.h"

#include <cstddef>

namespace morvex {

void CInfoRecords::Clear()
{
    file.lastSave = platform::OleDateTime::invalid();
    for (std::string& v : file.versions) {
        v.clear();
    }
    file.comment.clear();

    box.lastTransfer = platform::OleDateTime::invalid();
    for (std::string& v : box.versions) {
        v.clear();
    }
    box.ieCounter.clear();
    box.startCounter.clear();
}

std::string formatCounter(unsigned long value, std::string_view groupSeparator)
{
    const std::string digits = std::to_string(value); // "%lu"
    std::string text;
    text.reserve(digits.size() + digits.size() / 3 * groupSeparator.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += groupSeparator;
        }
        text += digits[i];
    }
    return text;
}

std::string fileSaveText(const CFileInfo& file, const DateFormatter& format)
{
    return file.lastSave.valid ? format(file.lastSave) : std::string("Not saved yet");
}

std::string lastTransferText(const CBoxInfo& box, const DateFormatter& format)
{
    return box.lastTransfer.valid ? format(box.lastTransfer) : std::string("No transfer yet");
}

std::string boxVersion1Text(const CBoxInfo& box)
{
    return box.received.valid ? box.versions[0] : std::string("Not received yet");
}

} // namespace morvex
