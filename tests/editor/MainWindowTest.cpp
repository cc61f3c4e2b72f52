#include "QtTestFiles.h"
#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <optional>

namespace {

namespace fs = std::filesystem;

using testsupport::writeFile;

// A TMain started in a scratch directory (start() makes it), with every message box captured.
class MainWindow : public WindowEnvironment {
protected:
    void TearDown() override { window.reset(); }
    void start() { window = std::make_unique<TMain>(); }
    QString path(const std::string& name) const
    {
        return WindowEnvironment::path(QString::fromStdString(name));
    }

    // Selects a file of the file list as a click does and releases the mouse on it.
    void choose(const QString& name)
    {
        const auto items = window->FileListBox->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        window->FileListBox->setCurrentItem(items.first());
        emit window->FileListBox->mouseUp();
    }

    testsupport::TempDir& dir = mDir;
    std::unique_ptr<TMain> window;
};

// ---- The enabling rule ----

struct EnablingCase {
    const char* name;
    std::vector<const char*> files;
    bool dictionary;    // "Open DDFs", Files "Open", "Registry"
    bool extendedTypes; // ExtFields "Open"
};

class EnablingRule : public MainWindow, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(EnablingRule, buttonsFollowTheDictionaryFilesInAnyLetterCase)
{
    for (const char* file : GetParam().files)
        writeFile(dir.path() / file, "x");
    start();
    EXPECT_EQ(window->OpenFile->isEnabled(), GetParam().dictionary);
    EXPECT_EQ(window->OpenFileDDF->isEnabled(), GetParam().dictionary);
    EXPECT_EQ(window->utils().RegistryBase->isEnabled(), GetParam().dictionary);
    EXPECT_EQ(window->extFields().OpenFieldExtDDF->isEnabled(), GetParam().extendedTypes);
    EXPECT_FALSE(window->BuildFile->isEnabled());
    EXPECT_TRUE(window->ClearFile->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Directories, EnablingRule,
                         ::testing::Values(EnablingCase{"empty", {}, false, false},
                                           EnablingCase{"mixedCase", {"File.ddf"}, true, false},
                                           EnablingCase{"lowerName", {"file.DDF"}, true, false},
                                           EnablingCase{"both", {"FILE.DDF", "FIELDEXT.DDF"}, true, true},
                                           EnablingCase{"extOnly", {"fieldext.ddf"}, false, true},
                                           EnablingCase{
                                               "lookalike", {"FILE.DDF.bak", "XFILE.DDF"}, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, aDirectoryCalledFileDdfDoesNotCount)
{
    fs::create_directory(dir.path() / "FILE.DDF");
    start();
    EXPECT_FALSE(window->OpenFile->isEnabled());
}

TEST_F(MainWindow, choosingADirectoryMakesItCurrentAndRerunsTheEnablingRule)
{
    fs::create_directory(dir.path() / "set");
    writeFile(dir.path() / "set" / "FILE.DDF", "x");
    start();
    ASSERT_FALSE(window->OpenFile->isEnabled());
    emit window->DirectoryListBox->directoryChosen(path("set"));
    EXPECT_EQ(QDir::currentPath(), path("set"));
    EXPECT_EQ(window->currentDirectory(), path("set"));
    EXPECT_TRUE(window->OpenFile->isEnabled());
    EXPECT_EQ(window->FileListBox->count(), 1);
    emit window->DirectoryListBox->directoryChosen(path(""));
    EXPECT_FALSE(window->OpenFile->isEnabled());
}

TEST_F(MainWindow, aDirectoryThatIsGoneIsReportedAndTheCurrentOneStays)
{
    start();
    emit window->DirectoryListBox->directoryChosen(path("gone"));
    EXPECT_EQ(allMessages(), QStringList({"File not found."}));
    EXPECT_EQ(fs::current_path(), dir.path());
}

// ---- Delete File ----

TEST_F(MainWindow, deleteFileRemovesTheSelectedFileAndRerunsTheEnablingRule)
{
    writeFile(dir.path() / "FILE.DDF", "x");
    writeFile(dir.path() / "FIELD.DDF", "x");
    start();
    ASSERT_TRUE(window->OpenFile->isEnabled());
    choose("FILE.DDF");
    window->DeleteFile->click();
    EXPECT_TRUE(allMessages().isEmpty());
    EXPECT_FALSE(fs::exists(dir.path() / "FILE.DDF"));
    EXPECT_TRUE(fs::exists(dir.path() / "FIELD.DDF"));
    EXPECT_EQ(window->FileListBox->count(), 1);
    EXPECT_FALSE(window->OpenFile->isEnabled());
    EXPECT_FALSE(window->utils().RegistryBase->isEnabled());
}

TEST_F(MainWindow, deleteFileThatFailsShowsTheRuntimeTextAndChangesNothingElse)
{
    writeFile(dir.path() / "FILE.DDF", "x");
    start();
    choose("FILE.DDF");
    fs::remove(dir.path() / "FILE.DDF");
    window->DeleteFile->click();
    EXPECT_EQ(allMessages(), QStringList({"File not found."}));
    EXPECT_EQ(allIcons(), QList<QMessageBox::Icon>({QMessageBox::Critical}));
    EXPECT_EQ(window->FileListBox->count(), 1); // not re-read
    EXPECT_TRUE(window->OpenFile->isEnabled()); // enabling rule not run
}

TEST_F(MainWindow, deleteFileWithNothingSelectedDoesNothing)
{
    writeFile(dir.path() / "FILE.DDF", "x");
    start();
    window->DeleteFile->click();
    EXPECT_TRUE(allMessages().isEmpty());
    EXPECT_TRUE(fs::exists(dir.path() / "FILE.DDF"));
}

TEST(FileErrors, systemErrorsReadAsTheRuntimeTexts)
{
    const std::pair<int, const char*> cases[] = {
        {ENOENT, "File not found"},    {EACCES, "File access denied"}, {EPERM, "File access denied"},
        {EROFS, "File access denied"}, {EIO, "I/O error 5"},           {ENOSPC, "I/O error 28"}};
    for (const auto& [err, text] : cases)
        EXPECT_STREQ(EInOutError::fromErrno(err).what(), text) << err;
}

// ---- SelectListedFile ----

struct MatchCase {
    const char* name;
    std::string file;     // the file chosen in the list
    std::string location; // Xf$Loc of row 2; "@" stands for the directory
    bool matches;
};

class FileRowMatch : public MainWindow, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(FileRowMatch, choosingAFileMakesTheRowWithItsLocationCurrent)
{
    const MatchCase& c = GetParam();
    // A short directory, so that full paths stay within the 63 characters compared.
    QTemporaryDir shortDir(QStringLiteral("/tmp/qXXXXXX"));
    ASSERT_TRUE(shortDir.isValid());
    writeFile(fs::path(shortDir.path().toStdString()) / c.file, "12345");
    start();
    window->changeDirectory(shortDir.path());
    window->FileListBox->setMask(QStringLiteral("*.*"));
    QString location = QString::fromStdString(c.location);
    location.replace(QLatin1Char('@'), shortDir.path());
    window->FileGrid->setRowCount(5);
    window->FileGrid->setCells(2, 1, QStringLiteral("OTHER.BTR"));
    window->FileGrid->setCells(2, 2, location);
    window->FileGrid->setCells(2, 3, location); // a later match does not win
    window->FileGrid->setRow(4);
    choose(QString::fromStdString(c.file));
    EXPECT_EQ(window->FileGrid->Row(), c.matches ? 2 : 4);
    EXPECT_EQ(window->LSizeFile->text(), QStringLiteral("5"));
}

const std::string k63(63, 'L');
INSTANTIATE_TEST_SUITE_P(
    Locations, FileRowMatch,
    ::testing::Values(MatchCase{"bareNameOtherCase", "Cust.btr", "CUST.BTR", true},
                      MatchCase{"bareNameLowerCase", "CUST.BTR", "cust.btr", true},
                      MatchCase{"fullPath", "CUST.BTR", "@/CUST.BTR", true},
                      MatchCase{"fullPathOtherCase", "cust.btr", "@/CUST.BTR", true},
                      MatchCase{"trailingBlanks", "CUST.BTR", "CUST.BTR                 ", true},
                      MatchCase{"cutAtFirstBlank", "CUST.BTR", "CUST.BTR old copy", true},
                      MatchCase{"cutAt63", k63 + ".BTR", k63 + ".BTR", false},
                      MatchCase{"first63Only", k63, k63 + "MORE", true},
                      MatchCase{"otherFile", "CUST.BTR", "CUSTOMER.BTR", false},
                      MatchCase{"emptyLocation", "CUST.BTR", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, aZeroLengthFileShowsSizeZeroAndEnablesFindAndAdd)
{
    writeFile(dir.path() / "EMPTY.DDF", "");
    start();
    ASSERT_FALSE(window->utils().Search->isEnabled());
    ASSERT_FALSE(window->AddFile->isEnabled());
    choose("EMPTY.DDF");
    EXPECT_EQ(window->LSizeFile->text(), QStringLiteral("0"));
    EXPECT_TRUE(window->utils().Search->isEnabled());
    EXPECT_TRUE(window->AddFile->isEnabled());
    EXPECT_EQ(window->selectedFilePath(), path("EMPTY.DDF"));
}

TEST_F(MainWindow, aFileThatCannotBeOpenedIsNamedAndEnablesNothing)
{
    writeFile(dir.path() / "A.DDF", "abc");
    writeFile(dir.path() / "B.DDF", "x");
    start();
    choose("A.DDF");
    window->utils().Search->setEnabled(false);
    window->AddFile->setEnabled(false);
    fs::remove(dir.path() / "B.DDF");
    choose("B.DDF");
    EXPECT_EQ(allMessages(), QStringList({QStringLiteral("Can't open ") + path("B.DDF")}));
    EXPECT_EQ(window->LSizeFile->text(), QStringLiteral("3"));
    EXPECT_FALSE(window->utils().Search->isEnabled());
    EXPECT_FALSE(window->AddFile->isEnabled());
}

// ---- The default handler ----

TEST_F(MainWindow, theDefaultHandlerShowsTheErrorTextWithAFullStop)
{
    start();
    const std::pair<QString, QString> cases[] = {
        {"'x' is not a valid integer value", "'x' is not a valid integer value."},
        {"Invalid variant type conversion", "Invalid variant type conversion."},
        {"Ends with a stop.", "Ends with a stop."},
        {"I/O error 28", "I/O error 28."}};
    for (const auto& [thrown, shown] : cases) {
        mMessages.clear();
        window->guarded([&] { throw EditorError(thrown); });
        EXPECT_EQ(allMessages(), QStringList({shown}));
    }
    EXPECT_EQ(allIcons().last(), QMessageBox::Critical);
}

TEST_F(MainWindow, anErrorInAHandlerStopsAtTheWrapper)
{
    start();
    window->FileGrid->setCells(0, 1, QStringLiteral("abc"));
    window->guarded([&] { StrToInt(window->FileGrid->Cells(0, 1)); });
    EXPECT_EQ(allMessages(), QStringList({"'abc' is not a valid integer value."}));
}

// ---- Quillan.rec ----

TEST_F(MainWindow, aMissingMappingFileGivesDefaultLinesAndNoTicks)
{
    start();
    EXPECT_EQ(window->utils().TypeMapping, QStringList(29, QStringLiteral("0 0 0")));
    for (int k = 0; k < window->utils().RecordOption->count(); ++k)
        EXPECT_EQ(window->utils().RecordOption->item(k)->checkState(), Qt::Unchecked) << k;
    window.reset();
    QByteArray expected;
    for (int k = 0; k < 29; ++k)
        expected += "0 0 0\r\n";
    EXPECT_EQ(testsupport::readFileBytes(dir.path() / "Quillan.rec"), expected);
}

TEST_F(MainWindow, shortMappingFilesAreCompletedAndTickTheLinesBeginningWithOne)
{
    writeFile(dir.path() / "Quillan.rec", "1 3 4\r\n0 1\r\n\r\n1\n  \r\n");
    start();
    ASSERT_EQ(window->utils().TypeMapping.size(), 29);
    EXPECT_EQ(window->utils().TypeMapping.mid(0, 6),
              QStringList({"1 3 4", "0 1 0", "0 0 0", "1 0 0", "0 0 0", "0 0 0"}));
    EXPECT_EQ(window->utils().RecordOption->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(window->utils().RecordOption->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(window->utils().RecordOption->item(3)->checkState(), Qt::Checked);
    EXPECT_EQ(window->utils().RecordOption->item(28)->checkState(), Qt::Unchecked);
}

TEST_F(MainWindow, exitInAnotherDirectoryWritesTheMappingFileReadAtStart)
{
    QByteArray original;
    for (int k = 0; k < 29; ++k)
        original += k == 27 ? "1 19 4\r\n" : "0 0 0\r\n";
    writeFile(dir.path() / "Quillan.rec", original);
    fs::create_directory(dir.path() / "elsewhere");
    start();
    EXPECT_EQ(window->utils().RecordOption->item(27)->checkState(), Qt::Checked);
    window->changeDirectory(path("elsewhere"));
    window->utils().TypeMapping[5] = QStringLiteral("1 7 8");
    window.reset();
    EXPECT_FALSE(fs::exists(dir.path() / "elsewhere" / "Quillan.rec"));
    const QList<QByteArray> lines = testsupport::readFileBytes(dir.path() / "Quillan.rec").split('\n');
    ASSERT_EQ(lines.size(), 30); // 29 lines, each ended by CR LF
    EXPECT_EQ(lines[5], QByteArray("1 7 8\r"));
    EXPECT_EQ(lines[27], QByteArray("1 19 4\r"));
}

} // namespace
