#pragma once

#include "comm/TransferJob.h"
#include "document/InfoRecords.h"
#include "platform/OleDate.h"

#include <string_view>

namespace morvex::comm {

// The box texts of the info record are UTF-8; on the line they are
// Windows-1252 bytes, one per line address, NUL-padded to the field.

// What sending the info block writes besides the time stamp (planInfo puts
// that in): box versions 2..6 as 8 bytes each and box version 7 as 16.
// Characters without a Windows-1252 form go out as '?'; a text longer than
// its field is cut to the field so that the job never fails on it.
void infoBytesFromRecords(const CBoxInfo& box, InfoBytes& bytes);

// Takes a received info block over: the time stamp becomes the last-transfer
// date, box versions 1..7 the texts, the two counters "%lu" grouped with
// `groupSeparator`; the box info then counts as received at `now`.
// A time stamp that is no date (a box that was never written holds 0xFF
// bytes, a NaN) leaves the last-transfer date invalid: "No transfer yet".
void applyReceivedInfo(const InfoBytes& bytes, CBoxInfo& box, std::string_view groupSeparator,
                       platform::OleDateTime now);

} // namespace morvex::comm
