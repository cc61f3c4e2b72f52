#include "DataRecords.h"

#include "Status.h"
#include "WinBtr.h"

#include <algorithm>
#include <cstring>

namespace dict {
namespace {

constexpr int kLongestRecord = 32767;
constexpr uint32_t kPageNumberLength = 4; // a damaged place's page number
constexpr uint32_t kPlaceLength = 12;     // with its kind and value

} // namespace

std::optional<DamagedPlace> damagedPlace(int status, const void* data, uint32_t dataLength,
                                         std::size_t capacity)
{
    if (status != btr::StatusIoError || (dataLength != kPageNumberLength && dataLength != kPlaceLength) ||
        !data || capacity < dataLength)
        return std::nullopt;
    const auto* b = static_cast<const uint8_t*>(data);
    const auto word = [b](std::size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    };
    if (dataLength == kPageNumberLength)
        return DamagedPlace{word(0)};
    return DamagedPlace{word(0), word(4), word(8)};
}

std::string damagedPlaceText(const DamagedPlace& place)
{
    const std::string page = std::to_string(place.page);
    if (place.kind == DamagedPlace::ChainBroken)
        return "the deleted-record chain breaks on page " + page + ": " + std::to_string(place.value) +
               " of the records read could be deleted ones";
    if (place.kind == DamagedPlace::FileCut)
        return "the file is shorter than its control record says: it ends at page " + page +
               ", where it should have " + std::to_string(place.value) + " pages";
    return "page " + page + " is damaged";
}

DataFileLayout decodeDataFileLayout(const uint8_t* s, std::size_t size)
{
    DataFileLayout out;
    if (size < FileSpec::kSize)
        return out;
    out.spec = FileSpec::decode(std::span<const uint8_t>(s, FileSpec::kSize));
    out.keyCount = s[4]; // a byte: offset 5 carries the file version
    out.spec.indexCount = int16_t(out.keyCount);
    std::size_t at = FileSpec::kSize;
    for (int key = 0; key < out.keyCount; ++key)
        for (int part = 0;; ++part) {
            if (at + KeySpec::kSize > size)
                return out;
            const KeySpec k = KeySpec::decode(std::span<const uint8_t>(s + at, KeySpec::kSize));
            at += KeySpec::kSize;
            out.segments.push_back({key, part, k});
            if (!(k.flags & KeySegmented))
                break;
        }
    return out;
}

int statDataFile(const std::string& path, DataFileLayout& out)
{
    out = DataFileLayout{};
    TWinBtr btr;
    if (btr.Open(path, "", btr::OpenReadOnly) != btr::StatusSuccess)
        return btr.StatusOf();
    if (btr.Stat() != btr::StatusSuccess)
        return btr.StatusOf();
    out = decodeDataFileLayout(btr.StatBuffer, sizeof btr.StatBuffer);
    btr.Close();
    return btr::StatusSuccess;
}

DataFileReader::DataFileReader() = default;

DataFileReader::~DataFileReader()
{
    close();
}

int DataFileReader::openRaw(const std::string& path)
{
    close();
    auto btr = std::make_unique<TWinBtr>();
    // TWinBtr::Open asks for the statistics twice (record length, then index count); on a
    // large file each Stat counts every record and every key value.
    if (path.empty() || path.size() >= sizeof btr->KeyBuffer || path.find('\0') != std::string::npos) {
        if (int st = btr->Open(path, "", btr::OpenReadOnly))
            return st;
        mLayout = decodeDataFileLayout(btr->StatBuffer, sizeof btr->StatBuffer);
        mHasLayout = true;
    } else {
        btr->ClearKey(sizeof btr->KeyBuffer);
        std::memcpy(btr->KeyBuffer, path.data(), path.size());
        btr->KeyNumber = btr::OpenReadOnly;
        const int st = btr->ExecuteWith(btr::OpOpen, nullptr, uint16_t(0));
        btr->KeyNumber = 0;
        if (st)
            return st;
        btr->IsOpen = true;
    }
    mBtr = std::move(btr);
    return btr::StatusSuccess;
}

int DataFileReader::readLayout()
{
    if (!mBtr)
        return btr::StatusFileNotOpen;
    if (mHasLayout)
        return btr::StatusSuccess;
    if (int st = mBtr->Stat())
        return st;
    mLayout = decodeDataFileLayout(mBtr->StatBuffer, sizeof mBtr->StatBuffer);
    mHasLayout = true;
    return btr::StatusSuccess;
}

int DataFileReader::open(const std::string& path)
{
    if (int st = openRaw(path))
        return st;
    if (int st = readLayout()) {
        close();
        return st;
    }
    mLength = static_cast<std::size_t>(std::max<int>(mLayout.spec.recordLength, 0));
    // Records of a variable-length file may run past the fixed part: room for the longest.
    sizeBuffer(mLayout.spec.flags & btr::fileflag::VariableLength ? kLongestRecord : mLength);
    return btr::StatusSuccess;
}

// A data buffer of `length` bytes, and never shorter than a damaged place's answer, so that a
// place of a file of short records still says what it is.
void DataFileReader::sizeBuffer(std::size_t length)
{
    mBtr->SetBufferSize(static_cast<int>(std::max<std::size_t>(length, kPlaceLength)));
}

int DataFileReader::openQuickly(const std::string& path)
{
    if (int st = openRaw(path))
        return st;
    if (mHasLayout) {
        close();
        return open(path);
    }
    std::vector<uint8_t> first(kLongestRecord);
    uint32_t length = kLongestRecord;
    const int st = mBtr->ExecuteWith(btr::OpStepFirst, first.data(), length);
    if (st != btr::StatusSuccess || length == 0) {
        close();
        return open(path);
    }
    // Without the statistics the file's flags are unknown: a longer record of a variable-length
    // file then stops the reading with "data buffer too short" until readLayout and open.
    mLength = length;
    sizeBuffer(length);
    return btr::StatusSuccess;
}

void DataFileReader::close()
{
    if (mBtr)
        mBtr->Close();
    mBtr.reset();
    mLength = 0;
    mLayout = DataFileLayout{};
    mHasLayout = false;
    mStepStatus = 0;
}

bool DataFileReader::isOpen() const
{
    return mBtr != nullptr;
}

int DataFileReader::first()
{
    return step(btr::OpStepFirst);
}

int DataFileReader::next()
{
    return step(btr::OpStepNext);
}

int DataFileReader::step(uint16_t operation)
{
    mStepStatus = mBtr ? int(mBtr->Execute(operation)) : int(btr::StatusFileNotOpen);
    return mStepStatus;
}

std::optional<DamagedPlace> DataFileReader::place() const
{
    if (!mBtr || !mBtr->Buffer)
        return std::nullopt;
    return damagedPlace(mStepStatus, mBtr->Buffer, mBtr->DataLength,
                        static_cast<std::size_t>(mBtr->BufferSize));
}

int DataFileReader::position(uint32_t& address)
{
    if (!mBtr)
        return btr::StatusFileNotOpen;
    uint8_t area[4] = {};
    const int st = mBtr->ExecuteWith(btr::OpGetPosition, area, sizeof area);
    address = uint32_t(area[0]) | uint32_t(area[1]) << 8 | uint32_t(area[2]) << 16 | uint32_t(area[3]) << 24;
    return st;
}

int DataFileReader::direct(uint32_t address)
{
    if (!mBtr)
        return btr::StatusFileNotOpen;
    if (mBtr->BufferSize < 4)
        return btr::StatusDataBufferTooShort;
    for (int i = 0; i < 4; ++i)
        mBtr->Buffer[i] = static_cast<char>(address >> (8 * i));
    // Key 0 is taken up (a file without keys takes up none); the physical position is what
    // the Step operations after it go on from.
    const int8_t key = mBtr->KeyNumber;
    mBtr->KeyNumber = 0;
    const int st = mBtr->Execute(btr::OpGetDirect);
    mBtr->KeyNumber = key;
    mStepStatus = 0; // no place: Get Direct answers 2 on any damaged file
    return st;
}

std::span<const uint8_t> DataFileReader::record() const
{
    if (!mBtr || !mBtr->Buffer)
        return {};
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(mBtr->Buffer), mLength);
}

int readDataSample(const std::string& path, std::size_t limit, DataSample& out)
{
    out = DataSample{};
    DataFileReader reader;
    if (int st = reader.open(path))
        return st;
    out.layout = reader.layout();
    out.recordLength = reader.recordLength();
    const std::size_t expected = static_cast<std::size_t>(std::max<int32_t>(out.layout.spec.recordCount, 0));
    out.bytes.reserve(std::min(limit ? limit : expected, expected) * out.recordLength);
    int st = reader.first();
    while (st == btr::StatusSuccess && (limit == 0 || out.count < limit)) {
        const auto r = reader.record();
        out.bytes.insert(out.bytes.end(), r.begin(), r.end());
        ++out.count;
        st = reader.next();
    }
    return st == btr::StatusSuccess || st == btr::StatusEndOfFile ? 0 : st;
}

int readPastDamage(const std::string& path, DamageReport& out)
{
    out = DamageReport{};
    DataFileReader reader;
    if (int st = reader.open(path))
        return st;
    std::optional<DamagedPlace> last;
    int st = reader.first();
    for (;; st = reader.next()) {
        if (st == btr::StatusSuccess) {
            ++out.records;
            continue;
        }
        const std::optional<DamagedPlace> place = reader.place();
        if (!place || (last && last->page == place->page && last->kind == place->kind))
            break;
        last = place;
        if (place->kind != DamagedPlace::FileCut &&
            std::find(out.damagedPages.begin(), out.damagedPages.end(), place->page) ==
                out.damagedPages.end())
            out.damagedPages.push_back(place->page);
        if (place->kind != DamagedPlace::None)
            out.places.push_back(*place);
    }
    return st;
}

} // namespace dict
