// Undo and redo in the window: every handler wired to a control runs as one user action, and
// what it changed in the dictionary pages becomes one step of the edit history, named by the
// handler (nameStep) after what the user did. Builds and filters change the pages without being
// steps (notAStep): a Build keeps the history, a filter only shows the rows otherwise.
#include "DDFUnit.h"
#include "PageLayout.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>

using Kind = EditHistory::Kind;

QString TMain::quotedName(const TVarGrid* grid, int col)
{
    const int row = grid->Row();
    if (row < 1 || row >= grid::entryRow(grid))
        return {};
    const QString name = grid::withoutTrailingBlanks(grid->Cells(col, row));
    return name.isEmpty() ? QString() : QStringLiteral(" '%1'").arg(name);
}

void TMain::runStep(const ActionStep& step, const std::function<void()>& run)
{
    mHistory->begin(step.caption, step.kind, step.page);
    guarded(run);
    mHistory->end();
}

void TMain::runAction(const std::function<void()>& run)
{
    // The handler names its step itself (nameStep, notAStep).
    runStep({}, run);
}

TMain::ActionStep TMain::typingStep(const grid::Page* page, const QString& thing, int nameCol) const
{
    // Keys typed into one cell, one after another, are one step, named by the row as it was
    // before the first of them (the name being typed over is not the row's name yet).
    const int row = page->grid->Row();
    if (row == grid::entryRow(page->grid))
        return {QStringLiteral("Type New ") + thing, Kind::Typing, page};
    const QString name = grid::withoutTrailingBlanks(mHistory->cellBefore(page, row, nameCol));
    return {QStringLiteral("Edit ") + thing +
                (name.isEmpty() ? QString() : QStringLiteral(" '%1'").arg(name)),
            Kind::Typing, page};
}

void TMain::runTyping(const DictionaryPage& page, const std::function<void()>& run)
{
    runStep(typingStep(&page.page(), page.rowThing, page.nameColumn), run);
}

void TMain::nameStep(const QString& caption)
{
    mHistory->name(caption, Kind::Step);
}

void TMain::notAStep()
{
    mHistory->name(QString(), Kind::NotAStep);
}

void TMain::runAction(void (TMain::*handler)(int), const std::function<void()>& run)
{
    ActionStep step;
    if (handler == &TMain::FileGridKeyUp)
        step = typingStep(mFilesPage.get(), QStringLiteral("Table"), grid::kFileName);
    else if (handler == &TMain::FieldGridKeyUp)
        step = typingStep(mFieldsPage.get(), QStringLiteral("Field"), grid::kFieldName);
    runStep(step, run);
}

void TMain::UndoEditClick()
{
    notAStep();
    mHistory->undo();
}

void TMain::RedoEditClick()
{
    notAStep();
    mHistory->redo();
}

void TMain::buildUndoRedo(HandlerWiring& wire)
{
    mHistory = std::make_unique<EditHistory>(
        gridPages(),
        [this] {
            return EditHistory::SetState{FileStatList, HighestFieldId, mPagesFolder, mNewSetStarted};
        },
        [this](const EditHistory::SetState& set) {
            FileStatList = set.fileStats;
            HighestFieldId = set.highestFieldId;
            mPagesFolder = set.pagesFolder;
            mNewSetStarted = set.newSetStarted;
            showPagesFolder();
        },
        [this] {
            showFilters();
            QWidget* page = PageControl->currentWidget();
            if (page == TabFiles)
                RefreshFileRow();
            else if (page == TabFields)
                RefreshFieldRow();
            else if (auto* registered = dynamic_cast<DictionaryPage*>(page))
                registered->refreshRow();
        });

    auto* corner = new QWidget(PageControl);
    auto* row = new QHBoxLayout(corner);
    row->setContentsMargins(0, 0, 2, 0);
    row->setSpacing(2);
    MAKE(UndoEdit, new QToolButton(corner));
    MAKE(RedoEdit, new QToolButton(corner));
    for (QToolButton* button : {UndoEdit, RedoEdit}) {
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        row->addWidget(button);
    }
    PageControl->setCornerWidget(corner, Qt::TopRightCorner);

    const auto show = [this] {
        const QUndoStack& stack = mHistory->stack();
        const auto label = [this](QToolButton* button, const QString& verb, const QString& step) {
            const QString full = step.isEmpty() ? verb : verb + QLatin1Char(' ') + step;
            button->setToolTip(full);
            button->setText(button->fontMetrics().elidedText(full, Qt::ElideRight, 150));
            button->setEnabled(!step.isEmpty());
        };
        label(UndoEdit, QStringLiteral("Undo"), stack.canUndo() ? stack.undoText() : QString());
        label(RedoEdit, QStringLiteral("Redo"), stack.canRedo() ? stack.redoText() : QString());
    };
    QUndoStack* stack = &mHistory->stack();
    connect(stack, &QUndoStack::indexChanged, this, show);
    connect(stack, &QUndoStack::cleanChanged, this, show);
    show();
    wire.click(UndoEdit, &TMain::UndoEditClick);
    wire.click(RedoEdit, &TMain::RedoEditClick);

    auto* undo = new QAction(this);
    undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    auto* redo = new QAction(this);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {undo, redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    connect(undo, &QAction::triggered, this, [this] { runAction([this] { UndoEditClick(); }); });
    connect(redo, &QAction::triggered, this, [this] { runAction([this] { RedoEditClick(); }); });
}
