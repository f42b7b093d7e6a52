#include "document/InfoRecords.h"

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

} // namespace morvex
