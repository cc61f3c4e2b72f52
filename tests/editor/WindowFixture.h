#pragma once
// The one fixture of every window test: a TMain whose current directory is a fresh scratch
// directory, with the alias registry file and the user's data directory (backups) pointed into
// it and restored afterwards, and every message box captured instead of shown.
#include "DDFUnit.h"
#include "TempDir.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

// Everything but the window: tests that start windows of their own (several runs in a row, a
// window made after files are in place) use this.
class WindowEnvironment : public ::testing::Test {
protected:
    WindowEnvironment()
    {
        for (auto& [name, value] : mEnvironment) {
            value.first = qEnvironmentVariableIsSet(name);
            value.second = qgetenv(name);
        }
        qputenv("QUILLAN_REGISTRY_FILE", QFile::encodeName(path(QStringLiteral("registry/registry.reg"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
        TMain::MessageHook = [this](QMessageBox::Icon icon, const QString& text) {
            mMessages.push_back({icon, text});
        };
        // A question no test expects is answered Yes, as a user who reads on would, and kept.
        TMain::QuestionHook = [this](const QString& text) {
            mAskedQuestions << text;
            return true;
        };
        // A question of several answers no test expects gets its first (default) answer.
        TMain::ChoiceHook = [this](const QString& text, const QStringList& answers) {
            mAskedQuestions << text;
            return answers.value(0);
        };
    }
    ~WindowEnvironment() override
    {
        TMain::MessageHook = nullptr;
        TMain::QuestionHook = nullptr;
        TMain::ChoiceHook = nullptr;
        for (const auto& [name, value] : mEnvironment) {
            if (value.first)
                qputenv(name, value.second);
            else
                qunsetenv(name);
        }
    }

    QString path(const QString& name) const { return QString::fromStdString(mDir.file(name.toStdString())); }
    QString registryFile() const { return path(QStringLiteral("registry/registry.reg")); }

    QStringList messages(QMessageBox::Icon icon) const
    {
        QStringList texts;
        for (const auto& [i, t] : mMessages)
            if (i == icon)
                texts << t;
        return texts;
    }
    QStringList allMessages() const
    {
        QStringList texts;
        for (const auto& message : mMessages)
            texts << message.second;
        return texts;
    }
    QList<QMessageBox::Icon> allIcons() const
    {
        QList<QMessageBox::Icon> icons;
        for (const auto& message : mMessages)
            icons << message.first;
        return icons;
    }

    QByteArray fileBytes(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    testsupport::TempDir mDir;
    testsupport::CurrentDirGuard mCwd{mDir.path()};
    std::vector<std::pair<const char*, std::pair<bool, QByteArray>>> mEnvironment{
        {"QUILLAN_REGISTRY_FILE", {}}, {"XDG_DATA_HOME", {}}};
    std::vector<std::pair<QMessageBox::Icon, QString>> mMessages;
    QStringList mAskedQuestions;
};

// A window started in the environment above.
class WindowFixture : public WindowEnvironment {
protected:
    void SetUp() override { mWindow = std::make_unique<TMain>(); }
    void TearDown() override { mWindow.reset(); }

    TMain& w() { return *mWindow; }
    TVarGrid* grid() { return mWindow->FileGrid; }

    std::vector<QStringList> rows(const TVarGrid* g)
    {
        std::vector<QStringList> all;
        for (int r = 0; r < g->RowCount(); ++r)
            all.push_back(g->rowCells(r));
        return all;
    }
    std::vector<QStringList> rows() { return rows(grid()); }

    // Makes row r of the Files grid current, puts the text into its cell and releases a key, as
    // typing does.
    void type(int row, int col, const QString& text)
    {
        grid()->setRow(row);
        grid()->setCells(col, row, text);
        mWindow->FileGridKeyUp(Qt::Key_A);
    }

    // Types the text into a cell with real key presses and releases, as a user does: the first
    // key opens the cell editor (replacing the cell's text) and every release reaches the grid's
    // key-up handler through the editor. The window is shown for it.
    void typeKeys(TVarGrid* g, int row, int col, const QString& text)
    {
        showWindow();
        g->setRow(row);
        g->setCol(col);
        g->setFocus();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        // A key's release reaches whatever has the focus after its press: the cell editor that
        // the press opened, as it does for a user.
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : g;
            QTest::keyPress(target, c.toLatin1());
            target = QApplication::focusWidget() ? QApplication::focusWidget() : g;
            QTest::keyRelease(target, c.toLatin1());
        }
    }
    // Presses a key (Return, Escape, Backspace...) in whatever has the focus.
    void pressKey(Qt::Key key)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : mWindow.get();
        QTest::keyPress(target, key);
        target = QApplication::focusWidget() ? QApplication::focusWidget() : mWindow.get();
        QTest::keyRelease(target, key);
    }
    void showWindow()
    {
        if (mWindow->isVisible())
            return;
        mWindow->show();
        mWindow->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(mWindow.get()));
    }

    std::unique_ptr<TMain> mWindow;
};

// The Files page tests' name for it.
using FilesPageFixture = WindowFixture;
