#include "BuildReport.h"

#include "DataFiles.h"
#include "Status.h"
#include "Text.h"

#include <algorithm>

namespace dict {
std::string statusText(int status)
{
    return "status " + std::to_string(status) + " (" + btr::statusMeaning(status) + ")";
}

namespace {

constexpr std::size_t kRowsNamed = 10;

std::string rowList(const std::vector<int>& rows)
{
    std::string text = rows.size() == 1 ? "row " : "rows ";
    const std::size_t named = std::min(rows.size(), kRowsNamed);
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0)
            text += (i + 1 == named && named == rows.size()) ? " and " : ", ";
        text += std::to_string(rows[i]);
    }
    if (rows.size() > named)
        text += " and " + std::to_string(rows.size() - named) + " more";
    return text;
}

} // namespace

void BuildReport::fileNotCreated(const std::string& fileName, int status)
{
    mEntries.push_back({Kind::NotCreated, fileName, status, {}, {}});
}

void BuildReport::fileNotOpened(const std::string& fileName, int status)
{
    mEntries.push_back({Kind::NotOpened, fileName, status, {}, {}});
}

void BuildReport::rowRefused(const std::string& fileName, int row, int status)
{
    auto it = std::find_if(mEntries.begin(), mEntries.end(), [&](const Entry& e) {
        return e.kind == Kind::RowsRefused && e.fileName == fileName && e.status == status;
    });
    if (it == mEntries.end())
        mEntries.push_back({Kind::RowsRefused, fileName, status, {row}, {}});
    else
        it->rows.push_back(row);
}

void BuildReport::addRow(Kind kind, const std::string& fileName, int row, const std::string& why)
{
    auto it = std::find_if(mEntries.begin(), mEntries.end(), [&](const Entry& e) {
        return e.kind == kind && e.fileName == fileName && e.why == why;
    });
    if (it == mEntries.end())
        mEntries.push_back({kind, fileName, 0, {row}, why});
    else
        it->rows.push_back(row);
}

void BuildReport::rowLeftOut(const std::string& fileName, int row, const std::string& why)
{
    addRow(Kind::RowsLeftOut, fileName, row, why);
}

void BuildReport::rowNoted(const std::string& fileName, int row, const std::string& what)
{
    addRow(Kind::RowsNoted, fileName, row, what);
}

void BuildReport::fileLeftAsItWas(const std::string& fileName, const std::string& why)
{
    mEntries.push_back({Kind::LeftAsItWas, fileName, 0, {}, why});
}

void BuildReport::note(const std::string& sentence)
{
    mEntries.push_back({Kind::Note, {}, 0, {}, sentence});
}

bool BuildReport::leftSomethingOut() const
{
    return std::any_of(mEntries.begin(), mEntries.end(), [](const Entry& e) {
        return e.kind == Kind::NotCreated || e.kind == Kind::NotOpened || e.kind == Kind::RowsRefused ||
               e.kind == Kind::RowsLeftOut;
    });
}

std::string BuildReport::text(bool embeddedRecordManager) const
{
    std::string text;
    // The embedded record manager reads genuine Btrieve files but never writes them: such files
    // are named together in one sentence, first.
    auto genuine = [&](const Entry& e) {
        return embeddedRecordManager && e.kind == Kind::NotCreated && e.status == btr::StatusAccessDenied;
    };
    std::vector<std::string> genuineFiles;
    for (const Entry& e : mEntries)
        if (genuine(e))
            genuineFiles.push_back(e.fileName);
    if (!genuineFiles.empty()) {
        std::string names = genuineFiles.front();
        for (std::size_t i = 1; i < genuineFiles.size(); ++i)
            names += (i + 1 == genuineFiles.size() ? " and " : ", ") + genuineFiles[i];
        const bool one = genuineFiles.size() == 1;
        text = names + (one ? " is a file" : " are files") +
               " of the Btrieve record manager, which Quillan's embedded record manager can only read; " +
               (one ? "it was" : "they were") +
               " left unchanged. Build the dictionary into another directory, or install the record "
               "manager.";
    }
    for (const Entry& e : mEntries) {
        if (genuine(e))
            continue;
        if (!text.empty())
            text += '\n';
        switch (e.kind) {
        case Kind::NotCreated:
            text += fileNotCreatedText(e.fileName, e.status);
            break;
        case Kind::NotOpened:
            text += e.fileName + " was not opened: " + statusText(e.status) + ".";
            break;
        case Kind::RowsRefused:
            text += e.fileName + ": " + rowList(e.rows) + (e.rows.size() == 1 ? " was" : " were") +
                    " not written: " + statusText(e.status) + ".";
            break;
        case Kind::RowsLeftOut:
            text += e.fileName + ": " + rowList(e.rows) + (e.rows.size() == 1 ? " was" : " were") +
                    " left out: " + e.why + ".";
            break;
        case Kind::RowsNoted:
            text += e.fileName + ": " + rowList(e.rows) + ": " + e.why + ".";
            break;
        case Kind::LeftAsItWas:
            text += e.fileName + " was left as it was: " + e.why + ".";
            break;
        case Kind::Note:
            text += e.why;
            break;
        }
    }
    return text;
}

std::string readStoppedText(const std::string& fileName, std::size_t recordsRead, int status,
                            std::optional<std::uint32_t> damagedPage, std::string_view ending)
{
    return fileName + ": reading stopped after " + std::to_string(recordsRead) +
           (recordsRead == 1 ? " record" : " records") +
           (damagedPage ? " at damaged page " + std::to_string(*damagedPage) : std::string()) + ": " +
           statusText(status) + std::string(ending);
}

namespace {

std::string notCreatedFor(std::string_view table)
{
    return "No data file was created for " + std::string(text::withoutTrailingBlanks(table)) + ": ";
}

} // namespace

std::string createProblemText(const CreateBuffer& buffer, std::string_view table)
{
    using Problem = CreateBuffer::Problem;
    const std::string& detail = buffer.detail;
    switch (buffer.problem) {
    case Problem::None:
        break;
    case Problem::NotANumber:
        return text::notAnIntegerMessage(detail);
    case Problem::FieldNotFound:
        return notCreatedFor(table) +
               (detail.empty() ? std::string("a key row of the table names no field.")
                               : "its key field \"" + std::string(text::withoutTrailingBlanks(detail)) +
                                     "\" is not a field of the table in the Fields grid.");
    case Problem::NoRecordLength:
        return notCreatedFor(table) +
               "its record length is 0 (Record Length is 0 and the Fields grid holds no field of the table).";
    case Problem::BadRecordLength:
        return notCreatedFor(table) + "a record length of " + detail + " is outside 1..65535.";
    case Problem::TooManySegments:
        return notCreatedFor(table) + "its keys have " + detail +
               " segments, and a data file takes at most " + std::to_string(kMaxCreateSegments) + ".";
    case Problem::BadSegment:
        return notCreatedFor(table) + "its key field \"" + std::string(text::withoutTrailingBlanks(detail)) +
               "\" has an offset, size or type, or its key flags, below 0 or too large for a key "
               "specification.";
    }
    return {};
}

std::string createLocationTooLongText(std::string_view table, std::size_t length)
{
    return notCreatedFor(table) + "its location is " + std::to_string(length) +
           " bytes long, and the record manager takes at most " + std::to_string(kLongestCreateName) + ".";
}

std::string fileNotCreatedText(std::string_view fileName, int status)
{
    return std::string(fileName) + " was not created: " + statusText(status) + ".";
}

} // namespace dict
