#include "document/MorvexDoc.h"

#include "document/DocumentLog.h"
#include "document/Premap.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace morvex {
namespace {

// The float whose bits are 0x7F7FC99E: the "nothing recorded yet" bound.
constexpr float kEmptyBound = 3.4e38f;

std::size_t cellIndex(int index) { return static_cast<std::size_t>(index); }

// "<prefix> %02d": the default names of the special functions.
std::string numbered(const char* prefix, int n)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s %02d", prefix, n);
    return buffer;
}

} // namespace

MinMaxRecord MinMaxRecord::empty()
{
    return {{kEmptyBound, kEmptyBound, kEmptyBound, -kEmptyBound, -kEmptyBound, -kEmptyBound, kEmptyBound,
             -kEmptyBound}};
}

double RoundRpm(double x)
{
    if (x == 0.0) {
        return 0.0;
    }
    // Far outside any engine's range the integer conversion would overflow.
    if (!(std::fabs(x) < 2.0e9)) {
        return x;
    }
    const auto n = static_cast<int>(x);
    const int q = n / 100;
    const int r = n % 100;
    int result = 0;
    if (x <= 12000.0) {
        if (r < 13) {
            result = 100 * q;
        } else if (r < 38) {
            result = 100 * q + 25;
        } else if (r < 63) {
            result = 100 * q + 50;
        } else if (r < 88) {
            result = 100 * q + 75;
        } else {
            result = 100 * (q + 1);
        }
    } else {
        if (r < 26) {
            result = 100 * q;
        } else if (r < 76) {
            result = 100 * q + 50;
        } else {
            result = 100 * (q + 1);
        }
    }
    return result;
}

CMorvexDoc::CMorvexDoc(const AdaptFunctions& adapt, const CLimits& limits, CInfoRecords& info,
                       const std::filesystem::path& premapFile)
    : adapt_(adapt), limits_(limits), info_(info)
{
    if (!premapFile.empty()) {
        LoadPremapFile(premapFile, PremapRows(premapRows_), PremapOffsets(premapOffset_));
    }
}

std::span<uint8_t> CMorvexDoc::region(BoxAddress address)
{
    if (address >= 0 && static_cast<std::size_t>(address) < kBoxImageSize) {
        return std::span<uint8_t>(image_).subspan(static_cast<std::size_t>(address));
    }
    switch (address) {
    case rec::REC_INDEX_VALUES: return indexValues_;
    case rec::REC_PREMAP_ROWS: return premapRows_;
    case rec::REC_PREMAP_OFFSET: return premapOffset_;
    case rec::REC_IGNITION_WORK: return ignitionWork_;
    case rec::REC_IGNITION_T: return ignitionT_;
    case rec::REC_IGNITION_P: return ignitionP_;
    case rec::REC_FUEL_CONSUMPTION: return fuelConsumption_;
    case rec::REC_DATA_RECEIVED: return dataReceived_;
    default: break;
    }
    return {};
}

uint8_t* CMorvexDoc::GetBoxData(BoxAddress address)
{
    if (address == kNoAddress) {
        return nullptr;
    }
    const std::span<uint8_t> r = region(address);
    if (r.empty()) {
        documentLog().error("GetBoxData: no table at address " + std::to_string(address));
        assert(false && "GetBoxData: address outside the box image and the records");
        return nullptr;
    }
    return r.data();
}

const uint8_t* CMorvexDoc::GetBoxData(BoxAddress address) const
{
    return const_cast<CMorvexDoc*>(this)->GetBoxData(address);
}

std::span<uint8_t> CMorvexDoc::BoxSpan(BoxAddress address, std::size_t length)
{
    const std::span<uint8_t> r = region(address);
    if (r.empty() || r.size() < length) {
        documentLog().error("BoxSpan: " + std::to_string(length) + " bytes at address " + std::to_string(address) +
                    " leave the image");
        assert(false && "BoxSpan: access outside the box image or record");
        return {};
    }
    return r.first(length);
}

std::span<const uint8_t> CMorvexDoc::BoxSpan(BoxAddress address, std::size_t length) const
{
    return const_cast<CMorvexDoc*>(this)->BoxSpan(address, length);
}

uint16_t CMorvexDoc::GetWord(BoxAddress table, int index) const
{
    const auto bytes = BoxSpan(table + 2 * index, 2);
    return bytes.empty() ? 0 : readWordBE(bytes.data());
}

void CMorvexDoc::SetWord(BoxAddress table, int index, uint16_t value)
{
    const auto bytes = BoxSpan(table + 2 * index, 2);
    if (!bytes.empty()) {
        writeWordBE(bytes.data(), value);
    }
}

// Float arrays are addressed by their start; records are separate arrays,
// so the element offset is applied inside the region.
float CMorvexDoc::GetFloat(BoxAddress table, int index) const
{
    const auto all = BoxSpan(table, sizeof(float) * (cellIndex(index) + 1));
    float value = 0.0f;
    if (!all.empty()) {
        std::memcpy(&value, all.data() + sizeof(float) * cellIndex(index), sizeof value);
    }
    return value;
}

void CMorvexDoc::SetFloat(BoxAddress table, int index, float value)
{
    const auto all = BoxSpan(table, sizeof(float) * (cellIndex(index) + 1));
    if (!all.empty()) {
        std::memcpy(all.data() + sizeof(float) * cellIndex(index), &value, sizeof value);
    }
}

double CMorvexDoc::IndexValue(IndexTable table, int index) const
{
    assert(index >= 0 && index < kIndexEntries);
    const std::size_t slot = static_cast<std::size_t>(table) * kIndexEntries + cellIndex(index);
    double value = 0.0;
    std::memcpy(&value, indexValues_.data() + slot * sizeof(double), sizeof value);
    return value;
}

void CMorvexDoc::SetIndexValue(IndexTable table, int index, double value)
{
    assert(index >= 0 && index < kIndexEntries);
    const std::size_t slot = static_cast<std::size_t>(table) * kIndexEntries + cellIndex(index);
    std::memcpy(indexValues_.data() + slot * sizeof(double), &value, sizeof value);
}

const std::string& CMorvexDoc::IndexText(IndexTable table, int index) const
{
    return indexTexts_.at(static_cast<std::size_t>(table)).at(cellIndex(index));
}

void CMorvexDoc::SetIndexText(IndexTable table, int index, std::string text)
{
    indexTexts_.at(static_cast<std::size_t>(table)).at(cellIndex(index)) = std::move(text);
}

const std::string& CMorvexDoc::Text(TextTable table, int index) const
{
    return texts_.at(static_cast<std::size_t>(table)).at(cellIndex(index));
}

void CMorvexDoc::SetText(TextTable table, int index, std::string text)
{
    texts_.at(static_cast<std::size_t>(table)).at(cellIndex(index)) = std::move(text);
}

MinMaxRecord CMorvexDoc::GetMinMax(int record) const
{
    MinMaxRecord value;
    const auto bytes = BoxSpan(box::MM + static_cast<BoxAddress>(sizeof(MinMaxRecord)) * record, sizeof value);
    if (record >= 0 && record < kMinMaxRecords && !bytes.empty()) {
        std::memcpy(value.values.data(), bytes.data(), sizeof value);
    }
    return value;
}

void CMorvexDoc::SetMinMax(int record, const MinMaxRecord& value)
{
    assert(record >= 0 && record < kMinMaxRecords);
    const auto bytes = BoxSpan(box::MM + static_cast<BoxAddress>(sizeof(MinMaxRecord)) * record, sizeof value);
    if (record >= 0 && record < kMinMaxRecords && !bytes.empty()) {
        std::memcpy(bytes.data(), value.values.data(), sizeof value);
    }
}

void CMorvexDoc::EmptyMinMaxRecords()
{
    const auto all = BoxSpan(box::MM, kMinMaxRecords * sizeof(MinMaxRecord));
    std::fill(all.begin(), all.end(), uint8_t{0});
    for (int i = 0; i < kMinMaxRecords; ++i) {
        SetMinMax(i, MinMaxRecord::empty());
    }
}

void CMorvexDoc::DeleteContents()
{
    info_.Clear();
    image_.fill(0);
    image_[box::PARAMETERS] = 6; // number of teeth
    image_[box::PARAMETERS + 1] = 5; // static ignition point
    indexValues_.fill(0);
    dataReceived_.fill(0);
    ignitionT_.fill(0);
    ignitionP_.fill(0);
    fuelConsumption_.fill(0);
    targetLambda_.Reset();
    correctionLocks_.Reset();
    fileErrorCode_ = 0;
    for (auto& table : indexTexts_) {
        table.fill({});
    }
    for (auto& table : texts_) {
        table.fill({});
    }
    EmptyMinMaxRecords();
}

void CMorvexDoc::TakeContentsFrom(const CMorvexDoc& other)
{
    image_ = other.image_;
    indexValues_ = other.indexValues_;
    ignitionWork_ = other.ignitionWork_;
    ignitionT_ = other.ignitionT_;
    ignitionP_ = other.ignitionP_;
    fuelConsumption_ = other.fuelConsumption_;
    dataReceived_ = other.dataReceived_;
    indexTexts_ = other.indexTexts_;
    texts_ = other.texts_;
    targetLambda_ = other.targetLambda_;
    correctionLocks_ = other.correctionLocks_;
    fileErrorCode_ = other.fileErrorCode_;
    valueLimitCounter_ = other.valueLimitCounter_;
    textCutCounter_ = other.textCutCounter_;
    modified_ = other.modified_;
}

bool CMorvexDoc::OnNewDocument()
{
    DeleteContents();
    modified_ = false;
    for (const IndexTableInfo& info : kIndexTables) {
        IndexDefaults(info.table);
    }
    ConvertIndexTables();

    auto& sfi1 = texts_[static_cast<std::size_t>(TextTable::SFI1)];
    sfi1[0] = "LTRH";
    sfi1[1] = "IPCS";
    sfi1[2].clear();
    sfi1[3] = "RLI";
    for (int i = 4; i < kTextEntries; ++i) {
        sfi1[cellIndex(i)] = numbered("S", i + 1);
    }
    auto& sfi2 = texts_[static_cast<std::size_t>(TextTable::SFI2)];
    auto& ex = texts_[static_cast<std::size_t>(TextTable::EX)];
    auto& ex2 = texts_[static_cast<std::size_t>(TextTable::EX2)];
    for (int i = 0; i < kTextEntries; ++i) {
        sfi2[cellIndex(i)] = numbered("V", i + 1);
        ex[cellIndex(i)] = numbered("W", i + 1);
        ex2[cellIndex(i)] = numbered("X", i + 1);
    }
    sfi2[2] = "IGMN"; // the ignition map number
    return true;
}

void CMorvexDoc::IndexDefaults(IndexTable table)
{
    const IndexTableInfo& info = indexTableInfo(table);
    const LimitRecord& limits = limits_.indexRecord(table);
    const DisplayFormat format = limits_.indexFormat(table);
    const AdaptToBoxFn toBox = adapt_.indexToBox(table);
    const int n = info.defaultPoints;
    const double lo = limits.minimum;
    const double hi = limits.maximum;
    const double step = (hi - lo) / (n - 1);
    // The rpm axis holds round rpm values only.
    auto convert = [&](double value) {
        return toBox(table == IndexTable::DZI ? RoundRpm(value) : value);
    };

    SetWord(info.address, 0, convert(lo));
    for (int i = 1; i <= n - 2; ++i) {
        // Each point rounded to the precision shown.
        SetWord(info.address, i, convert(format.roundTrip(lo + i * step)));
    }
    SetWord(info.address, n - 1, convert(hi));
}

void CMorvexDoc::ConvertIndexTables()
{
    for (const IndexTableInfo& info : kIndexTables) {
        const AdaptToPcFn toPc = adapt_.indexToPc(info.table);
        const DisplayFormat format = limits_.indexFormat(info.table);
        for (int i = 0; i < kIndexEntries; ++i) {
            const double value = toPc(GetWord(info.address, i));
            SetIndexValue(info.table, i, value);
            SetIndexText(info.table, i, format.format(value));
        }
    }
}

bool CMorvexDoc::SetTargetLambda(int cylinder, int cell, double lambda)
{
    const CTargetLambda before = targetLambda_;
    if (!targetLambda_.Set(cylinder, cell, lambda)) {
        return false;
    }
    if (!(targetLambda_ == before)) {
        modified_ = true;
    }
    return true;
}

bool CMorvexDoc::SetCorrectionLocked(int cylinder, int cell, bool locked)
{
    const bool was = correctionLocks_.IsLocked(cylinder, cell);
    if (!correctionLocks_.SetLocked(cylinder, cell, locked)) {
        return false;
    }
    if (was != locked) {
        modified_ = true;
    }
    return true;
}

void CMorvexDoc::ComputeLambdaValues()
{
    for (int k = 0; k < kCells; ++k) {
        SetFloat(box::LAMBDA_VALUES_LEFT, k,
                 static_cast<float>(adapt_.BOX_TO_PC_Lambda(GetWord(box::LAMBDA_RECORD_LEFT, k))));
        SetFloat(box::LAMBDA_VALUES_RIGHT, k,
                 static_cast<float>(adapt_.BOX_TO_PC_Lambda(GetWord(box::LAMBDA_RECORD_RIGHT, k))));
    }
    for (int k = 0; k < kCells; ++k) {
        const auto left = static_cast<double>(GetFloat(box::LAMBDA_VALUES_LEFT, k));
        const auto right = static_cast<double>(GetFloat(box::LAMBDA_VALUES_RIGHT, k));
        const double ratio = left == 0.0 ? right : right / left * 100.0;
        SetFloat(box::LAMBDA_RATIO, k, static_cast<float>(std::clamp(ratio, -500.0, 500.0)));
    }
}

} // namespace morvex
