#pragma once
// The Files page with the embedded record manager behind it, and a second, independent look at
// the files it reads and writes: straight through TWinBtr, as any other program would see them.
#include "Binding.h"
#include "Status.h"
#include "WinBtr.h"
#include "WindowFixture.h"

#include <QByteArray>
#include <QFile>

#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

class DictionaryOnDisk : public FilesPageFixture {
protected:
    void SetUp() override
    {
        btrieve::setRecordManagerForTesting(&QuillanEngineCall);
        FilesPageFixture::SetUp();
    }
    void TearDown() override
    {
        FilesPageFixture::TearDown();
        btrieve::setRecordManagerForTesting(nullptr);
    }

    // A new window started in the test directory, as at the next run of the program.
    void restart()
    {
        mWindow.reset();
        mWindow = std::make_unique<TMain>();
    }

    // Selects a file in the browser's file list the way a user does: the filter that shows it,
    // then a click on its name.
    void choose(const QString& name, int filter)
    {
        w().FilterComboBox->setCurrentIndex(filter);
        emit w().FilterComboBox->activated(filter);
        const auto items = w().FileListBox->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        w().FileListBox->setCurrentItem(items.first());
        emit w().FileListBox->mouseUp();
    }

    QString path(const QString& name) const { return QString::fromStdString(mDir.file(name.toStdString())); }

    void writeBytes(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    template <class Bytes> void writeBytes(const QString& name, const Bytes& bytes)
    {
        writeBytes(name, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    }
};

// What a file holds, read through the record manager: its statistics and its records in the order
// of key 0 (Step order for a file without keys).
struct FileContents {
    int openStatus = -1;
    QByteArray stat;
    std::vector<QByteArray> records;
};

inline FileContents readThroughRecordManager(const std::string& fileName)
{
    FileContents out;
    TWinBtr file;
    out.openStatus = file.Open(fileName, "", 0);
    if (out.openStatus != btr::StatusSuccess)
        return out;
    out.stat = QByteArray(btr::kStatBufferSize, '\0');
    file.StatInto(out.stat.data());
    file.KeyNumber = 0;
    for (file.GetFirst(); file.IsOk(); file.GetNext())
        out.records.emplace_back(file.Buffer, file.BufferSize);
    return out;
}

// Creates a file with the record manager's Create and inserts the records in the order given.
// Returns the first status that is not 0.
inline int createThroughRecordManager(const std::string& fileName, std::vector<uint8_t> createBuffer,
                                      const std::vector<QByteArray>& records)
{
    TWinBtr file;
    file.ClearKey(255);
    fileName.copy(file.KeyBuffer, sizeof file.KeyBuffer - 1);
    if (file.ExecuteWith(btr::OpCreate, createBuffer.data(), uint16_t(createBuffer.size())) != 0)
        return file.StatusOf();
    if (file.Open(fileName, "", 0) != 0)
        return file.StatusOf();
    for (QByteArray record : records) {
        record.resize(file.BufferSize, '\0');
        file.UseBuffer(record.data());
        if (file.Insert() != 0)
            return file.StatusOf();
    }
    return file.Close();
}
