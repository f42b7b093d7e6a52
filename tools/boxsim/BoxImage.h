#pragma once

// Between a parameter set (the document's box image, its names and the info
// record) and the box's own memory by line address. The box holds only part
// of each table: rows 16..31 of the maps, entries 0..15 of the correction and
// special function tables (left side), words 0..15 of the axes and of the
// 16-bit special functions, names 0..15 with 4 characters.

#include "tools/boxsim/BoxMemory.h"

namespace morvex {
class CMorvexDoc;
struct CBoxInfo;
} // namespace morvex

namespace boxsim {

// Copies the box's parts of the parameter set into `memory`. Names longer
// than 4 characters are cut (the box has no room for more).
void LoadFromDocument(const morvex::CMorvexDoc& doc, BoxMemory& memory);

// Copies the box's parts back into the document; everything the box does
// not hold stays as it is. The index values and texts are recomputed.
void StoreIntoDocument(const BoxMemory& memory, morvex::CMorvexDoc& doc);

// Box versions 2..7 of the info record and the last-transfer date. An
// invalid date leaves the time stamp bytes alone.
void LoadInfo(const morvex::CBoxInfo& info, BoxMemory& memory);
// The same back; a time stamp that is no finite date gives an invalid date.
void StoreInfo(const BoxMemory& memory, morvex::CBoxInfo& info);

} // namespace boxsim
