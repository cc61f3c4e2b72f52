#include "EditHistory.h"

#include <algorithm>

#include <QUndoCommand>

#include <utility>

namespace {

// Rows are kept in chunks of this many, shared between states while none of their rows changed.
constexpr int kChunkRows = 256;

struct Chunk {
    std::vector<QStringList> rows;
    std::vector<RowIds> ids;
};

} // namespace

// One dictionary page as an action left it.
struct EditHistory::PageState {
    std::vector<std::shared_ptr<const Chunk>> chunks; // every grid row, title and entry row included
    int rowCount = 0;
    quint64 revision = 0; // the grid's when read
    int fixedRows = 1;
    int tag = 0; // the loaded mark
    dict::FileLayout layout = dict::FileLayout::Own;
    QStringList hidden;
    std::vector<RowIds> hiddenIds;
    QString filter;
    int row = 1;
    int col = 0;

    // Everything but the grid's rows is as the page holds it.
    bool sameBesideRows(const grid::Page& page) const
    {
        return page.grid->FixedRows() == fixedRows && page.grid->Tag == tag && page.layout == layout &&
               page.filter == filter && page.hidden == hidden && page.hiddenIds == hiddenIds;
    }
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

std::shared_ptr<const EditHistory::PageState> EditHistory::readPage(std::size_t index,
                                                                    const PageState* was) const
{
    const grid::Page& page = *mPages[index];
    const TVarGrid* g = page.grid;
    auto state = std::make_shared<PageState>();
    state->rowCount = g->RowCount();
    for (int first = 0; first < state->rowCount; first += kChunkRows) {
        const int last = std::min(first + kChunkRows, state->rowCount);
        const std::size_t c = std::size_t(first / kChunkRows);
        if (was && c < was->chunks.size()) {
            const Chunk& old = *was->chunks[c];
            bool same = int(old.rows.size()) == last - first;
            for (int r = first; same && r < last; ++r)
                same = g->rowCells(r) == old.rows[std::size_t(r - first)] &&
                       g->rowIds(r) == old.ids[std::size_t(r - first)];
            if (same) {
                state->chunks.push_back(was->chunks[c]);
                continue;
            }
        }
        auto chunk = std::make_shared<Chunk>();
        chunk->rows.reserve(std::size_t(last - first));
        chunk->ids.reserve(std::size_t(last - first));
        for (int r = first; r < last; ++r) {
            chunk->rows.push_back(g->rowCells(r));
            chunk->ids.push_back(g->rowIds(r));
        }
        state->chunks.push_back(std::move(chunk));
    }
    state->revision = g->revision();
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
    return mPages[index]->grid->revision() != was.revision || !was.sameBesideRows(*mPages[index]);
}

bool EditHistory::readChanges(State& now) const
{
    bool changed = false;
    now.pages.resize(mPages.size());
    for (std::size_t i = 0; i < mPages.size(); ++i) {
        const PageState& was = *mBaseline.pages[i];
        if (!pageChanged(i)) {
            now.pages[i] = mBaseline.pages[i];
            continue;
        }
        // Something was written to the grid: its rows are compared chunk by chunk (a row shared
        // with the state compares by its data pointer).
        now.pages[i] = readPage(i, &was);
        const PageState& is = *now.pages[i];
        if (is.rowCount != was.rowCount || is.chunks != was.chunks || !was.sameBesideRows(*mPages[i]))
            changed = true;
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
        mBaseline.pages[i] = readPage(i, nullptr);
    mBaseline.set = std::make_shared<const SetState>(mReadSet());
}

QString EditHistory::cellBefore(const grid::Page* page, int row, int col) const
{
    const auto it = std::find(mPages.begin(), mPages.end(), page);
    if (it == mPages.end() || std::size_t(it - mPages.begin()) >= mBaseline.pages.size() || row < 0)
        return {};
    const PageState& state = *mBaseline.pages[std::size_t(it - mPages.begin())];
    if (row >= state.rowCount)
        return {};
    const QStringList& cells =
        state.chunks[std::size_t(row / kChunkRows)]->rows[std::size_t(row % kChunkRows)];
    return col >= 0 && col < cells.size() ? cells[col] : QString();
}

void EditHistory::begin(QString caption, Kind kind, const grid::Page* page)
{
    if (mDepth++ > 0 || mShowing)
        return;
    mNamed = !caption.isEmpty() || kind != Kind::Step;
    mCaption = std::move(caption);
    mKind = kind;
    mActionPage = page;
    mActionRow = page ? page->grid->Row() : -1;
    mActionCol = page ? page->grid->Col() : -1;
}

void EditHistory::name(QString caption, Kind kind)
{
    if (mDepth == 0 || mShowing || mNamed)
        return;
    mNamed = true;
    mCaption = std::move(caption);
    mKind = kind;
}

void EditHistory::end()
{
    if (mDepth == 0 || --mDepth > 0 || mShowing)
        return;
    // A key release that changed nothing (Shift let go between two letters) does not end a run of
    // typing in one cell; any other action does.
    State now;
    if (!readChanges(now)) {
        if (mKind != Kind::Typing)
            ++mActions;
        return;
    }
    ++mActions;
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
        const int fixed = std::min(g->FixedRows(), s.rowCount);
        std::vector<QStringList> rows;
        std::vector<RowIds> ids;
        rows.reserve(std::size_t(s.rowCount));
        ids.reserve(std::size_t(s.rowCount));
        for (const auto& chunk : s.chunks) {
            rows.insert(rows.end(), chunk->rows.begin(), chunk->rows.end());
            ids.insert(ids.end(), chunk->ids.begin(), chunk->ids.end());
        }
        for (int r = 0; r < fixed; ++r) {
            g->setRowText(r, rows[std::size_t(r)].join(QLatin1Char('\n')));
            g->setRowIds(r, ids[std::size_t(r)]);
        }
        rows.erase(rows.begin(), rows.begin() + fixed);
        ids.erase(ids.begin(), ids.begin() + fixed);
        g->replaceRowsFrom(fixed, std::move(rows), std::move(ids));
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
