#pragma once
// A TMain in a scratch directory that is the current directory, with every message captured.
#include "DDFUnit.h"
#include "TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

class FilesPageFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TMain::MessageHook = [this](QMessageBox::Icon icon, const QString& text) {
            mMessages.push_back({icon, text});
        };
        mWindow = std::make_unique<TMain>();
    }
    void TearDown() override
    {
        mWindow.reset();
        TMain::MessageHook = nullptr;
    }

    TMain& w() { return *mWindow; }
    TVarGrid* grid() { return mWindow->FileGrid; }

    std::vector<QStringList> rows()
    {
        std::vector<QStringList> all;
        for (int r = 0; r < grid()->RowCount(); ++r)
            all.push_back(grid()->rowCells(r));
        return all;
    }

    // Makes row r current, puts the texts into its cells and releases a key, as typing does.
    void type(int row, int col, const QString& text)
    {
        grid()->setRow(row);
        grid()->setCells(col, row, text);
        mWindow->FileGridKeyUp(Qt::Key_A);
    }

    QStringList messages(QMessageBox::Icon icon) const
    {
        QStringList texts;
        for (const auto& [i, t] : mMessages)
            if (i == icon)
                texts << t;
        return texts;
    }

    QByteArray fileBytes(const QString& name) const
    {
        QFile f(QString::fromStdString(mDir.file(name.toStdString())));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    testsupport::TempDir mDir;
    testsupport::CurrentDirGuard mCwd{mDir.path()};
    std::unique_ptr<TMain> mWindow;
    std::vector<std::pair<QMessageBox::Icon, QString>> mMessages;
};
