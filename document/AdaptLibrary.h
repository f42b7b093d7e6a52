#pragma once

#include "adapt/adapt.h"
#include "document/BoxLayout.h"
#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {
class IniFile;
}

namespace morvex {

// The bound exports of the conversion library. The variables are used
// through their addresses, so writing them changes what the functions
// compute.
struct AdaptFunctions {
    AdaptToBoxFn PC_TO_BOX_Drehzahl = nullptr;
    AdaptToBoxFn PC_TO_BOX_Drosselklappe = nullptr;
    AdaptToBoxFn PC_TO_BOX_Motortemp = nullptr;
    AdaptToBoxFn PC_TO_BOX_Lufttemp = nullptr;
    AdaptToBoxFn PC_TO_BOX_Luftdruck = nullptr;
    AdaptToBoxFn PC_TO_BOX_Einspritzzeit = nullptr;
    AdaptToBoxFn PC_TO_BOX_CO = nullptr;
    AdaptToBoxFn PC_TO_BOX_Lambda = nullptr;
    AdaptToBoxFn PC_TO_BOX_Spannung = nullptr;
    AdaptToBoxFn PC_TO_BOX_Turbodruck = nullptr;
    AdaptToPcFn BOX_TO_PC_Drehzahl = nullptr;
    AdaptToPcFn BOX_TO_PC_Drehzahl_25 = nullptr;
    AdaptToPcFn BOX_TO_PC_Drosselklappe = nullptr;
    AdaptToPcFn BOX_TO_PC_Motortemp = nullptr;
    AdaptToPcFn BOX_TO_PC_Lufttemp = nullptr;
    AdaptToPcFn BOX_TO_PC_Luftdruck = nullptr;
    AdaptToPcFn BOX_TO_PC_Einspritzzeit = nullptr;
    AdaptToPcFn BOX_TO_PC_CO = nullptr;
    AdaptToPcFn BOX_TO_PC_Lambda = nullptr;
    AdaptToPcFn BOX_TO_PC_Spannung = nullptr;
    AdaptToPcFn BOX_TO_PC_Turbodruck = nullptr;
    int32_t* maxADDK = nullptr;
    double* T_Alpha = nullptr;
    double* T_Beta = nullptr;
    double* T_VoltRef = nullptr;
    int32_t* T_TempRef = nullptr;
    int32_t* T_OhmBeiTempRef = nullptr;
    int32_t* T_OhmR1 = nullptr;

    // The conversions that define and display each index table.
    AdaptToBoxFn indexToBox(IndexTable table) const;
    AdaptToPcFn indexToPc(IndexTable table) const;
};

inline constexpr const char* kAdaptNotFoundMessage = "Konnte adapt.dll nicht finden!";
inline constexpr const char* kAdaptIncompleteMessage = "Datei adapt.dll unvollst\xC3\xA4ndig!";
inline constexpr const char* kAdaptFileName = "libadapt.so";

// Owns the loaded conversion library and its bound exports for the
// program's lifetime; the library is released on destruction.
class AdaptLibrary {
public:
    enum class Status { Unbound, Bound, NotFound, Incomplete };

    // Loads `file` (the program folder's libadapt.so, or a bare name for
    // the normal library search) and binds every export by name. On
    // failure message() holds the text to show and nothing stays loaded.
    Status Bind(const std::string& file);
    // The program folder's copy first, then the normal library search.
    Status BindFromProgramFolder(const std::filesystem::path& programDir);

    Status status() const { return status_; }
    // The user-facing failure text ("Konnte adapt.dll nicht finden!" ...).
    const std::string& message() const { return message_; }
    // What the loader said, or which name was missing (for the log).
    const std::string& detail() const { return detail_; }

    const AdaptFunctions& functions() const { return functions_; }

private:
    platform::DynamicLibrary library_;
    AdaptFunctions functions_;
    Status status_ = Status::Unbound;
    std::string message_;
    std::string detail_;
};

// Writes the [MISC] overrides of InitValues.cfg into the library's
// variables; each missing key keeps the variable's current value.
void ApplyConversionParameters(const platform::IniFile& initValues, const AdaptFunctions& adapt);

} // namespace morvex
