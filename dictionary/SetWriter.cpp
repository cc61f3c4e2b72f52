#include "SetWriter.h"

#include "Backups.h"
#include "FileLookup.h"
#include "Records.h"
#include "SafeFiles.h"
#include "Status.h"
#include "WinBtr.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unordered_map>

namespace dict {
namespace fs = std::filesystem;

namespace {

constexpr const char* kMarkerHeader = "quillan-set 1";

void removeWithJournal(const std::string& path)
{
    std::error_code ec;
    fs::remove(path, ec);
    fs::remove(path + "-journal", ec);
}

std::string joinNames(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// A name the marker may hold: a plain file name of the directory.
bool plainName(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name != "." && name != "..";
}

// The record of a slot as a file of `length`-byte records holds it: cut, or zero-filled.
std::vector<uint8_t> fitted(std::span<const uint8_t> slot, std::size_t length)
{
    std::vector<uint8_t> record(length, 0);
    std::copy_n(slot.begin(), std::min(length, slot.size()), record.begin());
    return record;
}

// Whether a slot holds a value in the bytes a `length`-byte record leaves out: anything but
// zeros (what such a record reads back as) and, in texts, blanks.
bool cutsValue(DictFile file, std::span<const uint8_t> slot, std::size_t length)
{
    const std::size_t end = std::min<std::size_t>(creationSpec(file).valueLength, slot.size());
    for (std::size_t i = length; i < end; ++i)
        if (slot[i] != 0 && !(file == DictFile::File && i >= 2 && i < 86 && slot[i] == ' '))
            return true;
    return false;
}

} // namespace

std::vector<uint8_t> ownLayout(const std::string& path, uint16_t& recordLength)
{
    recordLength = 0;
    TWinBtr btr;
    constexpr int8_t kReadOnly = -2;
    if (btr.Open(path, "", kReadOnly) != btr::StatusSuccess)
        return {};
    std::vector<uint8_t> stat(btr::kStatBufferSize, 0);
    uint32_t length = static_cast<uint32_t>(stat.size());
    btr.KeyNumber = 0;
    const int16_t status = btr.ExecuteWith(btr::OpStat, stat.data(), length);
    btr.Close();
    if (status != btr::StatusSuccess || length < FileSpec::kSize || length > stat.size())
        return {};
    stat.resize(length);

    const FileSpec file = FileSpec::decode(stat);
    const int keys = stat[4];
    std::size_t segments = 0;
    for (int key = 0; key < keys; ++key)
        for (;;) {
            const std::size_t at = FileSpec::kSize + segments * KeySpec::kSize;
            if (at + KeySpec::kSize > stat.size())
                return {};
            ++segments;
            if (!(KeySpec::decode(std::span<const uint8_t>(stat).subspan(at)).flags & KeySegmented))
                break;
        }
    // Only Stat fills these: the version, the record count, the unused pages, and each
    // segment's count of distinct values and key number (which Create reads only with the
    // file flag "key numbers given"). So a file made in the standard layout gives that layout
    // back byte for byte.
    constexpr int16_t kKeyNumbersGiven = 0x400;
    stat[5] = 0;
    std::fill_n(stat.begin() + 6, 4, 0);
    std::fill_n(stat.begin() + 14, 2, 0);
    for (std::size_t i = 0; i < segments; ++i) {
        const auto segment = stat.begin() + std::ptrdiff_t(FileSpec::kSize + i * KeySpec::kSize);
        std::fill_n(segment + 6, 4, 0);
        if (!(file.flags & kKeyNumbersGiven))
            segment[14] = 0;
    }
    recordLength = static_cast<uint16_t>(file.recordLength);
    return stat;
}

std::vector<uint8_t> buildLayout(DictFile file, FileLayout layout)
{
    if (layout != FileLayout::Standard)
        if (const auto target = btrieve::findExistingFile(creationSpec(file).fileName)) {
            uint16_t recordLength = 0;
            std::vector<uint8_t> own = ownLayout(*target, recordLength);
            if (!own.empty())
                return own;
        }
    return creationSpec(file).bytes;
}

std::vector<DuplicateKeyValue> duplicateKeyValues(std::span<const uint8_t> layout,
                                                  const std::vector<std::vector<uint8_t>>& records)
{
    std::vector<DuplicateKeyValue> found;
    if (layout.size() < FileSpec::kSize)
        return found;
    const int keys = FileSpec::decode(layout).indexCount;
    std::vector<std::vector<KeySpec>> keySegments;
    std::size_t at = FileSpec::kSize;
    for (int key = 0; key < keys; ++key) {
        std::vector<KeySpec> segments;
        for (;;) {
            if (at + KeySpec::kSize > layout.size())
                return found;
            segments.push_back(KeySpec::decode(layout.subspan(at)));
            at += KeySpec::kSize;
            if (!(segments.back().flags & KeySegmented))
                break;
        }
        keySegments.push_back(std::move(segments));
    }
    // The alternate collating sequence follows the key specifications.
    std::span<const uint8_t> acs;
    if (layout.size() >= at + kAcsSize && layout[at] == 0xAC)
        acs = layout.subspan(at + 9, 256);

    constexpr uint16_t kNullAll = 0x8, kNullAny = 0x200, kCaseInsensitive = 0x400;
    for (int key = 0; key < keys; ++key) {
        const std::vector<KeySpec>& segments = keySegments[std::size_t(key)];
        if (segments.front().flags & KeyDuplicates)
            continue;
        std::unordered_map<std::string, std::size_t> groupOf;
        std::vector<DuplicateKeyValue> groups;
        for (std::size_t r = 0; r < records.size(); ++r) {
            std::string value;
            int nullSegments = 0;
            bool fits = true;
            for (const KeySpec& segment : segments) {
                const std::size_t from = segment.position > 0 ? segment.position - 1u : 0u;
                if (from + segment.length > records[r].size()) {
                    fits = false;
                    break;
                }
                bool allNull = true;
                for (std::size_t i = from; i < from + segment.length; ++i) {
                    uint8_t b = records[r][i];
                    allNull = allNull && b == segment.nullValue;
                    if ((segment.flags & KeyAlternateSequence) && !acs.empty())
                        b = acs[b];
                    else if ((segment.flags & kCaseInsensitive) && b >= 'a' && b <= 'z')
                        b = uint8_t(b - 32);
                    value += char(b);
                }
                nullSegments += allNull;
            }
            const uint16_t flags = segments.front().flags;
            if (!fits || ((flags & kNullAll) && nullSegments == int(segments.size())) ||
                ((flags & kNullAny) && nullSegments > 0))
                continue;
            const auto [it, first] = groupOf.try_emplace(std::move(value), groups.size());
            if (first) {
                DuplicateKeyValue group{key, {}, {r}};
                for (const KeySpec& segment : segments)
                    group.fieldOffsets.push_back(segment.position > 0 ? segment.position - 1u : 0u);
                groups.push_back(std::move(group));
            } else {
                groups[it->second].records.push_back(r);
            }
        }
        for (DuplicateKeyValue& group : groups)
            if (group.records.size() > 1)
                found.push_back(std::move(group));
    }
    std::stable_sort(found.begin(), found.end(), [](const DuplicateKeyValue& a, const DuplicateKeyValue& b) {
        return a.records.front() < b.records.front();
    });
    return found;
}

DictionarySetWriter::~DictionarySetWriter()
{
    abandon();
}

bool DictionarySetWriter::wouldEmpty(const Staged& file)
{
    return file.records == 0 && (file.previousRecords > 0 || file.leftOut > 0);
}

bool DictionarySetWriter::stage(DictFile file, RecordArray& array, const std::vector<RowSlot>& rows,
                                BuildReport& report, std::size_t leftOut, FileLayout fileLayout)
{
    const CreationSpec& layout = creationSpec(file);
    Staged staged{file, btrieve::findExistingFile(layout.fileName).value_or(layout.fileName),
                  btrieve::privateFileFor(layout.fileName)};
    staged.leftOut = leftOut;
    for (auto it = mStaged.begin(); it != mStaged.end(); ++it)
        if (it->file == file) {
            removeWithJournal(it->temporary);
            mStaged.erase(it);
            break;
        }
    removeWithJournal(staged.temporary);

    std::error_code ec;
    const bool replaces = fs::exists(staged.target, ec);
    // No rows make no FIELDEXT.DDF where there was none: the file is optional.
    if (fileLayout == FileLayout::Own && !replaces && file == DictFile::FieldExt && rows.empty())
        return false;
    uint16_t recordLength = layout.recordLength;
    std::vector<uint8_t> own;
    if (fileLayout != FileLayout::Standard && replaces)
        own = ownLayout(staged.target, recordLength);
    if (own.empty())
        recordLength = layout.recordLength;

    SharedWinBtr btr;
    const auto create = [&](std::vector<uint8_t> createBuffer) {
        btr->ClearKey(255);
        std::strncpy(btr->KeyBuffer, staged.temporary.c_str(), sizeof btr->KeyBuffer - 1);
        btr->KeyNumber = 0;
        return btr->ExecuteWith(btr::OpCreate, createBuffer.data(),
                                static_cast<uint16_t>(createBuffer.size()));
    };
    std::string ownLayoutRefused;
    if (!own.empty()) {
        if (const int16_t status = create(own); status != btr::StatusSuccess) {
            ownLayoutRefused = statusText(status);
            removeWithJournal(staged.temporary);
            own.clear();
            recordLength = layout.recordLength;
        }
    }
    if (own.empty() && create(layout.bytes) != btr::StatusSuccess) {
        report.fileNotCreated(layout.fileName, btr->StatusOf());
        removeWithJournal(staged.temporary);
        ++mRefusals;
        return false;
    }
    if (!ownLayoutRefused.empty())
        report.note(std::string(layout.fileName) +
                    " could not be made again with the records and keys of the file it replaces (" +
                    ownLayoutRefused + "); it is written in the standard layout.");
    if (btr->Open(staged.temporary, "", 0) != btr::StatusSuccess) {
        report.fileNotOpened(layout.fileName, btr->StatusOf());
        removeWithJournal(staged.temporary);
        ++mRefusals;
        return false;
    }
    btr->SetBufferSize(recordLength);
    const bool fits = recordLength <= array.recordSize();
    std::vector<uint8_t> record;
    for (const RowSlot& r : rows) {
        const std::span<uint8_t> slot = array.slot(r.slot);
        if (fits) {
            btr->UseBuffer(slot.data());
        } else {
            record = fitted(slot, recordLength);
            btr->UseBuffer(record.data());
        }
        if (cutsValue(file, slot, recordLength))
            report.rowNoted(layout.fileName, r.row,
                            "values past byte " + std::to_string(recordLength) + " do not fit the file's " +
                                std::to_string(recordLength) + "-byte records and were left out");
        if (btr->Insert() != btr::StatusSuccess) {
            report.rowRefused(layout.fileName, r.row, btr->StatusOf());
            ++mRefusals;
        } else {
            ++staged.records;
        }
        writeStep("insert");
    }
    if (btr->Close() != btr::StatusSuccess || !syncFile(staged.temporary)) {
        report.fileNotCreated(layout.fileName,
                              btr->StatusOf() ? int(btr->StatusOf()) : int(btr::StatusIoError));
        removeWithJournal(staged.temporary);
        ++mRefusals;
        return false;
    }
    // What the old file held matters only when the new one holds nothing (wouldEmpty).
    if (staged.records == 0 && replaces)
        staged.previousRecords = recordCountOf(staged.target);
    mStaged.push_back(std::move(staged));
    return true;
}

void DictionarySetWriter::abandon()
{
    for (const Staged& s : mStaged)
        removeWithJournal(s.temporary);
    mStaged.clear();
    mRefusals = 0;
}

std::string DictionarySetWriter::commit(const std::function<std::string(const std::string& path)>& backUp)
{
    if (mStaged.empty())
        return {};
    for (const Staged& s : mStaged) {
        std::error_code ec;
        if (!backUp || !fs::exists(s.target, ec))
            continue;
        if (const std::string why = backUp(s.target); !why.empty()) {
            const std::string name = creationSpec(s.file).fileName;
            abandon();
            return name + " was not written: " + why;
        }
    }

    for (const Staged& s : mStaged)
        takeModeFor(s.temporary, s.target);

    std::string marker = std::string(kMarkerHeader) + "\n";
    for (const Staged& s : mStaged)
        marker += s.temporary + "\t" + s.target + "\n";
    const std::string markerTemp = std::string(kSetMarkerName) + ".new";
    {
        std::ofstream out(markerTemp, std::ios::binary | std::ios::trunc);
        out << marker;
        out.flush();
        if (!out) {
            std::error_code ec;
            fs::remove(markerTemp, ec);
            const std::string name = creationSpec(mStaged.front().file).fileName;
            abandon();
            return name + " was not written: the marker " + std::string(kSetMarkerName) +
                   " could not be written";
        }
    }
    writeStep("marker");
    if (!syncFile(markerTemp) || !renameDurably(markerTemp, kSetMarkerName).empty()) {
        std::error_code ec;
        fs::remove(markerTemp, ec);
        const std::string name = creationSpec(mStaged.front().file).fileName;
        abandon();
        return name + " was not written: the marker " + std::string(kSetMarkerName) + " could not be written";
    }

    // From here on the set is decided: what a failure leaves, the next start finishes.
    std::string failure;
    for (const Staged& s : mStaged) {
        std::error_code ec;
        // A journal left beside the old file by a crash would be played back into the new one.
        fs::remove(s.target + "-journal", ec);
        fs::rename(s.temporary, s.target, ec);
        if (ec && failure.empty())
            failure = std::string(creationSpec(s.file).fileName) + " was not written: " + ec.message();
        writeStep("rename");
    }
    syncDirectory(".");
    if (failure.empty()) {
        std::error_code ec;
        fs::remove(kSetMarkerName, ec);
        syncDirectory(".");
        writeStep("unmark");
    }
    mStaged.clear();
    return failure;
}

std::string finishInterruptedSet(const std::string& directory)
{
    const fs::path dir(directory.empty() ? "." : directory);
    const fs::path markerPath = dir / kSetMarkerName;
    std::error_code ec;
    std::vector<std::string> finished, stillOpen;
    bool hadMarker = false;
    if (fs::exists(markerPath, ec)) {
        hadMarker = true;
        std::ifstream in(markerPath, std::ios::binary);
        std::string line;
        std::getline(in, line);
        const bool known = line == kMarkerHeader;
        std::size_t listed = 0;
        while (known && std::getline(in, line)) {
            const std::size_t tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            const std::string temporary = line.substr(0, tab), target = line.substr(tab + 1);
            if (!plainName(temporary) || !plainName(target) || !btrieve::isPrivateFileName(temporary))
                continue;
            ++listed;
            if (!fs::exists(dir / temporary, ec))
                continue; // renamed before the cut
            fs::remove(dir / (target + "-journal"), ec);
            fs::rename(dir / temporary, dir / target, ec);
            (ec ? stillOpen : finished).push_back(target);
        }
        syncDirectory(dir.string());
        if (stillOpen.empty()) {
            fs::remove(markerPath, ec);
            syncDirectory(dir.string());
        }
        if (!stillOpen.empty())
            return "A Build of the dictionary set was cut off while its files were replaced; " +
                   joinNames(stillOpen) + (stillOpen.size() == 1 ? " is" : " are") +
                   " still to be replaced and could not be: the new " +
                   (stillOpen.size() == 1 ? "file waits" : "files wait") + " beside the old under " +
                   std::string(btrieve::kPrivateFileSuffix) + " names.";
        if (!finished.empty())
            return "A Build of the dictionary set was cut off while its files were replaced; the replacing "
                   "was finished now (" +
                   joinNames(finished) + "), so the whole set is the one that Build wrote.";
        (void)listed;
    }
    // Private copies without a marker: a Build cut off before it replaced anything.
    std::vector<std::string> removed;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (btrieve::isPrivateFileName(name) && name[0] == '.') {
            removeWithJournal(entry.path().string());
            removed.push_back(btrieve::privateFileTarget(name));
        }
    }
    fs::remove(dir / (std::string(kSetMarkerName) + ".new"), ec);
    if (!removed.empty()) {
        std::sort(removed.begin(), removed.end());
        syncDirectory(dir.string());
        return "A Build of the dictionary set was cut off before it replaced any file; its unfinished " +
               std::string(removed.size() == 1 ? "copy" : "copies") + " of " + joinNames(removed) +
               (removed.size() == 1 ? " was" : " were") + " removed, and the dictionary is as it was before.";
    }
    (void)hadMarker;
    return {};
}

} // namespace dict
