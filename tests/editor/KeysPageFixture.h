#pragma once
// Shared by the Keys page tests: grids filled cell by cell (the Fields grid too, with its loaded
// mark, as the Fields page's New leaves it), and question boxes answered with mAnswer.
#include "QtTestFiles.h"
#include "SelfDescription.h"
#include "WindowFixture.h"

namespace keystest {

using testsupport::pad;

// Puts `rows` after the title row, then an empty entry row.
inline void setRows(TVarGrid* g, std::vector<QStringList> rows)
{
    rows.emplace_back();
    g->replaceRowsFrom(1, std::move(rows));
}

} // namespace keystest

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

    TVarGrid* keys() { return this->w().keys().KeyGrid; }

    void fillSelfDescriptionFields()
    {
        std::vector<QStringList> rows;
        for (const dict::FieldRecord& f : dict::fieldSelfDescription())
            rows.push_back({QString::number(f.id), QString::number(f.file),
                            QString::fromLatin1(f.name.c_str()), QString::number(f.dataType),
                            QString::number(f.offset), QString::number(f.size), "0", "0"});
        keystest::setRows(this->w().FieldGrid, rows);
        this->w().FieldGrid->Tag = 1;
    }

    QStringList mQuestions;
    bool mAnswer = false;
};
