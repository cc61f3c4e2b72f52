#include "SetWriter.h"

#include "Backups.h"
#include "FileLookup.h"
#include "SafeFiles.h"
#include "Status.h"
#include "WinBtr.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

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

} // namespace

DictionarySetWriter::~DictionarySetWriter()
{
    abandon();
}

bool DictionarySetWriter::wouldEmpty(const Staged& file)
{
    return file.records == 0 && (file.previousRecords > 0 || file.leftOut > 0);
}

bool DictionarySetWriter::stage(DictFile file, RecordArray& array, const std::vector<RowSlot>& rows,
                                BuildReport& report, std::size_t leftOut)
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

    SharedWinBtr btr;
    btr->ClearKey(255);
    std::strncpy(btr->KeyBuffer, staged.temporary.c_str(), sizeof btr->KeyBuffer - 1);
    btr->KeyNumber = 0;
    std::vector<uint8_t> createBuffer = layout.bytes;
    if (btr->ExecuteWith(btr::OpCreate, createBuffer.data(), static_cast<uint16_t>(createBuffer.size())) !=
        btr::StatusSuccess) {
        report.fileNotCreated(layout.fileName, btr->StatusOf());
        removeWithJournal(staged.temporary);
        return false;
    }
    if (btr->Open(staged.temporary, "", 0) != btr::StatusSuccess) {
        report.fileNotOpened(layout.fileName, btr->StatusOf());
        removeWithJournal(staged.temporary);
        return false;
    }
    btr->SetBufferSize(layout.recordLength);
    for (const RowSlot& r : rows) {
        btr->UseBuffer(array.slot(r.slot).data());
        if (btr->Insert() != btr::StatusSuccess)
            report.rowRefused(layout.fileName, r.row, btr->StatusOf());
        else
            ++staged.records;
        writeStep("insert");
    }
    if (btr->Close() != btr::StatusSuccess || !syncFile(staged.temporary)) {
        report.fileNotCreated(layout.fileName,
                              btr->StatusOf() ? int(btr->StatusOf()) : int(btr::StatusIoError));
        removeWithJournal(staged.temporary);
        return false;
    }
    // What the old file held matters only when the new one holds nothing (wouldEmpty).
    std::error_code ec;
    if (staged.records == 0 && fs::exists(staged.target, ec))
        staged.previousRecords = recordCountOf(staged.target);
    mStaged.push_back(std::move(staged));
    return true;
}

void DictionarySetWriter::abandon()
{
    for (const Staged& s : mStaged)
        removeWithJournal(s.temporary);
    mStaged.clear();
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
