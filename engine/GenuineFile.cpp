#include "GenuineFile.h"

#include "Status.h"
#include "genuine/ByteSource.h"
#include "genuine/FileControl.h"
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

// Why the records of a file whose FCR is understood cannot be read; 0 when they can.
int16_t unreadableReason(const FileControl& fcr)
{
    if (fcr.family == Family::Pre6 && fcr.inconsistent)
        return btr::StatusIoError;
    if ((fcr.fileFlags & (kFlagPageCompression | kFlagVat)) || fcr.recordLength == 0)
        return btr::StatusLayoutNotReadable;
    if ((fcr.fileFlags & kFlagCompression) && !fcr.compressed)
        return btr::StatusLayoutNotReadable;
    if (fcr.family == Family::V8) {
        if ((fcr.variable() && !fcr.compressed) || newerThan95(fcr.version))
            return btr::StatusLayoutNotReadable;
        // One PAT maps N logical pages; where a second one would be is not known.
        const size_t perPat = PageMap::entriesPerPatV8(fcr.pageSize);
        if (perPat == 0 || fcr.fcrPageCount > perPat + 1)
            return btr::StatusLayoutNotReadable;
    }
    return btr::StatusSuccess;
}

int16_t open(ByteSource& source, GenuineInfo& info)
{
    info = GenuineInfo{};
    FileControl fcr;
    if (int16_t status = parseFileControl(source, fcr))
        return status;
    PageMap map;
    const bool mapped = map.load(source, fcr) == btr::StatusSuccess;
    std::vector<AcsBlock> acs;
    if (mapped)
        acs = collectAcsBlocks(source, fcr, map);
    if (fcr.usesAcs() && acs.empty())
        return btr::StatusNotBtrieveFile;

    info.stat = buildStatImage(fcr, acs);
    info.version = fcr.version;
    info.recordLength = fcr.recordLength;
    info.pageSize = static_cast<uint16_t>(fcr.pageSize);
    info.readStatus = unreadableReason(fcr);
    info.recordsReadable = info.readStatus == btr::StatusSuccess;
    return btr::StatusSuccess;
}

int16_t read(ByteSource& source, const GenuineInfo& info, std::vector<std::vector<uint8_t>>& records,
             std::vector<GenuineDamage>* damaged)
{
    records.clear();
    if (damaged)
        damaged->clear();
    if (!info.recordsReadable)
        return info.readStatus != btr::StatusSuccess ? info.readStatus : int16_t(btr::StatusNotBtrieveFile);
    FileControl fcr;
    if (int16_t status = parseFileControl(source, fcr))
        return status;
    if (int16_t status = unreadableReason(fcr))
        return status;
    PageMap map;
    if (int16_t status = map.load(source, fcr)) {
        // A file that never held a record may have no allocation table yet.
        return fcr.recordCount == 0 && fcr.family == Family::V8 ? int16_t(btr::StatusSuccess) : status;
    }
    RecordSet set;
    if (int16_t status = readRecords(source, fcr, map, set))
        return status;
    if (!set.damaged.empty() && !damaged)
        return btr::StatusIoError;
    records = std::move(set.records);
    if (damaged)
        for (const DamagedPage& d : set.damaged)
            damaged->push_back({d.page, d.position});
    return btr::StatusSuccess;
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
                           std::vector<std::vector<uint8_t>>& records, std::vector<GenuineDamage>* damaged)
{
    FileSource source(path);
    if (!source.ok()) {
        records.clear();
        if (damaged)
            damaged->clear();
        return btr::StatusIoError;
    }
    return read(source, info, records, damaged);
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
                                std::vector<std::vector<uint8_t>>& records, std::vector<GenuineDamage>* damaged)
{
    MemorySource source(data, size);
    return read(source, info, records, damaged);
}

} // namespace engine
