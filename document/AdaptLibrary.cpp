#include "document/AdaptLibrary.h"

#include "document/DocumentLog.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"

#include <array>
#include <cstring>

namespace morvex {
namespace {

// dlsym gives object pointers; function pointers are copied bit for bit.
template <typename T>
void assignSymbol(T& slot, void* address)
{
    static_assert(sizeof(T) == sizeof(void*));
    std::memcpy(&slot, &address, sizeof(T));
}

struct Binding {
    const char* name;
    void (*assign)(AdaptFunctions&, void*);
};

#define MORVEX_BIND(member) \
    Binding { #member, [](AdaptFunctions& f, void* a) { assignSymbol(f.member, a); } }

// The order in which the names are looked up; the first missing one stops.
const std::array<Binding, 28> kBindings{{
    MORVEX_BIND(PC_TO_BOX_Drehzahl),      MORVEX_BIND(PC_TO_BOX_Drosselklappe),
    MORVEX_BIND(PC_TO_BOX_Motortemp),     MORVEX_BIND(PC_TO_BOX_Lufttemp),
    MORVEX_BIND(PC_TO_BOX_Luftdruck),     MORVEX_BIND(PC_TO_BOX_Einspritzzeit),
    MORVEX_BIND(PC_TO_BOX_CO),            MORVEX_BIND(PC_TO_BOX_Lambda),
    MORVEX_BIND(PC_TO_BOX_Spannung),      MORVEX_BIND(PC_TO_BOX_Turbodruck),
    MORVEX_BIND(BOX_TO_PC_Drehzahl),      MORVEX_BIND(BOX_TO_PC_Drehzahl_25),
    MORVEX_BIND(BOX_TO_PC_Drosselklappe), MORVEX_BIND(BOX_TO_PC_Motortemp),
    MORVEX_BIND(BOX_TO_PC_Lufttemp),      MORVEX_BIND(BOX_TO_PC_Luftdruck),
    MORVEX_BIND(BOX_TO_PC_Einspritzzeit), MORVEX_BIND(BOX_TO_PC_CO),
    MORVEX_BIND(BOX_TO_PC_Lambda),        MORVEX_BIND(BOX_TO_PC_Spannung),
    MORVEX_BIND(BOX_TO_PC_Turbodruck),    MORVEX_BIND(maxADDK),
    MORVEX_BIND(T_Alpha),                 MORVEX_BIND(T_Beta),
    MORVEX_BIND(T_VoltRef),               MORVEX_BIND(T_TempRef),
    MORVEX_BIND(T_OhmBeiTempRef),         MORVEX_BIND(T_OhmR1),
}};

#undef MORVEX_BIND

} // namespace

AdaptToBoxFn AdaptFunctions::indexToBox(IndexTable table) const
{
    switch (table) {
    case IndexTable::DZI: return PC_TO_BOX_Drehzahl;
    case IndexTable::DKI: return PC_TO_BOX_Drosselklappe;
    case IndexTable::MTI: return PC_TO_BOX_Motortemp;
    case IndexTable::LTI: return PC_TO_BOX_Lufttemp;
    case IndexTable::LDI: return PC_TO_BOX_Luftdruck;
    case IndexTable::TDI: return PC_TO_BOX_Turbodruck;
    case IndexTable::LAI: return PC_TO_BOX_Lambda;
    }
    return nullptr;
}

AdaptToPcFn AdaptFunctions::indexToPc(IndexTable table) const
{
    switch (table) {
    case IndexTable::DZI: return BOX_TO_PC_Drehzahl_25;
    case IndexTable::DKI: return BOX_TO_PC_Drosselklappe;
    case IndexTable::MTI: return BOX_TO_PC_Motortemp;
    case IndexTable::LTI: return BOX_TO_PC_Lufttemp;
    case IndexTable::LDI: return BOX_TO_PC_Luftdruck;
    case IndexTable::TDI: return BOX_TO_PC_Turbodruck;
    case IndexTable::LAI: return BOX_TO_PC_Lambda;
    }
    return nullptr;
}

AdaptLibrary::Status AdaptLibrary::Bind(const std::string& file)
{
    functions_ = {};
    message_.clear();
    detail_.clear();
    if (!library_.open(file)) {
        status_ = Status::NotFound;
        message_ = kAdaptNotFoundMessage;
        detail_ = library_.lastError();
        documentLog().warning("cannot load " + file + ": " + detail_);
        return status_;
    }
    AdaptFunctions bound;
    for (const Binding& b : kBindings) {
        void* address = library_.symbol(b.name);
        if (address == nullptr) {
            library_.close();
            status_ = Status::Incomplete;
            message_ = kAdaptIncompleteMessage;
            detail_ = std::string("missing export ") + b.name;
            documentLog().warning(file + ": " + detail_);
            return status_;
        }
        b.assign(bound, address);
    }
    functions_ = bound;
    status_ = Status::Bound;
    return status_;
}

AdaptLibrary::Status AdaptLibrary::BindFromProgramFolder(const std::filesystem::path& programDir)
{
    const std::filesystem::path beside = programDir / kAdaptFileName;
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) {
        return Bind(beside.string());
    }
    return Bind(kAdaptFileName);
}

void ApplyConversionParameters(const platform::IniFile& ini, const AdaptFunctions& adapt)
{
    constexpr std::string_view kSection = "MISC";
    const int maxAd = ini.getInt(kSection, "MaxADDrosselklappe", *adapt.maxADDK);
    // The library reads the low 16 bits; a zero there would make every
    // throttle conversion divide by zero, so such a value is refused.
    if ((maxAd & 0xFFFF) == 0) {
        documentLog().warning("InitValues.cfg: MaxADDrosselklappe of 0 ignored, keeping " +
                      std::to_string(*adapt.maxADDK));
    } else {
        *adapt.maxADDK = maxAd;
    }
    *adapt.T_TempRef = ini.getInt(kSection, "T_TempRef", *adapt.T_TempRef);
    *adapt.T_OhmBeiTempRef = ini.getInt(kSection, "T_OhmBeiTempRef", *adapt.T_OhmBeiTempRef);
    *adapt.T_OhmR1 = ini.getInt(kSection, "T_OhmR1", *adapt.T_OhmR1);
    *adapt.T_Alpha =
        platform::parseDouble(ini.getString(kSection, "T_Alpha", platform::formatFixed(*adapt.T_Alpha, 10)));
    *adapt.T_Beta =
        platform::parseDouble(ini.getString(kSection, "T_Beta", platform::formatFixed(*adapt.T_Beta, 10)));
    *adapt.T_VoltRef =
        platform::parseDouble(ini.getString(kSection, "T_VoltRef", platform::formatFixed(*adapt.T_VoltRef, 6)));
}

} // namespace morvex
