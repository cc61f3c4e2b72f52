#pragma once
// EditHistory: the undo and redo of the dictionary pages. It keeps what the four dictionary
// pages and the window's set-wide state held after the last user action (the baseline); when an
// action ends with anything changed, one command holding the state before and after goes onto
// its QUndoStack under the action's caption ("Delete Field 'Name'"). Undo and redo put a page
// back whole (rows with their ids, the rows its filter set aside, its loaded mark and layout,
// its current cell). States are shared between commands, and rows between states in chunks
// (QStringList is shared until written): a command costs the chunks of rows it changed, and a
// page nothing was written to since the last action (its grid's revision) is not compared.
//
// Keystrokes typed into one cell, one after another, are one step.
#include "AddComp.h"
#include "DictionaryGrid.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUndoStack>

#include <array>
#include <functional>
#include <memory>
#include <vector>

// One entry of FileStatList: a file id and a copy of the 1920-byte statistics buffer.
struct FileStatEntry {
    qint32 Id = 0;
    QByteArray Stat;
    bool operator==(const FileStatEntry&) const = default;
};

class EditHistory {
public:
    // What the window holds for the whole set beside the pages' rows.
    struct SetState {
        QList<FileStatEntry> fileStats;
        qint32 highestFieldId = 0;
        QString pagesFolder;
        bool newSetStarted = false;
        bool operator==(const SetState&) const = default;
    };
    // How an action counts: a step of its own, or a change that is kept without being one
    // (a Build, a filter: the next undo goes back past it to the state before the last step).
    enum class Kind { Step, Typing, NotAStep };

    // `readSet` and `showSet` give and put back the window's set-wide state; `shown` runs after
    // an undo or redo put states back (the window refreshes what follows from the rows).
    EditHistory(std::vector<grid::Page*> pages, std::function<SetState()> readSet,
                std::function<void(const SetState&)> showSet, std::function<void()> shown);
    ~EditHistory();
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    QUndoStack& stack() { return mStack; }

    // Marks the start of a user action; nested ones join the outermost. `caption` names the
    // step it makes ("Delete Field 'Name'"); `page` and the page's current cell tell keystrokes
    // in one cell apart from others.
    void begin(QString caption, Kind kind, const grid::Page* page = nullptr);
    // Names the action in progress, unless it is named already (the outermost handler names
    // it); nothing outside an action.
    void name(QString caption, Kind kind);
    // Ends the outermost action: a change since the baseline becomes one step (or joins the
    // keystrokes before it), unless the action is not one; the state is the new baseline.
    void end();
    bool inAction() const { return mDepth > 0; }

    // The pages as they are now become the baseline, no step made (after a change that cannot
    // be undone, such as another code page: the steps before it are dropped).
    void forget();

    void undo();
    void redo();

    // The text a cell of the page held after the last action; empty when it had no such cell.
    QString cellBefore(const grid::Page* page, int row, int col) const;

private:
    struct PageState;
    struct State {
        std::vector<std::shared_ptr<const PageState>> pages;
        std::shared_ptr<const SetState> set;
    };
    class Command;

    // The page as it is now, sharing the chunks of rows `was` holds unchanged.
    std::shared_ptr<const PageState> readPage(std::size_t page, const PageState* was) const;
    // Whether anything may have been written to the page since the baseline.
    bool pageChanged(std::size_t page) const;
    // The state now, sharing the baseline's part of each page that did not change; whether any
    // did.
    bool readChanges(State& now) const;
    void show(const State& state);

    std::vector<grid::Page*> mPages;
    std::function<SetState()> mReadSet;
    std::function<void(const SetState&)> mShowSet;
    std::function<void()> mShown;
    QUndoStack mStack;
    State mBaseline;

    int mDepth = 0;
    QString mCaption;
    Kind mKind = Kind::Step;
    const grid::Page* mActionPage = nullptr;
    int mActionRow = -1;
    int mActionCol = -1;
    bool mNamed = false;
    bool mShowing = false;
    // Counts the actions that ended; the one that made the top command, to join keystrokes only
    // to the keystrokes right before them.
    quint64 mActions = 0;
    quint64 mTopCommandAction = 0;
};
