#pragma once

#include "document/AdaptLibrary.h"
#include "document/BoxLayout.h"
#include "document/InfoRecords.h"
#include "document/Limits.h"
#include "document/CorrectionLocks.h"
#include "document/TargetLambda.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace morvex {

// Lowest three, highest three, and the extremes beyond the display limits
// of one recorded quantity.
struct MinMaxRecord {
    std::array<float, 8> values{};
    static MinMaxRecord empty();
};
static_assert(sizeof(MinMaxRecord) == 32);

// rpm rounded to steps of 25 up to 12000 and of 50 above.
double RoundRpm(double x);

// The one document: a complete parameter set of a Zamo-Box as an image of
// the box's parameter memory, the per-cell records of data recording, the
// names of the special functions and the arrays derived from them.
class CMorvexDoc {
public:
    // Status of the framework's file creation for saving.
    static constexpr uint32_t kModeNoTruncate = 0x2000;

    CMorvexDoc(const AdaptFunctions& adapt, const CLimits& limits, CInfoRecords& info,
               const std::filesystem::path& premapFile = {});
    CMorvexDoc(const CMorvexDoc&) = delete;
    CMorvexDoc& operator=(const CMorvexDoc&) = delete;

    // Start of the table at a box address (0 .. 0x28BF) or of the record at
    // a record address (0x2CC1 .. 0x2CC8); null for -1. Any other address
    // is a programming error: it asserts in debug builds and gives null.
    uint8_t* GetBoxData(BoxAddress address);
    const uint8_t* GetBoxData(BoxAddress address) const;
    // `length` bytes from `address`, checked against the end of the image
    // or the record; empty (and an assertion in debug builds) when they do
    // not fit.
    std::span<uint8_t> BoxSpan(BoxAddress address, std::size_t length);
    std::span<const uint8_t> BoxSpan(BoxAddress address, std::size_t length) const;

    // Entry `index` of a big-endian word table.
    uint16_t GetWord(BoxAddress table, int index) const;
    void SetWord(BoxAddress table, int index, uint16_t value);
    // Entry `index` of a float array in the image or a float record.
    float GetFloat(BoxAddress table, int index) const;
    void SetFloat(BoxAddress table, int index, float value);

    double IndexValue(IndexTable table, int index) const;
    void SetIndexValue(IndexTable table, int index, double value);
    const std::string& IndexText(IndexTable table, int index) const;
    void SetIndexText(IndexTable table, int index, std::string text);

    const std::string& Text(TextTable table, int index) const;
    void SetText(TextTable table, int index, std::string text);

    MinMaxRecord GetMinMax(int record) const;
    void SetMinMax(int record, const MinMaxRecord& value);

    void DeleteContents();
    bool OnNewDocument();
    // Takes over every table, record, text and status field of `other`
    // (read from a file into a scratch document); the premap records stay.
    void TakeContentsFrom(const CMorvexDoc& other);

    void IndexDefaults(IndexTable table);
    void ConvertIndexTables();
    // Lambda values of both cylinders and the right/left ratio from the
    // raw lambda record.
    void ComputeLambdaValues();
    void EmptyMinMaxRecords();

    // The target lambda table. The mutable form is for whole-table loads
    // (the data file); edits go through SetTargetLambda.
    const CTargetLambda& TargetLambda() const { return targetLambda_; }
    CTargetLambda& TargetLambda() { return targetLambda_; }
    // One target edited: false (nothing changes) when the value is refused;
    // a changed value marks the document modified like any edit.
    bool SetTargetLambda(int cylinder, int cell, double lambda);
    // The cells locked against proposed fuel corrections; edits mark the
    // document modified when they change a lock.
    const CCorrectionLocks& CorrectionLocks() const { return correctionLocks_; }
    CCorrectionLocks& CorrectionLocks() { return correctionLocks_; }
    bool SetCorrectionLocked(int cylinder, int cell, bool locked);

    uint32_t FileErrorCode() const { return fileErrorCode_; }
    void SetFileErrorCode(uint32_t code) { fileErrorCode_ = code; }
    uint32_t ValueLimitCounter() const { return valueLimitCounter_; }
    void SetValueLimitCounter(uint32_t n) { valueLimitCounter_ = n; }
    uint32_t TextCutCounter() const { return textCutCounter_; }
    void SetTextCutCounter(uint32_t n) { textCutCounter_ = n; }
    uint32_t ExtraFileOpenMode() const { return extraFileOpenMode_; }
    void SetExtraFileOpenMode(uint32_t mode) { extraFileOpenMode_ = mode; }
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }

    const AdaptFunctions& Adapt() const { return adapt_; }
    const CLimits& Limits() const { return limits_; }
    CInfoRecords& Info() { return info_; }
    const CInfoRecords& Info() const { return info_; }

private:
    std::span<uint8_t> region(BoxAddress address);

    const AdaptFunctions& adapt_;
    const CLimits& limits_;
    CInfoRecords& info_;

    alignas(8) std::array<uint8_t, kBoxImageSize> image_{};
    alignas(8) std::array<uint8_t, rec::kIndexValuesAreaSize> indexValues_{};
    std::array<uint8_t, rec::kPremapRowsSize> premapRows_{};
    std::array<uint8_t, rec::kPremapOffsetSize> premapOffset_{};
    std::array<uint8_t, rec::kIgnitionWorkSize> ignitionWork_{};
    alignas(4) std::array<uint8_t, rec::kFloatRecordSize> ignitionT_{};
    alignas(4) std::array<uint8_t, rec::kFloatRecordSize> ignitionP_{};
    alignas(4) std::array<uint8_t, rec::kFloatRecordSize> fuelConsumption_{};
    std::array<uint8_t, rec::kDataReceivedSize> dataReceived_{};

    std::array<std::array<std::string, kIndexEntries>, kIndexTableCount> indexTexts_;
    std::array<std::array<std::string, kTextEntries>, kTextTableCount> texts_;
    CTargetLambda targetLambda_;
    CCorrectionLocks correctionLocks_;

    uint32_t fileErrorCode_ = 0;
    uint32_t valueLimitCounter_ = 0;
    uint32_t textCutCounter_ = 0;
    uint32_t extraFileOpenMode_ = 0;
    bool modified_ = false;
};

} // namespace morvex
