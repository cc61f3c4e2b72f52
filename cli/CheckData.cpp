#include "CheckData.h"

#include "DataRecords.h"
#include "FieldInference.h"
#include "FieldValue.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace fs = std::filesystem;
namespace {

std::string bytesText(int offset, int size)
{
    return size == 1 ? "Byte " + std::to_string(offset)
                     : "Bytes " + std::to_string(offset) + ".." + std::to_string(offset + size - 1);
}

std::string percentOf(uint64_t part, std::size_t whole)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f%%", whole ? 100.0 * double(part) / double(whole) : 0.0);
    return buf;
}

} // namespace

std::vector<DataTableReport> checkData(const LoadedDictionary& d, std::size_t sample,
                                       std::vector<DataCheckFinding>& findings)
{
    std::vector<DataTableReport> reports;
    for (const dict::TableDef& t : d.tables->all()) {
        if (t.location.empty() || dict::isDictionaryFileLocation(t.location))
            continue;
        dict::DataSample data;
        const int status = dict::readDataSample(dataFilePath(d, t).string(), sample, data);
        if (data.recordLength == 0 && status)
            continue; // the dictionary check names locations that do not open
        DataTableReport rep;
        rep.table = t.name;
        rep.recordLength = data.recordLength;
        rep.records = data.count;
        if (status)
            findings.push_back({rep.table, {},
                                "Reading the data file stopped after " + std::to_string(data.count) +
                                    " records: " + statusWords(status) + "."});
        if (const dict::InferredVariants v = dict::inferVariants(data); !v.variants.empty()) {
            std::string sharing;
            int others = 0;
            const fs::path file = dataFilePath(d, t);
            for (const dict::TableDef& other : d.tables->all()) {
                std::error_code ec;
                if (&other != &t && !other.location.empty() &&
                    fs::equivalent(dataFilePath(d, other), file, ec)) {
                    sharing += (sharing.empty() ? "" : ", ") + other.name;
                    ++others;
                }
            }
            if (others)
                sharing =
                    others == 1 ? "the table " + sharing + " shares" : "the tables " + sharing + " share";
            findings.push_back({rep.table,
                                {},
                                "The data file holds records of " + std::to_string(v.variants.size()) +
                                    " layouts: " + v.reason +
                                    " The table's fields can describe only some of them" +
                                    (sharing.empty() ? std::string(".") : "; " + sharing + " the file.")});
        }
        std::vector<bool> covered(data.recordLength, false);
        int reach = 0;
        dict::FieldValue value;
        for (const dict::FieldDef& f : t.fields) {
            DataFieldTally tally;
            tally.name = f.name;
            tally.offset = f.record.offset;
            tally.size = f.record.size;
            const std::string_view typeName = dict::typeNameOf(f.typeCode());
            tally.type = typeName.empty() ? std::to_string(f.typeCode()) : std::string(typeName);
            const bool fits = f.record.offset >= 0 && f.record.size > 0 &&
                              std::size_t(f.record.offset) + std::size_t(f.record.size) <= data.recordLength;
            reach = std::max(reach, f.record.offset + f.record.size);
            if (fits) {
                std::fill(covered.begin() + f.record.offset, covered.begin() + f.record.offset + f.record.size, true);
                for (std::size_t r = 0; r < data.count; ++r) {
                    const auto bytes = data.record(r).subspan(std::size_t(f.record.offset), std::size_t(f.record.size));
                    if (dict::decodeFieldValueStrictly(f.typeCode(), bytes, f.record.dec, value, d.page) ==
                        dict::DecodeOutcome::Undecodable)
                        ++tally.undecodable;
                }
            } else {
                tally.undecodable = data.count;
            }
            if (fits && tally.undecodable)
                findings.push_back({rep.table, tally.name,
                                    percentOf(tally.undecodable, data.count) + " of the " +
                                        std::to_string(data.count) + " sampled values (" +
                                        std::to_string(tally.undecodable) + ") do not decode as " + tally.type +
                                        "."});
            rep.fields.push_back(std::move(tally));
        }
        // Bytes that no field covers and that vary between the sampled records.
        for (std::size_t o = 0; o < data.recordLength;) {
            const auto varies = [&](std::size_t at) {
                for (std::size_t r = 1; r < data.count; ++r)
                    if (data.record(r)[at] != data.record(0)[at])
                        return true;
                return false;
            };
            if (covered[o] || !varies(o)) {
                ++o;
                continue;
            }
            std::size_t e = o + 1;
            while (e < data.recordLength && !covered[e] && varies(e))
                ++e;
            rep.uncoveredVarying.push_back({int(o), int(e - o)});
            findings.push_back({rep.table, {},
                                bytesText(int(o), int(e - o)) + (e - o == 1 ? " is" : " are") +
                                    " covered by no field and " + (e - o == 1 ? "varies" : "vary") +
                                    " between records."});
            o = e;
        }
        if (!t.fields.empty() && reach < int(data.recordLength))
            findings.push_back({rep.table, {},
                                "The fields end at byte " + std::to_string(reach) +
                                    ", but the data file's records are " + std::to_string(data.recordLength) +
                                    " bytes long."});
        reports.push_back(std::move(rep));
    }
    return reports;
}

void writeDataJson(JsonWriter& j, const std::vector<DataTableReport>& reports)
{
    j.key("data").beginArray();
    for (const DataTableReport& r : reports) {
        j.beginObject();
        j.key("table").value(r.table);
        j.key("recordLength").value(static_cast<long long>(r.recordLength));
        j.key("records").value(static_cast<long long>(r.records));
        j.key("fields").beginArray();
        for (const DataFieldTally& f : r.fields) {
            j.beginObject();
            j.key("name").value(f.name);
            j.key("offset").value(f.offset);
            j.key("size").value(f.size);
            j.key("type").value(f.type);
            j.key("undecodable").value(static_cast<long long>(f.undecodable));
            j.key("undecodableShare").fraction(r.records ? double(f.undecodable) / double(r.records) : 0.0);
            j.endObject();
        }
        j.endArray();
        j.key("uncoveredVarying").beginArray();
        for (const DataTableReport::Range& u : r.uncoveredVarying) {
            j.beginObject();
            j.key("offset").value(u.offset);
            j.key("size").value(u.size);
            j.endObject();
        }
        j.endArray();
        j.endObject();
    }
    j.endArray();
}

} // namespace cli
