#include "EditHistory.h"

#include <QUndoCommand>

#include <utility>

// One dictionary page as an action left it.
struct EditHistory::PageState {
    std::vector<QStringList> rows; // every grid row, the title and the entry row included
    std::vector<RowIds> ids;
    int fixedRows = 1;
    int tag = 0; // the loaded mark
    dict::FileLayout layout = dict::FileLayout::Own;
    QStringList hidden;
    std::vector<RowIds> hiddenIds;
    QString filter;
    int row = 1;
    int col = 0;
};

namespace {

bool sameSet(const EditHistory::SetState& a, const EditHistory::SetState& b)
{
    if (a.highestFieldId != b.highestFieldId || a.pagesFolder != b.pagesFolder ||
        a.newSetStarted != b.newSetStarted || a.fileStats.size() != b.fileStats.size())
        return false;
    for (qsizetype i = 0; i < a.fileStats.size(); ++i) {
        const FileStatEntry& x = a.fileStats[i];
        const FileStatEntry& y = b.fileStats[i];
        if (x.Id != y.Id || (x.Stat.constData() != y.Stat.constData() && x.Stat != y.Stat))
            return false;
    }
    return true;
}

} // namespace

// One step: the states before and after it. The first redo is the push itself (the action
// already changed the pages).
class EditHistory::Command : public QUndoCommand {
public:
    Command(EditHistory& history, const QString& caption, State before, State after, bool typing,
            const grid::Page* page, int row, int col, quint64 action)
        : QUndoCommand(caption), mHistory(history), mBefore(std::move(before)), mAfter(std::move(after)),
          mTyping(typing), mPage(page), mRow(row), mCol(col), mAction(action)
    {
    }

    void undo() override { mHistory.show(mBefore); }
    void redo() override
    {
        if (std::exchange(mPushed, false))
            return;
        mHistory.show(mAfter);
    }
    int id() const override { return mTyping ? 1 : -1; }
    // Keystrokes in the same cell, typed right after this step's, join it.
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const Command*>(other);
        if (!next->mTyping || next->mPage != mPage || next->mRow != mRow || next->mCol != mCol ||
            next->mAction != mAction + 1)
            return false;
        mAfter = next->mAfter;
        mAction = next->mAction;
        return true;
    }

private:
    EditHistory& mHistory;
    State mBefore;
    State mAfter;
    bool mTyping;
    const grid::Page* mPage;
    int mRow;
    int mCol;
    quint64 mAction;
    bool mPushed = true;
};

EditHistory::EditHistory(std::vector<grid::Page*> pages, std::function<SetState()> readSet,
                         std::function<void(const SetState&)> showSet, std::function<void()> shown)
    : mPages(std::move(pages)), mReadSet(std::move(readSet)), mShowSet(std::move(showSet)),
      mShown(std::move(shown))
{
    mBaseline.pages.resize(mPages.size());
    forget();
}

EditHistory::~EditHistory() = default;

std::shared_ptr<const EditHistory::PageState> EditHistory::readPage(std::size_t index) const
{
    const grid::Page& page = *mPages[index];
    const TVarGrid* g = page.grid;
    auto state = std::make_shared<PageState>();
    state->rows.reserve(std::size_t(g->RowCount()));
    state->ids.reserve(std::size_t(g->RowCount()));
    for (int r = 0; r < g->RowCount(); ++r) {
        state->rows.push_back(g->rowCells(r));
        state->ids.push_back(g->rowIds(r));
    }
    state->fixedRows = g->FixedRows();
    state->tag = g->Tag;
    state->layout = page.layout;
    state->hidden = page.hidden;
    state->hiddenIds = page.hiddenIds;
    state->filter = page.filter;
    state->row = g->Row();
    state->col = g->Col();
    return state;
}

bool EditHistory::pageChanged(std::size_t index) const
{
    const PageState& was = *mBaseline.pages[index];
    const grid::Page& page = *mPages[index];
    const TVarGrid* g = page.grid;
    if (std::size_t(g->RowCount()) != was.rows.size() || g->FixedRows() != was.fixedRows ||
        g->Tag != was.tag || page.layout != was.layout || page.filter != was.filter ||
        page.hidden != was.hidden || page.hiddenIds != was.hiddenIds)
        return true;
    for (int r = 0; r < g->RowCount(); ++r)
        if (g->rowIds(r) != was.ids[std::size_t(r)] || g->rowCells(r) != was.rows[std::size_t(r)])
            return true;
    return false;
}

bool EditHistory::readChanges(State& now) const
{
    bool changed = false;
    now.pages.resize(mPages.size());
    for (std::size_t i = 0; i < mPages.size(); ++i) {
        if (pageChanged(i)) {
            now.pages[i] = readPage(i);
            changed = true;
        } else {
            now.pages[i] = mBaseline.pages[i];
        }
    }
    const SetState set = mReadSet();
    if (sameSet(set, *mBaseline.set)) {
        now.set = mBaseline.set;
    } else {
        now.set = std::make_shared<const SetState>(set);
        changed = true;
    }
    return changed;
}

void EditHistory::forget()
{
    mStack.clear();
    for (std::size_t i = 0; i < mPages.size(); ++i)
        mBaseline.pages[i] = readPage(i);
    mBaseline.set = std::make_shared<const SetState>(mReadSet());
}

void EditHistory::begin(QString caption, Kind kind, const grid::Page* page)
{
    if (mDepth++ > 0 || mShowing)
        return;
    mCaption = std::move(caption);
    mKind = kind;
    mActionPage = page;
    mActionRow = page ? page->grid->Row() : -1;
    mActionCol = page ? page->grid->Col() : -1;
}

void EditHistory::end()
{
    if (mDepth == 0 || --mDepth > 0 || mShowing)
        return;
    ++mActions;
    State now;
    if (!readChanges(now))
        return;
    State before = std::exchange(mBaseline, now);
    if (mKind == Kind::NotAStep)
        return;
    const bool typing = mKind == Kind::Typing;
    mStack.push(new Command(*this, mCaption.isEmpty() ? QStringLiteral("Edit") : mCaption, std::move(before),
                            std::move(now), typing, mActionPage, mActionRow, mActionCol, mActions));
}

void EditHistory::show(const State& state)
{
    mShowing = true;
    for (std::size_t i = 0; i < mPages.size(); ++i) {
        if (state.pages[i] == mBaseline.pages[i] && !pageChanged(i))
            continue;
        const PageState& s = *state.pages[i];
        grid::Page& page = *mPages[i];
        TVarGrid* g = page.grid;
        const int fixed = g->FixedRows();
        std::vector<QStringList> rows(
            s.rows.begin() + std::min<std::ptrdiff_t>(fixed, std::ptrdiff_t(s.rows.size())), s.rows.end());
        std::vector<RowIds> ids(s.ids.begin() + std::min<std::ptrdiff_t>(fixed, std::ptrdiff_t(s.ids.size())),
                                s.ids.end());
        g->replaceRowsFrom(fixed, std::move(rows), std::move(ids));
        for (int r = 0; r < fixed && r < int(s.rows.size()); ++r) {
            g->setRowText(r, s.rows[std::size_t(r)].join(QLatin1Char('\n')));
            g->setRowIds(r, s.ids[std::size_t(r)]);
        }
        g->setFixedRows(s.fixedRows);
        g->Tag = s.tag;
        page.layout = s.layout;
        page.hidden = s.hidden;
        page.hiddenIds = s.hiddenIds;
        page.filter = s.filter;
        g->setRow(std::min(s.row, g->RowCount() - 1));
        g->setCol(s.col);
    }
    mShowSet(*state.set);
    mBaseline = state;
    mShown();
    mShowing = false;
    // What the window's refresh changed is kept without a step.
    State now;
    if (readChanges(now))
        mBaseline = now;
}

void EditHistory::undo()
{
    mStack.undo();
}

void EditHistory::redo()
{
    mStack.redo();
}
