// The Data page on a data file written through the record manager whose layout the test knows:
// decoded values, the marks of a wrong offset, edits of the Fields page shown without a Build,
// and the first draft filling the Fields grid. Driven by clicks and keys.
#include "DataPageModel.h"
#include "DictionaryGrid.h"
#include "DictionaryOnDisk.h"
#include "GeneratedTable.h"
#include "SampleDictionary.h"

#include <QHeaderView>
#include <QTabBar>

#include <memory>
#include <set>

namespace {

using namespace grid;

class DataPage : public DictionaryOnDisk {
protected:
    void SetUp() override
    {
        DictionaryOnDisk::SetUp();
        sample::writeDictionary(mDir.path(), sample::customerDictionary());
        ASSERT_EQ(generated::writeDataFile(mDir.file("CUSTOMER.DAT"), generated::kCustomerLength, kRecords,
                                           generated::customerRecord),
                  0);
        restart();
        showWindow();
        QTest::mouseClick(w().OpenFile, Qt::LeftButton);
        TMain::QuestionHook = [this](const QString& text) {
            mQuestions << text;
            return mAnswer;
        };
    }
    void TearDown() override
    {
        TMain::QuestionHook = nullptr;
        DictionaryOnDisk::TearDown();
    }

    void clickTab(QWidget* page)
    {
        QTabBar* bar = w().PageControl->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(w().PageControl->indexOf(page)).center());
        ASSERT_EQ(w().PageControl->currentWidget(), page);
    }
    void clickCell(TVarGrid* g, int row, int col)
    {
        // The title row is the view's header: grid row r is view row r - FixedRows.
        const QModelIndex index = g->model()->index(row - g->FixedRows(), col);
        g->scrollTo(index);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(index).center());
    }
    // Selects the customer table on the Files page and opens the Data page.
    void showCustomers()
    {
        clickTab(w().TabFiles);
        const int row = findRowIgnoringCase(w().FileGrid, kFileName, padName(QStringLiteral("CUSTOMER")));
        ASSERT_GT(row, 0);
        clickCell(w().FileGrid, row, kFileName);
        ASSERT_EQ(w().FileGrid->Row(), row);
        clickTab(&w().data());
    }
    DataPageModel* model() { return w().data().DataModel; }
    int column(const QString& name)
    {
        for (int c = 0; c < model()->columnCount(); ++c)
            if (model()->headerData(c, Qt::Horizontal).toString().section(QLatin1Char('\n'), 0, 0) == name)
                return c;
        return -1;
    }
    QString header(int c) { return model()->headerData(c, Qt::Horizontal).toString(); }
    QString value(int row, int c) { return model()->data(model()->index(row, c)).toString(); }
    bool marked(int row, int c) { return model()->data(model()->index(row, c), Qt::BackgroundRole).isValid(); }
    int uncoveredColumns()
    {
        int n = 0;
        for (int c = 0; c < model()->columnCount(); ++c)
            n += header(c).startsWith(QStringLiteral("(no field)"));
        return n;
    }
    // Types a new offset into the Fields grid row of the named customer field, with keys.
    void typeOffset(const QString& field, int offset)
    {
        clickTab(w().TabFields);
        const int row = findRowIgnoringCase(w().FieldGrid, kFieldName, padName(field));
        ASSERT_GT(row, 0) << field.toStdString();
        typeKeys(w().FieldGrid, row, kFieldOffset, QString::number(offset));
        pressKey(Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(w().FieldGrid->Cells(kFieldOffset, row), QString::number(offset));
    }

    static constexpr int kRecords = 700;
    QStringList mQuestions;
    bool mAnswer = true;
};

TEST_F(DataPage, showsTheRecordsDecodedByTheTablesFields)
{
    showCustomers();
    EXPECT_EQ(model()->columnCount(), int(generated::customerLayout().size()));
    EXPECT_EQ(uncoveredColumns(), 0);
    EXPECT_EQ(model()->rowCount(), DataPageModel::kBatch) << "the first records only";
    EXPECT_FALSE(model()->knowsTotal()) << "the statistics wait for Read All";
    for (int row : {0, 1, 200}) {
        const std::vector<uint8_t> r = generated::customerRecord(row);
        const std::string name(r.begin() + 4, r.begin() + 28);
        EXPECT_EQ(value(row, column("Name")).toStdString(), name.substr(0, name.find_last_not_of(' ') + 1));
        EXPECT_EQ(value(row, column("Id")).toInt(), int(r[0] | r[1] << 8 | r[2] << 16));
        EXPECT_EQ(value(row, column("Joined")),
                  QStringLiteral("%1-%2-%3")
                      .arg(r[48] | r[49] << 8)
                      .arg(int(r[47]), 2, 10, QLatin1Char('0'))
                      .arg(int(r[46]), 2, 10, QLatin1Char('0')));
        for (int c = 0; c < model()->columnCount(); ++c)
            EXPECT_FALSE(marked(row, c)) << header(c).toStdString();
    }
    EXPECT_TRUE(w().data().DataDraft->isEnabled());
    EXPECT_NE(w().data().LDataTable->text().indexOf(QStringLiteral("records of 96 bytes, 256 read so far")),
              -1)
        << w().data().LDataTable->text().toStdString();

    // Scrolling to the end reads the rest as the view asks for it.
    w().data().DataGrid->setFocus();
    for (int i = 0; i < 10 && model()->canFetchMore({}); ++i) {
        QTest::keyClick(w().data().DataGrid, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(model()->rowCount(), kRecords);
    EXPECT_EQ(model()->expectedRecords(), std::size_t(kRecords)) << "known at the end";
    EXPECT_EQ(w().data().DataProgress->value(), 1000) << "every record read";
    EXPECT_FALSE(w().data().DataReadAll->isEnabled());
    EXPECT_EQ(value(kRecords - 1, column("Id")).toInt(),
              int(generated::customerRecord(kRecords - 1)[0] | generated::customerRecord(kRecords - 1)[1] << 8));
}

TEST_F(DataPage, aWrongOffsetTypedOnTheFieldsPageShowsWithoutABuild)
{
    const QByteArray fieldDdf = fileBytes(QStringLiteral("FIELD.DDF"));
    showCustomers();
    typeOffset(QStringLiteral("Joined"), 47);
    clickTab(&w().data());
    const int joined = column(QStringLiteral("Joined"));
    ASSERT_GE(joined, 0);
    EXPECT_TRUE(header(joined).contains(QStringLiteral("47+4")));
    EXPECT_TRUE(header(joined).contains(QStringLiteral("\u2717256"))) << header(joined).toStdString();
    EXPECT_EQ(model()->undecodable(joined), 256u);
    EXPECT_TRUE(marked(0, joined));
    // Byte 46 is now covered by nothing; Joined and Reserved overlap at byte 50.
    EXPECT_EQ(uncoveredColumns(), 1);
    const int gap = column(QStringLiteral("(no field)"));
    EXPECT_TRUE(header(gap).endsWith(QStringLiteral("46+1")));
    EXPECT_TRUE(marked(0, gap));
    EXPECT_TRUE(model()->headerData(joined, Qt::Horizontal, Qt::ToolTipRole).toString().contains(QStringLiteral("Overlaps")));

    // Putting it back clears the marks; nothing was built.
    typeOffset(QStringLiteral("Joined"), 46);
    clickTab(&w().data());
    EXPECT_EQ(uncoveredColumns(), 0);
    EXPECT_EQ(model()->undecodable(column(QStringLiteral("Joined"))), 0u);
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldDdf);
}

TEST_F(DataPage, aBuildWithAFieldsFilterSetShowsEachFieldOnce)
{
    showCustomers();
    const int columns = model()->columnCount();
    clickTab(w().TabFields);
    w().FileFilter->lineEdit()->setFocus();
    w().FileFilter->lineEdit()->selectAll();
    QTest::keyClicks(w().FileFilter->lineEdit(), QStringLiteral("X$FIELD")); // the customer rows set aside
    ASSERT_EQ(w().FileFilter->currentText(), "X$FIELD");
    clickTab(&w().data());
    ASSERT_EQ(model()->columnCount(), columns) << "the rows set aside are the table's fields all the same";

    QTest::mouseClick(w().BuildFile, Qt::LeftButton);
    ASSERT_TRUE(w().lastBuildWroteEverything());
    EXPECT_EQ(model()->columnCount(), columns);
    int cities = 0;
    for (int c = 0; c < model()->columnCount(); ++c)
        cities += header(c).section(QLatin1Char('\n'), 0, 0) == QStringLiteral("City");
    EXPECT_EQ(cities, 1);
}

TEST_F(DataPage, readAllCountsEveryRecordAndTheFirstDraftReplacesTheTablesFields)
{
    showCustomers();
    typeOffset(QStringLiteral("City"), 29);
    clickTab(&w().data());
    QTest::mouseClick(w().data().DataReadAll, Qt::LeftButton);
    EXPECT_EQ(model()->rowCount(), kRecords);
    EXPECT_EQ(model()->counted(), std::size_t(kRecords));
    EXPECT_NE(w().data().LDataTable->text().indexOf(QStringLiteral("700 of 700 read.")), -1)
        << w().data().LDataTable->text().toStdString();
    EXPECT_EQ(w().data().DataProgress->value(), w().data().DataProgress->maximum());
    EXPECT_FALSE(w().data().DataReadAll->isEnabled());

    // Declined: nothing changes.
    mAnswer = false;
    const int before = w().FieldGrid->RowCount();
    QTest::mouseClick(w().data().DataDraft, Qt::LeftButton);
    ASSERT_EQ(mQuestions.size(), 1);
    EXPECT_TRUE(mQuestions[0].contains(QStringLiteral("11 fields")));
    EXPECT_EQ(w().FieldGrid->RowCount(), before);

    mAnswer = true;
    const qint32 highest = highestInteger(w().FieldGrid, kFieldId, 0);
    QTest::mouseClick(w().data().DataDraft, Qt::LeftButton);
    EXPECT_EQ(uncoveredColumns(), 0);
    // The draft's rows are ordinary rows of the table, with new ids, and cover the record.
    std::vector<std::array<int, 3>> draft;
    for (int row = 1; row < w().FieldGrid->RowCount(); ++row)
        if (w().FieldGrid->Cells(kFieldFile, row) == QStringLiteral("4")) {
            EXPECT_GT(w().FieldGrid->Cells(kFieldId, row).toInt(), highest);
            draft.push_back({w().FieldGrid->Cells(kFieldOffset, row).toInt(), w().FieldGrid->Cells(kFieldSize, row).toInt(),
                             w().FieldGrid->Cells(kFieldDataType, row).toInt()});
        }
    std::sort(draft.begin(), draft.end());
    int at = 0;
    for (const auto& f : draft) {
        EXPECT_EQ(f[0], at);
        at += f[1];
    }
    EXPECT_EQ(at, generated::kCustomerLength);
    int found = 0;
    for (const generated::FieldLayout& l : generated::customerLayout())
        found += std::find(draft.begin(), draft.end(), std::array<int, 3>{l.offset, l.size, l.type}) != draft.end();
    EXPECT_EQ(found, int(generated::customerLayout().size()));
    EXPECT_EQ(w().FieldGrid->Cells(kFieldId, w().FieldGrid->RowCount() - 1), QString()) << "the entry row stays last";
}

TEST_F(DataPage, theFirstDraftOfAFileOfSeveralLayoutsAsksWhichRecordsTheTableDescribes)
{
    // The customer table's file now holds order headers ('H') and order lines ('L').
    ASSERT_TRUE(QFile::remove(QString::fromStdString(mDir.file("CUSTOMER.DAT"))));
    ASSERT_EQ(generated::writeDataFile(mDir.file("CUSTOMER.DAT"), generated::kOrderLength, 400,
                                       generated::orderRecord, false),
              0);
    // The hook outlives the test body (the window closes after it), so it owns what it uses.
    struct Choices {
        QString pick = QStringLiteral("Cancel");
        QStringList asked;
        QStringList offered;
    };
    const auto choices = std::make_shared<Choices>();
    TMain::ChoiceHook = [choices](const QString& text, const QStringList& answers) {
        choices->asked << text;
        choices->offered = answers;
        for (const QString& a : answers)
            if (a.contains(choices->pick))
                return a;
        return answers.value(0);
    };
    QString& pick = choices->pick;
    const QStringList& asked = choices->asked;
    const QStringList& offered = choices->offered;
    showCustomers();
    const auto fieldRows = [this] {
        std::vector<QStringList> rows;
        for (int row = 1; row < w().FieldGrid->RowCount(); ++row)
            rows.push_back(w().FieldGrid->rowCells(row));
        return rows;
    };
    const auto draftOfTable = [this] {
        std::set<std::pair<int, int>> spans;
        for (int row = 1; row < w().FieldGrid->RowCount(); ++row)
            if (w().FieldGrid->Cells(kFieldFile, row) == QStringLiteral("4"))
                spans.insert({w().FieldGrid->Cells(kFieldOffset, row).toInt(),
                              w().FieldGrid->Cells(kFieldSize, row).toInt()});
        return spans;
    };

    const std::vector<QStringList> before = fieldRows();
    pick = QStringLiteral("Cancel");
    QTest::mouseClick(w().data().DataDraft, Qt::LeftButton);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("The records of this file are of 2 layouts, told apart by byte 0.")))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[0].contains(QStringLiteral("CUSTOMER"))) << asked[0].toStdString();
    ASSERT_EQ(offered.size(), 4) << offered.join('|').toStdString();
    EXPECT_EQ(offered[0], QStringLiteral("Records with byte 0 'H' (48): 100 of 400"));
    EXPECT_EQ(offered[1], QStringLiteral("Records with byte 0 'L' (4C): 300 of 400"));
    EXPECT_EQ(offered[2], QStringLiteral("All records"));
    EXPECT_TRUE(fieldRows() == before) << "Cancel leaves every field row as it was";

    pick = QStringLiteral("'L'");
    QTest::mouseClick(w().data().DataDraft, Qt::LeftButton);
    const std::set<std::pair<int, int>> lines = draftOfTable();
    for (const std::pair<int, int>& span : {std::pair{3, 4}, std::pair{7, 2}, std::pair{9, 4}})
        EXPECT_TRUE(lines.count(span)) << "an order line's field at " << span.first;

    pick = QStringLiteral("'H'");
    QTest::mouseClick(w().data().DataDraft, Qt::LeftButton);
    EXPECT_TRUE(draftOfTable().count({3, 21})) << "an order header's name";
}

} // namespace
