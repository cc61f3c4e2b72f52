#include "GenuineFile.h"

#include "Status.h"
#include "genuine/ByteSource.h"
#include "genuine/FileControl.h"
#include "genuine/KeyOrder.h"
#include "genuine/PageMap.h"
#include "genuine/Records.h"
#include "genuine/StatImage.h"

namespace engine {

using namespace genuine;

namespace {

bool newerThan95(uint8_t version)
{
    return version >= 0x95;
}

// Why the records of a file whose FCR is understood cannot be read (why says what of the layout);
// 0 when they can.
int16_t unreadableReason(const FileControl& fcr, std::string& why)
{
    if (fcr.family == Family::Pre6 && fcr.inconsistent)
        return btr::StatusIoError;
    if (fcr.fileFlags & kFlagPageCompression)
        why = "its pages are compressed";
    else if (fcr.fileFlags & kFlagVat)
        why = "it keeps variable-allocation tables";
    else if ((fcr.fileFlags & kFlagCompression) && !fcr.compressed)
        why = "its records are compressed, but the control record gives no uncompressed length";
    else if (fcr.recordLength == 0)
        why = "the control record gives no record length";
    else if (fcr.family == Family::V8 && newerThan95(fcr.version))
        why = "the format is 9.5 or later";
    return why.empty() ? int16_t(btr::StatusSuccess) : int16_t(btr::StatusLayoutNotReadable);
}

int16_t open(ByteSource& source, GenuineInfo& info)
{
    info = GenuineInfo{};
    FileControl fcr;
    if (int16_t status = parseFileControl(source, fcr, info.reason))
        return status;
    PageMap map;
    const int16_t mapStatus = map.load(source, fcr);
    std::vector<AcsBlock> acs;
    if (mapStatus == btr::StatusSuccess)
        acs = collectAcsBlocks(source, fcr, map);
    if (fcr.usesAcs() && acs.empty()) {
        info.reason = "a key compares through a collating sequence the file does not hold";
        return btr::StatusLayoutNotReadable;
    }

    info.stat = buildStatImage(fcr, acs);
    info.version = fcr.version;
    info.recordLength = fcr.recordLength;
    info.pageSize = static_cast<uint16_t>(fcr.pageSize);
    info.readStatus = unreadableReason(fcr, info.reason);
    if (info.readStatus == btr::StatusSuccess && !map.refusal().empty()) {
        info.readStatus = btr::StatusLayoutNotReadable;
        info.reason = map.refusal();
    }
    info.recordsReadable = info.readStatus == btr::StatusSuccess;
    return btr::StatusSuccess;
}

int16_t read(ByteSource& source, const GenuineInfo& info, std::vector<std::vector<uint8_t>>& records,
             std::vector<GenuineDamage>* damaged, std::vector<GenuineKeyOrder>* keyOrders)
{
    records.clear();
    if (keyOrders)
        keyOrders->clear();
    if (damaged)
        damaged->clear();
    if (!info.recordsReadable)
        return info.readStatus != btr::StatusSuccess ? info.readStatus : int16_t(btr::StatusNotBtrieveFile);
    FileControl fcr;
    std::string why;
    if (int16_t status = parseFileControl(source, fcr, why))
        return status;
    if (int16_t status = unreadableReason(fcr, why))
        return status;
    PageMap map;
    if (int16_t status = map.load(source, fcr)) {
        // A file that never held a record may have no allocation table yet.
        return fcr.recordCount == 0 && fcr.family == Family::V8 ? int16_t(btr::StatusSuccess) : status;
    }
    if (!map.refusal().empty())
        return btr::StatusLayoutNotReadable;
    RecordSet set;
    if (int16_t status = readRecords(source, fcr, map, set))
        return status;
    const bool countDiffers = set.records.size() != fcr.recordCount;
    if (keyOrders && set.damaged.empty() && set.expectedPages == 0 && !set.chainBroken)
        *keyOrders = readKeyOrders(source, fcr, map, set);
    records = std::move(set.records);
    // A chain that breaks past the end of a cut file names its last page at the end.
    if (set.chainPastTheEnd)
        set.damaged.push_back({set.chainBrokenAt, records.size()});
    if (set.expectedPages != 0)
        set.damaged.push_back({source.size() / fcr.pageSize, records.size()});
    if (damaged)
        for (const DamagedPage& d : set.damaged) {
            using Kind = GenuineDamage::Kind;
            if (set.expectedPages != 0 && &d == &set.damaged.back())
                damaged->push_back({d.page, d.position, Kind::FileCut, set.expectedPages});
            else if (set.chainBroken && d.page == set.chainBrokenAt)
                damaged->push_back({d.page, d.position, Kind::ChainBroken, set.couldBeDeleted});
            else
                damaged->push_back({d.page, d.position});
        }
    if (!set.damaged.empty() && !damaged) {
        records.clear();
        return btr::StatusIoError;
    }
    // Damaged pages already say that records are missing.
    return countDiffers && set.damaged.empty() ? int16_t(btr::StatusRecordCountDiffers)
                                               : int16_t(btr::StatusSuccess);
}

} // namespace

int16_t openGenuineFile(const std::string& path, GenuineInfo& info)
{
    FileSource source(path);
    if (!source.ok()) {
        info = GenuineInfo{};
        return btr::StatusIoError;
    }
    return open(source, info);
}

int16_t readGenuineRecords(const std::string& path, const GenuineInfo& info,
                           std::vector<std::vector<uint8_t>>& records, std::vector<GenuineDamage>* damaged,
                           std::vector<GenuineKeyOrder>* keyOrders)
{
    FileSource source(path);
    if (!source.ok()) {
        records.clear();
        if (damaged)
            damaged->clear();
        return btr::StatusIoError;
    }
    return read(source, info, records, damaged, keyOrders);
}

struct GenuineIndex::State {
    explicit State(const std::string& path) : source(path) {}
    FileSource source;
    FileControl fcr;
    PageMap map;
    size_t slotsPerPage = 0;
    std::vector<uint32_t> addresses;
    std::vector<GenuineKeyOrder> orders;
    uint64_t cachedPage = UINT64_MAX;
    Page page;
};

GenuineIndex::GenuineIndex(std::unique_ptr<State> state) : mState(std::move(state)) {}
GenuineIndex::~GenuineIndex() = default;

std::unique_ptr<GenuineIndex> GenuineIndex::open(const std::string& path, const GenuineInfo& info)
{
    auto state = std::make_unique<State>(path);
    State& st = *state;
    std::string why;
    if (!info.recordsReadable || !st.source.ok() || parseFileControl(st.source, st.fcr, why) != 0 ||
        unreadableReason(st.fcr, why) != 0 || st.fcr.variable() || st.fcr.compressed ||
        st.map.load(st.source, st.fcr) != 0 || !st.map.refusal().empty())
        return nullptr;
    RecordSet set;
    if (readRecords(st.source, st.fcr, st.map, set, false) != 0 || !set.damaged.empty() ||
        set.expectedPages != 0 || set.chainBroken || set.records.size() != st.fcr.recordCount)
        return nullptr;
    st.orders = readKeyOrders(st.source, st.fcr, st.map, set, true);
    st.addresses = std::move(set.addresses);
    st.slotsPerPage = (st.fcr.pageSize - st.fcr.pageHeader()) / st.fcr.physicalLength;
    return std::unique_ptr<GenuineIndex>(new GenuineIndex(std::move(state)));
}

size_t GenuineIndex::records() const
{
    return mState->addresses.size();
}

std::vector<GenuineKeyOrder>& GenuineIndex::keyOrders()
{
    return mState->orders;
}

bool GenuineIndex::read(size_t index, std::vector<uint8_t>& record)
{
    State& st = *mState;
    if (index >= st.addresses.size())
        return false;
    const uint32_t address = st.addresses[index];
    const bool pre6 = st.fcr.family == Family::Pre6;
    // Pre-6 addresses are the slot's offset in the file; later ones logical page and slot.
    uint64_t physical = address / st.fcr.pageSize;
    size_t at = address % st.fcr.pageSize;
    if (!pre6) {
        const unsigned bits = slotBits(st.slotsPerPage);
        at = st.fcr.pageHeader() + (address & ((size_t(1) << bits) - 1)) * st.fcr.physicalLength;
        if (!st.map.physical(address >> bits, PageData, physical))
            return false;
    }
    if (physical != st.cachedPage) {
        st.cachedPage = UINT64_MAX;
        if (!readBlock(st.source, physical * st.fcr.pageSize, st.fcr.pageSize, st.page))
            return false;
        st.cachedPage = physical;
    }
    record.clear();
    // A slot still in use: a pre-6 data page (bit 15 of its word at +4), a later slot's usage count.
    const bool live = pre6 ? (st.page.u16(4) & 0x8000) != 0 : st.page.u16(at) != 0;
    return live && st.page.copy(at + st.fcr.recordOffsetInSlot(), st.fcr.recordLength, record);
}

bool looksLikeGenuineFile(const uint8_t* head, size_t size)
{
    Family family;
    uint32_t pageSize = 0;
    return recogniseFamily(Page(std::vector<uint8_t>(head, head + size)), family, pageSize);
}

int16_t openGenuineImage(const uint8_t* data, size_t size, GenuineInfo& info)
{
    MemorySource source(data, size);
    return open(source, info);
}

int16_t readGenuineImageRecords(const uint8_t* data, size_t size, const GenuineInfo& info,
                                std::vector<std::vector<uint8_t>>& records,
                                std::vector<GenuineDamage>* damaged, std::vector<GenuineKeyOrder>* keyOrders)
{
    MemorySource source(data, size);
    return read(source, info, records, damaged, keyOrders);
}

} // namespace engine
