#pragma once
// What the Keys page tests share: Files and Fields grids filled cell by cell (the Fields page's
// own New and Open are not needed), and typing into the Keys grid.
#include "WindowFixture.h"

#include "SelfDescription.h"

#include <vector>

namespace keystest {

inline QString pad(const QString& s, int width = 20)
{
    return s.leftJustified(width, QLatin1Char(' '));
}

// Puts `rows` after the title row, then an empty entry row.
inline void setRows(TVarGrid* g, const std::vector<QStringList>& rows)
{
    g->setRowCount(int(rows.size()) + 2);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < g->ColCount(); ++c)
            g->setCells(c, r + 1, c < rows[std::size_t(r)].size() ? rows[std::size_t(r)][c] : QString());
    for (int c = 0; c < g->ColCount(); ++c)
        g->setCells(c, int(rows.size()) + 1, QString());
}

// The seventeen fields that describe the dictionary files, as the Fields grid shows them.
inline std::vector<QStringList> selfDescriptionFields()
{
    std::vector<QStringList> rows;
    for (const dict::FieldRecord& f : dict::fieldSelfDescription())
        rows.push_back({QString::number(f.id), QString::number(f.file), QString::fromLatin1(f.name.c_str()),
                        QString::number(f.dataType), QString::number(f.offset), QString::number(f.size),
                        QString::number(f.dec), QString::number(f.flag)});
    return rows;
}

} // namespace keystest

// A window fixture whose question boxes are answered with mAnswer (No unless a test says
// otherwise) and recorded in mQuestions.
template <class Base> class WithKeys : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        TMain::QuestionHook = [this](const QString& text) {
            mQuestions << text;
            return mAnswer;
        };
    }
    void TearDown() override
    {
        Base::TearDown();
        TMain::QuestionHook = nullptr;
    }

    TVarGrid* keys() { return this->w().KeyGrid; }

    // The Fields grid as the Fields page's New leaves it, with its loaded mark.
    void fillSelfDescriptionFields()
    {
        keystest::setRows(this->w().FieldGrid, keystest::selfDescriptionFields());
        this->w().FieldGrid->Tag = 1;
    }

    // Makes row r of the Keys grid current, puts the text into its cell and releases a key.
    void typeKey(int row, int col, const QString& text)
    {
        keys()->setRow(row);
        keys()->setCells(col, row, text);
        this->w().KeyGridKeyUp(Qt::Key_A);
    }

    QStringList mQuestions;
    bool mAnswer = false;
};

using KeysFixture = WithKeys<WindowFixture>;
