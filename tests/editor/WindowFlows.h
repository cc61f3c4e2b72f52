#pragma once
// What the window tests of whole-set work share: a dictionary set with real-size ids and names
// written to disk, and the user's gestures (a tab, a button, a grid cell, a filter typed).
#include "DictionarySets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabBar>

class WindowFlow : public DictionaryOnDisk {
public:
    using WindowFixture::typeKeys;

    // Two tables with four-digit ids and 20-character names, their fields, two keys and one
    // extended type.
    static dictsets::Set realSizeSet()
    {
        using namespace dictsets;
        Set set;
        set.files = {table(9112, "CustomerOrderHistory", "ORDHIST.DAT", 0),
                     table(9120, "WarehouseStockLevels", "STOCK.DAT")};
        set.fields = {field(9113, 9112, "OrderNumberReference", 1, 0, 4),
                      field(9114, 9112, "CustomerAccountCode1", 0, 4, 12),
                      field(9121, 9120, "WarehouseLocationKey", 14, 0, 4),
                      field(9122, 9120, "QuantityOnHandTotals", 1, 4, 2)};
        set.keys = {{9112, 9113, 0, 0, 2}, {9120, 9121, 0, 0, 1 + 2 + 256}};
        set.exts = {{9120, 9121, 14}};
        return set;
    }

    // Writes the set into the folder browsed and chooses the folder again, as a user would
    // after another program wrote it.
    void writeSetHere(const dictsets::Set& set)
    {
        dictsets::writeSet(set);
        w().changeDirectory(QDir::currentPath());
    }
    void pickPage(QWidget* page)
    {
        showWindow();
        QTabBar* bar = w().PageControl->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(w().PageControl->indexOf(page)).center());
        ASSERT_EQ(w().PageControl->currentWidget(), page);
    }
    void press(QAbstractButton* button)
    {
        showWindow();
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // A click on a grid's cell (row counted with the title row, as the grid does).
    void clickCell(TVarGrid* g, int row, int col)
    {
        showWindow();
        const QModelIndex index = g->model()->index(row - g->FixedRows(), col);
        g->scrollTo(index);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(index).center());
    }
    // Types into a filter box as a user does: its text selected and typed over.
    void typeFilter(QComboBox* box, const QString& text)
    {
        showWindow();
        box->lineEdit()->setFocus();
        box->lineEdit()->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
        else
            QTest::keyClicks(box->lineEdit(), text);
    }
    // Answers every Build / Discard / Cancel question with `*answer` as it stands then, keeping
    // the question.
    void answerChoicesWith(const QString* answer)
    {
        TMain::ChoiceHook = [this, answer](const QString& text, const QStringList& answers) {
            mAskedQuestions << text;
            EXPECT_EQ(answers, (QStringList{"Build", "Discard", "Cancel"}));
            return *answer;
        };
    }
    // Every page's rows: what "nothing changed" is checked against.
    std::vector<std::vector<QStringList>> pages()
    {
        return {rows(w().FileGrid), rows(w().FieldGrid), rows(w().keys().KeyGrid),
                rows(w().extFields().ExtGrid)};
    }
};
