#pragma once
// Generated dictionary sets for the set-writing tests: written, read back and compared file by
// file, with the backups pointed into the test's scratch directory.
#include "Backups.h"
#include "DictionaryIo.h"
#include "Records.h"
#include "SetWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace settest {

constexpr std::array<dict::DictFile, 4> kFiles{dict::DictFile::File, dict::DictFile::Field,
                                               dict::DictFile::Index, dict::DictFile::FieldExt};

using Records = std::vector<std::vector<uint8_t>>;

// One generation of a dictionary set: the records of each file, encoded.
struct Generation {
    std::array<Records, 4> files;
};

// `tables` tables, each with three fields, a key on its first field and an extended type on
// its last; `salt` changes every name and type so two generations never share a record.
inline Generation generate(int tables, int salt)
{
    Generation g;
    int fieldId = 1;
    for (int t = 1; t <= tables; ++t) {
        dict::FileRecord file;
        file.id = int16_t(t);
        file.name = "T" + std::to_string(salt) + "_" + std::to_string(t);
        file.loc = file.name + ".BTR";
        std::vector<uint8_t> bytes(dict::FileRecord::kSize);
        file.encode(bytes);
        g.files[0].push_back(bytes);
        for (int f = 0; f < 3; ++f, ++fieldId) {
            dict::FieldRecord field;
            field.id = int16_t(fieldId);
            field.file = int16_t(t);
            field.name = "F" + std::to_string(salt) + "_" + std::to_string(fieldId);
            field.dataType = uint8_t((salt + f) % 10);
            field.offset = int16_t(f * 4);
            field.size = 4;
            bytes.assign(dict::FieldRecord::kSize, 0);
            field.encode(bytes);
            g.files[1].push_back(bytes);
            if (f == 0) {
                dict::IndexRecord key{int16_t(t), int16_t(fieldId), 0, 0, int16_t(salt % 2 ? 0x100 : 0x102)};
                bytes.assign(dict::IndexRecord::kSize, 0);
                key.encode(bytes);
                g.files[2].push_back(bytes);
            }
            if (f == 2) {
                dict::FieldExtRecord ext{int16_t(t), int16_t(fieldId), int16_t(200 + salt % 50)};
                bytes.assign(dict::FieldExtRecord::kSize, 0);
                ext.encode(bytes);
                g.files[3].push_back(bytes);
            }
        }
    }
    return g;
}

inline dict::RecordArray arrayFor(dict::DictFile file)
{
    switch (file) {
    case dict::DictFile::File:
        return dict::makeFileTableArray();
    case dict::DictFile::Field:
        return dict::makeFieldTableArray();
    case dict::DictFile::Index:
        return dict::makeIndexTableArray();
    case dict::DictFile::FieldExt:
        break;
    }
    return dict::makeExtTableArray();
}

// Stages the records of the files in `which` (all four by default) into the set.
inline void stage(dict::DictionarySetWriter& set, const Generation& g, dict::BuildReport& report,
                  std::vector<int> which = {0, 1, 2, 3})
{
    for (int i : which) {
        dict::RecordArray array = arrayFor(kFiles[i]);
        std::vector<dict::RowSlot> rows;
        for (std::size_t r = 0; r < g.files[i].size(); ++r) {
            std::copy(g.files[i][r].begin(), g.files[i][r].end(), array.slot(r).begin());
            rows.push_back({int(r) + 1, r});
        }
        set.stage(kFiles[i], array, rows, report);
    }
}

// Writes a whole generation as the window's Build DDFs does, backups included. Empty or the
// error of the commit.
inline std::string writeGeneration(const Generation& g)
{
    dict::DictionarySetWriter set;
    dict::BuildReport report;
    stage(set, g, report);
    EXPECT_TRUE(report.empty()) << report.text(true);
    return set.commit([](const std::string& path) { return dict::backUpFile(path); });
}

// The records of one file of the current directory in key-0 order, or nullopt-like: `status`
// is the Open's status (0 when read).
inline Records readFile(dict::DictFile file, int& status)
{
    dict::RecordArray array = arrayFor(file);
    std::size_t count = 0;
    int stopped = 0;
    Records out;
    status = dict::readDictionaryFile(file, array, count, &stopped);
    if (status == 0 && stopped != 9)
        status = stopped;
    for (std::size_t i = 0; status == 0 && i < count; ++i) {
        const auto slot = std::as_const(array).slot(i);
        out.emplace_back(slot.begin(), slot.end());
    }
    return out;
}

// The same records, whatever their order.
inline bool sameRecords(Records a, Records b)
{
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// A scratch directory as the current directory, the backups inside it.
class SetWriting : public ::testing::Test {
protected:
    SetWriting()
    {
        const char* old = std::getenv("XDG_DATA_HOME");
        mHadData = old != nullptr;
        if (old)
            mOldData = old;
        ::setenv("XDG_DATA_HOME", mDir.file("data").c_str(), 1);
    }
    ~SetWriting() override
    {
        if (mHadData)
            ::setenv("XDG_DATA_HOME", mOldData.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    testsupport::TempDir mDir;
    testsupport::CurrentDirGuard mCwd{mDir.path()};
    bool mHadData = false;
    std::string mOldData;
};

} // namespace settest
