// Undo and redo through the window: random sequences of edits made with the mouse and keys on
// a dictionary set opened from disk, undone with Ctrl+Z down to the opened set (record for
// record, the files built back equal to the ones opened) and done again with Ctrl+Shift+Z and
// Ctrl+Y; what the window names the next undo; a Build that keeps the history.
#include "WindowFlows.h"

#include <QToolButton>

#include <random>

namespace {

// Equal, or the first rows that differ.
::testing::AssertionResult sameRows(const std::vector<QStringList>& actual,
                                    const std::vector<QStringList>& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    const auto row = [](const std::vector<QStringList>& rows, std::size_t n) {
        return n < rows.size() ? rows[n].join('|').toStdString() : std::string("(none)");
    };
    return ::testing::AssertionFailure() << "row " << i << " of " << actual.size() << "/" << expected.size()
                                         << ": " << row(actual, i) << "\n  expected " << row(expected, i);
}

const char* const kSetFiles[] = {"FILE.DDF", "FIELD.DDF", "INDEX.DDF", "FIELDEXT.DDF"};

class UndoRedo : public WindowFlow {
protected:
    void SetUp() override
    {
        WindowFlow::SetUp();
        answerChoicesWith(&mDiscard);
        TMain::QuestionHook = [](const QString&) { return true; };
    }

    // Each dictionary page's grid and the rows its filter set aside (the Files page has none).
    std::vector<std::pair<TVarGrid*, const QStringList*>> dictionaryPages()
    {
        return {{w().FileGrid, nullptr},
                {w().FieldGrid, &w().HiddenFieldRows},
                {w().keys().KeyGrid, &w().keys().HiddenKeyRows},
                {w().extFields().ExtGrid, &w().extFields().HiddenExtRows}};
    }

    // Every row of every dictionary page with its ids, the rows a filter set aside included.
    std::vector<QStringList> content()
    {
        std::vector<QStringList> all;
        for (const auto& [g, hidden] : dictionaryPages()) {
            QStringList hiddenRows = hidden ? *hidden : QStringList();
            hiddenRows.sort();
            all.push_back(hiddenRows);
            for (int r = 0; r < g->RowCount(); ++r)
                all.push_back(QStringList(g->rowCells(r))
                              << QStringLiteral("%1/%2").arg(g->rowIds(r).owner).arg(g->rowIds(r).item));
        }
        return all;
    }

    // Every record row of every page as text, wherever a filter put it, in any order: what a
    // filter (not a step) changes nothing of.
    std::vector<QStringList> records()
    {
        std::vector<QStringList> all;
        for (const auto& [g, hidden] : dictionaryPages()) {
            QStringList rows = hidden ? *hidden : QStringList();
            for (int r = 1; r < grid::entryRow(g); ++r)
                rows << g->rowText(r);
            rows.sort();
            all.push_back(rows);
        }
        return all;
    }

    // A small set of 1 to 3 tables of 1 to 4 fields, some keys and extended types.
    static dictsets::Set randomSet(std::mt19937& random)
    {
        using namespace dictsets;
        Set set;
        const auto below = [&](int n) { return int(random() % unsigned(n)); };
        int16_t nextField = 100;
        const int tables = 1 + below(3);
        for (int t = 0; t < tables; ++t) {
            const auto id = int16_t(20 + t * 7 + below(5));
            set.files.push_back(table(id, "Table" + std::to_string(t) + std::string(below(2) ? "X" : "")));
            const int fields = 1 + below(4);
            for (int f = 0; f < fields; ++f) {
                const int16_t fieldId = nextField++;
                const std::string name = "F" + std::to_string(f) + (below(2) ? "Name" : "");
                set.fields.push_back(field(fieldId, id, name, uint8_t(below(2)), int16_t(f * 4), 4));
                if (f == 0 || below(3) == 0)
                    set.keys.push_back({id, fieldId, int16_t(f == 0 ? 0 : 1), 0, int16_t(below(2) ? 2 : 3)});
                if (below(4) == 0)
                    set.exts.push_back({id, fieldId, 14});
            }
        }
        return set;
    }

    // Takes the cell editor's focus away, so that the window's shortcuts reach it.
    void leaveCellEditor()
    {
        w().PageControl->tabBar()->setFocus();
        QCoreApplication::processEvents();
    }
    void shortcut(QKeyCombination keys)
    {
        leaveCellEditor();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w();
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    }

    // One random edit made as a user makes it; its description.
    std::string randomEdit(std::mt19937& random)
    {
        const auto below = [&](int n) { return int(random() % unsigned(n)); };
        const std::pair<QWidget*, TVarGrid*> pages[] = {{w().TabFiles, w().FileGrid},
                                                        {w().TabFields, w().FieldGrid},
                                                        {&w().keys(), w().keys().KeyGrid},
                                                        {&w().extFields(), w().extFields().ExtGrid}};
        const auto& [tab, g] = pages[below(4)];
        const int row = 1 + below(g->RowCount() - 1);
        switch (below(7)) {
        case 0:
        case 1:
        case 2: { // typing into a cell (the entry row included)
            const int col = below(g->ColCount());
            const QString text = QStringList{"7", "12", "Ab", "Name", "3x", "", "Table0"}[below(7)];
            pickPage(tab);
            typeKeys(g, row, col, text.isEmpty() ? QStringLiteral("9") : text);
            if (text.isEmpty())
                pressKey(Qt::Key_Backspace);
            pressKey(Qt::Key_Return);
            // Return closes the cell editor by a queued call: it runs before anything else.
            QCoreApplication::processEvents();
            return "type '" + text.toStdString() + "' at " + g->objectName().toStdString() + " " +
                   std::to_string(row) + "," + std::to_string(col);
        }
        case 3: { // a row deleted with its page's button
            QAbstractButton* const buttons[] = {w().DeleteTable, w().DeleteField, w().keys().DeleteKey,
                                                w().extFields().DeleteExt};
            const int page = below(4);
            pickPage(pages[page].first);
            TVarGrid* pg = pages[page].second;
            clickCell(pg, 1 + below(pg->RowCount() - 1), 0);
            press(buttons[page]);
            return "delete on " + pg->objectName().toStdString();
        }
        case 4: { // a flag box of the Files or Keys page
            const bool files = below(2) == 0;
            pickPage(files ? w().TabFiles : &w().keys());
            TVarGrid* fg = files ? w().FileGrid : w().keys().KeyGrid;
            clickCell(fg, 1 + below(std::max(1, fg->RowCount() - 2)), 0);
            const QList<TVarCheckBox*> boxes = files ? w().fileFlagBoxes() : w().keys().keyFlagBoxes();
            TVarCheckBox* box = boxes[below(int(boxes.size()))];
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
            return "flag " + box->objectName().toStdString();
        }
        case 5: // a field added (when the row's table allows one)
            pickPage(w().TabFields);
            clickCell(w().FieldGrid, 1 + below(w().FieldGrid->RowCount() - 1), 2);
            if (!w().AddOneField->isEnabled())
                return "no field to add";
            press(w().AddOneField);
            return "add field";
        default: { // the Table Filter: not a step, but what the steps around it are undone under
            pickPage(w().TabFields);
            typeFilter(w().FileFilter, below(2) ? QStringLiteral("Table0") : QString());
            return "filter";
        }
        }
    }

    QString mDiscard = QStringLiteral("Discard");
};

// Undo all gives back the opened set, redo all the edited one; the quit question follows.
TEST_F(UndoRedo, RandomEditsUndoneToTheOpenedSetAndRedone)
{
    const QUndoStack& stack = w().history().stack();
    for (int sequence = 0; sequence < 200; ++sequence) {
        std::mt19937 random(unsigned(sequence) * 7919u + 1u);
        const dictsets::Set set = randomSet(random);
        writeSetHere(set);
        press(w().OpenFile);
        ASSERT_TRUE(mMessages.empty()) << allMessages().join('\n').toStdString();
        const std::vector<QStringList> opened = content();
        const std::vector<QStringList> openedRecords = records();
        const int openedAt = stack.index();

        std::string edits;
        const int count = 1 + int(random() % 8u);
        bool filtered = false;
        for (int i = 0; i < count; ++i) {
            const std::string edit = randomEdit(random);
            filtered = filtered || edit == "filter";
            edits += edit + "; ";
        }
        SCOPED_TRACE("sequence " + std::to_string(sequence) + ": " + edits);
        mMessages.clear(); // a refused edit says why; that is not what is tested here
        leaveCellEditor();
        const std::vector<QStringList> edited = content();
        const std::vector<QStringList> editedRecords = records();
        const int editedAt = stack.index();
        ASSERT_GE(editedAt, openedAt);

        for (int guard = 0; stack.index() > openedAt && guard < 50; ++guard)
            shortcut(Qt::CTRL | Qt::Key_Z);
        ASSERT_EQ(stack.index(), openedAt);
        // Filters are no steps: where one ran, the rows are compared wherever they are shown.
        ASSERT_TRUE(sameRows(records(), openedRecords));
        if (!filtered) {
            ASSERT_TRUE(sameRows(content(), opened));
        }
        EXPECT_TRUE(w().unbuiltPages().isEmpty()) << w().unbuiltPages().join(',').toStdString();

        for (int guard = 0; stack.index() < editedAt && guard < 50; ++guard)
            shortcut(guard % 2 ? (Qt::CTRL | Qt::Key_Y) : (Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
        ASSERT_EQ(stack.index(), editedAt);
        ASSERT_TRUE(sameRows(records(), editedRecords));
        if (!filtered) {
            ASSERT_TRUE(sameRows(content(), edited));
        }

        // Every tenth sequence: undone again and built, the files are the ones opened.
        if (sequence % 10 == 0) {
            while (stack.canUndo() && stack.index() > openedAt)
                shortcut(Qt::CTRL | Qt::Key_Z);
            press(w().BuildFile);
            ASSERT_TRUE(w().lastBuildWroteEverything()) << allMessages().join('\n').toStdString();
            EXPECT_EQ(dictsets::sortedFile(kSetFiles[0]), dictsets::sortedBytes(set.files));
            EXPECT_EQ(dictsets::sortedFile(kSetFiles[1]), dictsets::sortedBytes(set.fields));
            EXPECT_EQ(dictsets::sortedFile(kSetFiles[2]), dictsets::sortedBytes(set.keys));
            EXPECT_EQ(dictsets::sortedFile(kSetFiles[3]), dictsets::sortedBytes(set.exts));
        }
        mMessages.clear();
    }
}

// The window names the next undo and redo; typing into one cell is one step; a Build keeps the
// history and what it undoes afterwards is an edit not yet built.
TEST_F(UndoRedo, StepsAreNamedAndBuildKeepsThem)
{
    writeSetHere(realSizeSet());
    press(w().OpenFile);
    EXPECT_EQ(w().UndoEdit->toolTip(), "Undo Open DDFs");
    EXPECT_FALSE(w().RedoEdit->isEnabled());

    pickPage(w().TabFields);
    clickCell(w().FieldGrid, 2, grid::kFieldName);
    press(w().DeleteField);
    EXPECT_EQ(w().UndoEdit->toolTip(), "Undo Delete Field 'CustomerAccountCode1'");
    const int afterDelete = w().history().stack().index();

    typeKeys(w().FieldGrid, 1, grid::kFieldSize, "16");
    EXPECT_EQ(w().history().stack().index(), afterDelete + 1) << "two keys, one step";
    EXPECT_EQ(w().UndoEdit->toolTip(), "Undo Edit Field 'OrderNumberReference'");
    shortcut(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldSize, 1), "4");
    EXPECT_EQ(w().RedoEdit->toolTip(), "Redo Edit Field 'OrderNumberReference'");

    press(w().BuildFile);
    ASSERT_TRUE(w().lastBuildWroteEverything()) << allMessages().join('\n').toStdString();
    EXPECT_TRUE(w().unbuiltPages().isEmpty());
    EXPECT_EQ(w().UndoEdit->toolTip(), "Undo Delete Field 'CustomerAccountCode1'");
    press(w().UndoEdit);
    EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldName, 2).trimmed(), "CustomerAccountCode1");
    EXPECT_EQ(w().unbuiltPages(), QStringList{"Fields"});
    press(w().RedoEdit);
    EXPECT_TRUE(w().unbuiltPages().isEmpty());
}

// A step of typing is named by the row as it was before the first key (not by the letter typed
// over its name); a Shift pressed and let go between two letters keeps it one step.
TEST_F(UndoRedo, TypingIsNamedByTheRowAsItWasAndAShiftBetweenLettersKeepsItOneStep)
{
    writeSetHere(realSizeSet());
    press(w().OpenFile);
    pickPage(w().TabFields);
    const int before = w().history().stack().index();
    typeKeys(w().FieldGrid, 1, grid::kFieldName, "Z");
    const auto focused = [&] {
        return QApplication::focusWidget() ? QApplication::focusWidget() : w().FieldGrid;
    };
    QTest::keyPress(focused(), Qt::Key_Shift);
    QTest::keyRelease(focused(), Qt::Key_Shift);
    QTest::keyPress(focused(), 'e');
    QTest::keyRelease(focused(), 'e');
    pressKey(Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldName, 1).trimmed(), "Ze");
    EXPECT_EQ(w().history().stack().index(), before + 1);
    EXPECT_EQ(w().UndoEdit->toolTip(), "Undo Edit Field 'OrderNumberReference'");
    press(w().UndoEdit);
    EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldName, 1).trimmed(), "OrderNumberReference");
}

} // namespace
