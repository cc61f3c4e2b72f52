// Undo and redo in the window: every handler wired to a control runs as one user action, and
// what it changed in the dictionary pages becomes one step of the edit history, named after
// what the user did. Builds and filters change the pages without being steps: a Build keeps the
// history, a filter only shows the rows otherwise.
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

void TMain::runAction(void (TMain::*handler)(), const std::function<void()>& run)
{
    using H = void (TMain::*)();
    const auto field = [this] { return quotedName(FieldGrid, grid::kFieldName); };
    const auto table = [this] { return quotedName(FileGrid, grid::kFileName); };
    const auto keyTable = [this] { return quotedName(KeyGrid, grid::kKeyFile); };
    const auto extField = [this] { return quotedName(ExtGrid, grid::kExtField); };
    struct Named {
        H handler;
        Kind kind;
        std::function<QString()> caption;
    };
    const auto fixed = [](const char* text) { return [text] { return QString::fromLatin1(text); }; };
    const Named named[] = {
        // Not steps: a Build keeps the history; a filter or going back to the hidden rows only
        // shows the rows otherwise; undo and redo move in it.
        {&TMain::BuildFileClick, Kind::NotAStep, {}},
        {&TMain::BuildFileDDFClick, Kind::NotAStep, {}},
        {&TMain::BuildFieldDDFClick, Kind::NotAStep, {}},
        {&TMain::BuildKeysDDFClick, Kind::NotAStep, {}},
        {&TMain::BuildFieldExtDDFClick, Kind::NotAStep, {}},
        {&TMain::FileFilterChange, Kind::NotAStep, {}},
        {&TMain::IndexFilterChange, Kind::NotAStep, {}},
        {&TMain::ExtFileFilterChange, Kind::NotAStep, {}},
        {&TMain::RestoreFieldRows, Kind::NotAStep, {}},
        {&TMain::RestoreKeyRows, Kind::NotAStep, {}},
        {&TMain::RestoreExtRows, Kind::NotAStep, {}},
        {&TMain::UndoEditClick, Kind::NotAStep, {}},
        {&TMain::RedoEditClick, Kind::NotAStep, {}},
        // Whole-set and page buttons.
        {&TMain::OpenFileClick, Kind::Step, fixed("Open DDFs")},
        {&TMain::ClearFileClick, Kind::Step, fixed("New DDFs")},
        {&TMain::DeleteFileClick, Kind::Step, fixed("Delete File")},
        {&TMain::RestoreBackupClick, Kind::Step, fixed("Restore Backup")},
        {&TMain::OpenFileDDFClick, Kind::Step, fixed("Open FILE.DDF")},
        {&TMain::ClearFileDDFClick, Kind::Step, fixed("New FILE.DDF")},
        {&TMain::OpenFieldDDFClick, Kind::Step, fixed("Open FIELD.DDF")},
        {&TMain::ClearFieldDDFClick, Kind::Step, fixed("New FIELD.DDF")},
        {&TMain::OpenKeysDDFClick, Kind::Step, fixed("Open INDEX.DDF")},
        {&TMain::ClearKeysDDFClick, Kind::Step, fixed("New INDEX.DDF")},
        {&TMain::OpenFieldExtDDFClick, Kind::Step, fixed("Open FIELDEXT.DDF")},
        // Files page.
        {&TMain::AddFileClick, Kind::Step, fixed("Add File")},
        {&TMain::CreateFileClick, Kind::Step, [=] { return "Create File" + table(); }},
        {&TMain::DeleteTableClick, Kind::Step, [=] { return "Delete Table" + table(); }},
        {&TMain::FileGridMouseUp, Kind::Step, [=] { return "Edit Table" + table(); }},
        // Fields page.
        {&TMain::AddOneFieldClick, Kind::Step, fixed("Add Field")},
        {&TMain::DeleteFieldClick, Kind::Step, [=] { return "Delete Field" + field(); }},
        {&TMain::AddFieldClick, Kind::Step,
         [this] { return QStringLiteral("Add Record '%1'").arg(NameRec->currentText().trimmed()); }},
        {&TMain::FieldTypeChange, Kind::Step, [=] { return "Change Type of Field" + field(); }},
        {&TMain::FieldGridMouseUp, Kind::Step, [=] { return "Edit Field" + field(); }},
        {&TMain::DataDraftClick, Kind::Step, [=] { return "First Draft of Table" + table(); }},
        // Keys page.
        {&TMain::AddKeyClick, Kind::Step, fixed("Add Key")},
        {&TMain::DeleteKeyClick, Kind::Step, [=] { return "Delete Key of Table" + keyTable(); }},
        {&TMain::ChooseFieldChange, Kind::Step, [=] { return "Choose Key Field of Table" + keyTable(); }},
        {&TMain::KeyGridMouseUp, Kind::Step, [=] { return "Edit Key of Table" + keyTable(); }},
        // ExtFields page.
        {&TMain::DeleteExtClick, Kind::Step, [=] { return "Delete Extended Type of Field" + extField(); }},
        {&TMain::ChooseFilesChange, Kind::Step, [=] { return "Choose Table of Extended Type" + extField(); }},
        {&TMain::ChooseExtFieldChange, Kind::Step,
         [=] { return "Choose Field of Extended Type" + extField(); }},
        {&TMain::ExtTypeChange, Kind::Step, [=] { return "Change Extended Type of Field" + extField(); }},
        {&TMain::ExtGridMouseUp, Kind::Step, [=] { return "Edit Extended Type of Field" + extField(); }},
    };
    ActionStep step;
    for (const Named& n : named)
        if (n.handler == handler) {
            step.kind = n.kind;
            if (n.caption)
                step.caption = n.caption();
            break;
        }
    runStep(step, run);
}

void TMain::runAction(void (TMain::*handler)(int), const std::function<void()>& run)
{
    // Keys typed into one cell, one after another, are one step.
    const auto typing = [](const grid::Page* page, const QString& thing, const QString& name) {
        const bool entry = page->grid->Row() == grid::entryRow(page->grid);
        return ActionStep{entry ? QStringLiteral("Type New ") + thing
                                : QStringLiteral("Edit ") + thing + name,
                          Kind::Typing, page};
    };
    ActionStep step;
    if (handler == &TMain::FileGridKeyUp)
        step = typing(mFilesPage.get(), QStringLiteral("Table"), quotedName(FileGrid, grid::kFileName));
    else if (handler == &TMain::FieldGridKeyUp)
        step = typing(mFieldsPage.get(), QStringLiteral("Field"), quotedName(FieldGrid, grid::kFieldName));
    else if (handler == &TMain::KeyGridKeyUp)
        step = typing(mKeysPage.get(), QStringLiteral("Key of Table"), quotedName(KeyGrid, grid::kKeyFile));
    else if (handler == &TMain::ExtGridKeyUp)
        step = typing(mExtPage.get(), QStringLiteral("Extended Type of Field"),
                      quotedName(ExtGrid, grid::kExtField));
    runStep(step, run);
}

void TMain::runAction(void (TMain::*handler)(TVarCheckBox*), const std::function<void()>& run)
{
    ActionStep step;
    if (handler == &TMain::ChClick)
        step.caption = "Change Flags of Table" + quotedName(FileGrid, grid::kFileName);
    else if (handler == &TMain::ChClickKey)
        step.caption = "Change Key Flags of Table" + quotedName(KeyGrid, grid::kKeyFile);
    runStep(step, run);
}

void TMain::UndoEditClick()
{
    mHistory->undo();
}

void TMain::RedoEditClick()
{
    mHistory->redo();
}

void TMain::buildUndoRedo(HandlerWiring& wire)
{
    mHistory = std::make_unique<EditHistory>(
        std::vector<grid::Page*>{mFilesPage.get(), mFieldsPage.get(), mKeysPage.get(), mExtPage.get()},
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
            else if (page == TabKeys)
                RefreshKeyRow();
            else if (page == TabFieldExts)
                RefreshExtRow();
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
    connect(undo, &QAction::triggered, this,
            [this] { runAction(&TMain::UndoEditClick, [this] { UndoEditClick(); }); });
    connect(redo, &QAction::triggered, this,
            [this] { runAction(&TMain::RedoEditClick, [this] { RedoEditClick(); }); });
}
