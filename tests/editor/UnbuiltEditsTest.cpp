// What the window does not lose: Open DDFs takes a whole set or nothing, closing with edits not
// yet built asks first, and Delete File asks and keeps a copy.
// The genuine builder comes before any Qt header: it has a member named like Qt's "slots" macro.
#include "Fixtures.h"
#include "GenuineBuilder.h"

namespace {

// A genuine 8.0 file whose records the embedded record manager cannot read yet (status 4100).
void writeNotYetReadable(const std::string& path)
{
    genuinetest::FileDef pageCompressed = genuinetest::sampleDef(4, false);
    pageCompressed.fileFlags = 0x2000;
    genuinetest::writeFile(path, genuinetest::build8x(pageCompressed));
}

} // namespace

#include "Backups.h"
#include "WindowFlows.h"

#include <QDir>

#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;

// ---- Open DDFs ----

struct BrokenSet {
    const char* name;
    std::function<void(const fs::path& dir)> spoil; // after the whole set is written
    QStringList said;                               // the one message holds these; none when it opens
};

class OpenDdfs : public WindowFlow, public ::testing::WithParamInterface<BrokenSet> {};

void overwrite(const fs::path& file, const QByteArray& bytes)
{
    QFile f(QString::fromStdString(file.string()));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TEST_P(OpenDdfs, changesThePagesOnlyWhenTheWholeSetReads)
{
    const BrokenSet& broken = GetParam();
    writeSetHere(realSizeSet());
    press(w().OpenFile);
    ASSERT_TRUE(mMessages.empty());
    typeKeys(w().FileGrid, 1, grid::kFileName, QStringLiteral("Edited")); // an edit the pages hold
    const auto before = pages();
    const bool buildEnabled = w().BuildFile->isEnabled();

    // Another folder: a set of one table, then spoiled.
    const fs::path other = mDir.path() / "other";
    fs::create_directories(other);
    w().changeDirectory(QString::fromStdString(other.string()));
    dictsets::Set small;
    small.files = {dictsets::table(7, "Small")};
    small.fields = {dictsets::field(8, 7, "Only")};
    small.keys = {{7, 8, 0, 0, 0}};
    small.exts = {{7, 8, 14}};
    dictsets::writeSet(small);
    broken.spoil(other);
    w().changeDirectory(QString::fromStdString(other.string())); // the folder chosen again
    TMain::ChoiceHook = [this](const QString& text, const QStringList&) {
        mAskedQuestions << text;
        return QStringLiteral("Discard");
    };
    press(w().OpenFile);
    EXPECT_EQ(mAskedQuestions.size(), 1) << "the edit is asked about first";

    if (broken.said.isEmpty()) {
        EXPECT_TRUE(mMessages.empty()) << mMessages.front().second.toStdString();
        EXPECT_EQ(w().FileGrid->Cells(grid::kFileName, 1).trimmed(), QStringLiteral("Small"));
        EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldName, 1).trimmed(), QStringLiteral("Only"));
        return;
    }
    ASSERT_EQ(mMessages.size(), 1u);
    for (const QString& part : broken.said)
        EXPECT_TRUE(mMessages[0].second.contains(part)) << mMessages[0].second.toStdString();
    EXPECT_EQ(pages(), before) << "all four pages keep what they held";
    EXPECT_EQ(w().BuildFile->isEnabled(), buildEnabled);
    EXPECT_TRUE(w().unbuiltPages().contains("Files")) << "the edit is still there to build";
}

INSTANTIATE_TEST_SUITE_P(
    Sets, OpenDdfs,
    ::testing::Values(BrokenSet{"fileDdfNotReadableYet",
                                [](const fs::path& d) {
                                    fs::remove(d / "FILE.DDF");
                                    writeNotYetReadable((d / "FILE.DDF").string());
                                },
                                {"FILE.DDF", "status 4100", "not"}},
                      BrokenSet{"fileDdfNoBtrieveFile",
                                [](const fs::path& d) { overwrite(d / "FILE.DDF", QByteArray(4096, 'x')); },
                                {"FILE.DDF", "status "}},
                      BrokenSet{"fieldDdfMissing",
                                [](const fs::path& d) { fs::remove(d / "FIELD.DDF"); },
                                {"FIELD.DDF", "status 12", "file not found"}},
                      BrokenSet{"indexDdfDamaged",
                                [](const fs::path& d) { overwrite(d / "INDEX.DDF", QByteArray(4096, 'x')); },
                                {"INDEX.DDF", "status "}},
                      BrokenSet{"fieldExtDdfDamaged",
                                [](const fs::path& d) { overwrite(d / "FIELDEXT.DDF", "x"); },
                                {"FIELDEXT.DDF", "status "}},
                      BrokenSet{"keysAndExtendedTypesMissing",
                                [](const fs::path& d) {
                                    fs::remove(d / "INDEX.DDF");
                                    fs::remove(d / "FIELDEXT.DDF");
                                },
                                {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowFlow, openDdfsWithoutIndexAndFieldExtStartsTheirPagesEmptyAndBuildable)
{
    writeSetHere(realSizeSet());
    press(w().OpenFile);
    fs::remove(mDir.path() / "INDEX.DDF");
    fs::remove(mDir.path() / "FIELDEXT.DDF");
    press(w().OpenFile);
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(w().keys().KeyGrid->RowCount(), 2) << "titles and the entry row: the old keys went";
    EXPECT_EQ(w().extFields().ExtGrid->RowCount(), 2);
    EXPECT_TRUE(w().keys().BuildKeysDDF->isEnabled());
    EXPECT_TRUE(w().unbuiltPages().isEmpty());
}

// ---- Closing with edits not yet built ----

struct Edit {
    const char* name;
    std::function<void(WindowFlow&, TMain&)> make;
    QString page; // named by the question
};

class Closing : public WindowFlow, public ::testing::WithParamInterface<Edit> {
protected:
    void SetUp() override
    {
        WindowFlow::SetUp();
        answerChoicesWith(&mAnswer);
        writeSetHere(realSizeSet());
        press(w().OpenFile);
    }
    void TearDown() override
    {
        TMain::ChoiceHook = nullptr;
        WindowFlow::TearDown();
    }
    QString mAnswer = QStringLiteral("Cancel");
};

TEST_P(Closing, withEditsNotYetBuiltAsksAndEachAnswerDoesWhatItSays)
{
    const QByteArray fieldDdf = fileBytes(QStringLiteral("FIELD.DDF"));
    const QByteArray fileDdf = fileBytes(QStringLiteral("FILE.DDF"));
    GetParam().make(*this, w());
    ASSERT_FALSE(w().unbuiltPages().isEmpty());

    mAnswer = QStringLiteral("Cancel");
    EXPECT_FALSE(w().close());
    EXPECT_TRUE(w().isVisible());
    ASSERT_EQ(mAskedQuestions.size(), 1);
    EXPECT_TRUE(mAskedQuestions[0].contains(GetParam().page)) << mAskedQuestions[0].toStdString();

    mAnswer = QStringLiteral("Discard");
    EXPECT_TRUE(w().close());
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), fileDdf);
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldDdf);

    showWindow();
    mAnswer = QStringLiteral("Build");
    EXPECT_TRUE(w().close());
    EXPECT_EQ(mAskedQuestions.size(), 3);
    EXPECT_TRUE(w().unbuiltPages().isEmpty());
    restart();
    press(w().OpenFile);
    EXPECT_TRUE(mWindow->unbuiltPages().isEmpty());
    mAskedQuestions.clear();
    EXPECT_TRUE(w().close()) << "what was built is not asked about";
    EXPECT_TRUE(mAskedQuestions.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Edits, Closing,
    ::testing::Values(Edit{"cellTyped",
                           [](WindowFlow& t, TMain& w) {
                               t.pickPage(w.TabFiles);
                               t.typeKeys(w.FileGrid, 2, grid::kFileName, QStringLiteral("Renamed"));
                           },
                           "Files"},
                      Edit{"deleteField",
                           [](WindowFlow& t, TMain& w) {
                               auto& c = t;
                               c.pickPage(w.TabFields);
                               c.clickCell(w.FieldGrid, 2, grid::kFieldName);
                               c.press(w.DeleteField);
                           },
                           "Fields"},
                      Edit{"flagBoxClicked",
                           [](WindowFlow& t, TMain& w) {
                               auto& c = t;
                               c.pickPage(&w.keys());
                               c.clickCell(w.keys().KeyGrid, w.keys().KeyGrid->RowCount() - 2,
                                           grid::kKeyNumber);
                               QTest::mouseClick(w.keys().ChDescending, Qt::LeftButton, {},
                                                 QPoint(6, w.keys().ChDescending->height() / 2));
                           },
                           "Keys"},
                      Edit{"keysPageNew",
                           [](WindowFlow& t, TMain& w) {
                               auto& c = t;
                               c.pickPage(&w.keys());
                               c.press(w.keys().ClearKeysDDF);
                           },
                           "Keys"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Closing, withoutEditsOrAfterBuildDdfsNothingIsAsked)
{
    pickPage(w().TabFields);
    clickCell(w().FieldGrid, 1, grid::kFieldName); // looking is no edit
    typeFilter(w().FileFilter, QStringLiteral("CustomerOrderHistory"));
    EXPECT_TRUE(w().unbuiltPages().isEmpty()) << "a filter is no edit";
    typeKeys(w().FieldGrid, 1, grid::kFieldSize, QStringLiteral("6"));
    press(w().BuildFile);
    EXPECT_TRUE(w().close());
    EXPECT_TRUE(mAskedQuestions.isEmpty());
}

TEST_F(Closing, aBuildThatStopsKeepsTheWindowOpen)
{
    pickPage(w().TabFiles);
    typeKeys(w().FileGrid, 1, grid::kFileFlags, QStringLiteral("x"));
    mAnswer = QStringLiteral("Build");
    EXPECT_FALSE(w().close());
    EXPECT_TRUE(w().isVisible());
    ASSERT_FALSE(messages(QMessageBox::Critical).isEmpty());
    EXPECT_TRUE(messages(QMessageBox::Critical).back().contains("Xf$Flags"));
    EXPECT_EQ(w().unbuiltPages(), QStringList{"Files"});
}

// ---- Delete File ----

TEST_F(WindowFlow, deleteFileAsksAndKeepsACopyWithTheBackups)
{
    writeSetHere(realSizeSet());
    restart();
    const QByteArray indexDdf = fileBytes(QStringLiteral("INDEX.DDF"));
    for (const bool yes : {false, true}) {
        mAskedQuestions.clear();
        TMain::QuestionHook = [&](const QString& text) {
            mAskedQuestions << text;
            return yes;
        };
        choose(QStringLiteral("INDEX.DDF"), 0);
        press(w().DeleteFile);
        ASSERT_EQ(mAskedQuestions.size(), 1);
        EXPECT_TRUE(mAskedQuestions[0].contains("INDEX.DDF"));
        EXPECT_EQ(QFile::exists(path("INDEX.DDF")), !yes);
    }
    const auto copies = dict::listBackups(QDir::currentPath().toStdString(), "INDEX.DDF");
    ASSERT_EQ(copies.size(), 1u) << "a copy of the deleted file only";
    QFile copy(QString::fromStdString(copies[0].path));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), indexDdf);
}

} // namespace
