// How the window replaces dictionary files: the Builds' set writing (every file complete and
// backed up before the first is replaced, a question before a file is left without records),
// finishing a Build that was cut off, and "Restore backup…".
#include "DDFUnit.h"

#include "Backups.h"
#include "PageLayout.h"
#include "SetWriter.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString fileName(const dict::DictionarySetWriter::Staged& s)
{
    return QString::fromLatin1(dict::creationSpec(s.file).fileName);
}

// "FIELD.DDF (it holds 30000 records)" / "INDEX.DDF (every one of its 12 rows was left out)"
QString emptiedWhy(const dict::DictionarySetWriter::Staged& s)
{
    if (s.leftOut > 0)
        return QStringLiteral("%1 (every one of its %2 rows was left out)").arg(fileName(s)).arg(s.leftOut);
    return QStringLiteral("%1 (it holds %2 records)").arg(fileName(s)).arg(s.previousRecords);
}

QString joined(const QStringList& parts)
{
    if (parts.size() < 2)
        return parts.join(QString());
    return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + parts.last();
}

} // namespace

bool TMain::writeSet(const std::vector<std::function<void()>>& writes)
{
    BuildReportScope reporting(*this);
    dict::DictionarySetWriter set;
    struct Current {
        TMain& w;
        ~Current()
        {
            w.mSetWriter = nullptr;
            w.mAfterSetWritten.clear();
        }
    } current{*this};
    mSetWriter = &set;
    mAfterSetWritten.clear();
    for (const auto& write : writes)
        write();

    const auto abandonSet = [&](const QString& why) {
        set.abandon();
        reporting.report().note(why.toStdString());
        rereadFileList();
        reporting.finish();
        return false;
    };
    // A file the record manager refused a row of (or would not make) would leave the set
    // inconsistent: nothing is replaced.
    if (set.incomplete())
        return abandonSet(QStringLiteral("No dictionary file was replaced: every one is as it was."));

    // The files a new set replaces the records of, once the user agreed.
    std::vector<dict::DictFile> replacedWhole;
    const QString folder = QDir::currentPath();
    if (mNewSetStarted && !mNewSetWrittenInto.contains(folder)) {
        QStringList held;
        for (const auto& s : set.staged())
            if (pageOf(s.file).layout == dict::FileLayout::Standard)
                if (const long long records = dict::recordCountOf(s.target); records > 0) {
                    held << QStringLiteral("%1 holds %2 records").arg(fileName(s)).arg(records);
                    replacedWhole.push_back(s.file);
                }
        if (!held.isEmpty() &&
            !askQuestion(
                QStringLiteral("%1 holds a dictionary (%2). Replace it with the set New DDFs started?")
                    .arg(QDir::toNativeSeparators(folder), joined(held))))
            return abandonSet(QStringLiteral("No file was replaced: the dictionary of %1 is as it was.")
                                  .arg(QDir::toNativeSeparators(folder)));
    }

    QStringList emptied;
    for (const auto& s : set.staged())
        if (dict::DictionarySetWriter::wouldEmpty(s) &&
            std::find(replacedWhole.begin(), replacedWhole.end(), s.file) == replacedWhole.end())
            emptied << emptiedWhy(s);
    if (!emptied.isEmpty()) {
        const bool one = emptied.size() == 1;
        const QString question =
            QStringLiteral("This Build would leave %1 without any records. Write %2 anyway?")
                .arg(joined(emptied), one ? QStringLiteral("it") : QStringLiteral("them"));
        if (!askQuestion(question))
            return abandonSet(QStringLiteral("No file was replaced: %1 would have been left without records.")
                                  .arg(joined(emptied)));
        reporting.report().note(QStringLiteral("%1 now %2 no records: %3.")
                                    .arg(one ? QStringLiteral("This file") : QStringLiteral("These files"),
                                         one ? QStringLiteral("holds") : QStringLiteral("hold"),
                                         joined(emptied))
                                    .toStdString());
    }

    const std::string error = set.commit([](const std::string& path) { return dict::backUpFile(path); });
    if (!error.empty()) {
        rereadFileList();
        throw EditorError(QString::fromStdString(error));
    }
    rereadFileList();
    if (!mNewSetWrittenInto.contains(folder))
        mNewSetWrittenInto << folder;
    // The set may have written FILE.DDF into the directory being browsed: Open follows it.
    CheckDictionaryFiles();
    const std::vector<std::function<void()>> after = std::move(mAfterSetWritten);
    for (const auto& done : after)
        done();
    reporting.finish();
    return true;
}

void TMain::finishInterruptedBuild()
{
    const std::string done = dict::finishInterruptedSet(".");
    if (done.empty())
        return;
    rereadFileList();
    showMessage(QString::fromStdString(done));
}

void TMain::buildRestoreBackup(HandlerWiring& wire)
{
    MAKE(RestoreBackup, layout::place(new QPushButton(QStringLiteral("Backups…"), this), 112, 339, 67, 20));
    RestoreBackup->setToolTip(QStringLiteral("Restore backup…"));
    wire.click(RestoreBackup, &TMain::RestoreBackupClick);
}

void TMain::RestoreBackupClick()
{
    nameStep(QStringLiteral("Restore Backup"));
    const QString directory = QDir::currentPath();
    finishInterruptedBuild();
    std::vector<dict::BackupCopy> copies = dict::listBackups(directory.toStdString());
    if (copies.empty()) {
        showMessage(QStringLiteral("There are no backup copies of the dictionary files of %1.")
                        .arg(QDir::toNativeSeparators(directory)));
        return;
    }
    std::reverse(copies.begin(), copies.end()); // newest first

    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("RestoreBackupDialog"));
    dialog.setWindowTitle(QStringLiteral("Restore backup…"));
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("BackupList"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Taken"), QStringLiteral("Size"), QStringLiteral("Records")});
    const QLocale locale;
    for (const dict::BackupCopy& copy : copies) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, QString::fromStdString(copy.fileName));
        item->setText(1, QString::fromStdString(copy.taken));
        item->setText(2, locale.toString(qulonglong(copy.size)));
        item->setText(3, copy.records < 0 ? QStringLiteral("?") : locale.toString(copy.records));
        item->setTextAlignment(2, Qt::AlignRight);
        item->setTextAlignment(3, Qt::AlignRight);
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
    auto* restore = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::AcceptRole);
    restore->setObjectName(QStringLiteral("RestoreButton"));
    restore->setEnabled(false);
    connect(list, &QTreeWidget::currentItemChanged, restore,
            [restore](QTreeWidgetItem* item) { restore->setEnabled(item != nullptr); });
    connect(list, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    dialog.resize(420, 300);
    if (dialog.exec() != QDialog::Accepted || !list->currentItem())
        return;

    const dict::BackupCopy& chosen = copies[std::size_t(list->indexOfTopLevelItem(list->currentItem()))];
    const QString name = QString::fromStdString(chosen.fileName);
    // The page that holds this folder's copy of the file follows the restore; edits on it not
    // yet built are asked about first.
    grid::Page* page = nullptr;
    if (!mPagesFolder.isEmpty() && QDir(mPagesFolder) == QDir(directory))
        for (grid::Page* p : gridPages())
            if (p->loaded() && grid::equalIgnoringCase(p->fileName, name))
                page = p;
    if (page && page->hasUnbuiltEdits() &&
        !askQuestion(QStringLiteral("The page of %1 holds edits that are not built yet; the restored records "
                                    "replace them. Restore %1 anyway?")
                         .arg(name)))
        return;
    const std::string why = dict::restoreBackup(chosen, directory.toStdString());
    rereadFileList();
    CheckDictionaryFiles();
    if (!why.empty())
        throw EditorError(QStringLiteral("%1 was not restored: %2").arg(name, QString::fromStdString(why)));
    if (page) {
        reopenPage(*page);
        page->keepAsBuilt();
        showFilters();
        fitGridColumns();
    }
    showMessage(QStringLiteral("%1 was restored from its copy of %2 (%3 records).")
                    .arg(name, QString::fromStdString(chosen.taken))
                    .arg(chosen.records));
}

void TMain::reopenPage(grid::Page& page)
{
    switch (page.file) {
    case dict::DictFile::File:
        OpenFileDDFClick();
        break;
    case dict::DictFile::Field:
        OpenFieldDDFClick();
        break;
    default:
        break;
    }
    for (DictionaryPage* registered : mDictionaryPages)
        if (&registered->page() == &page)
            registered->open();
}
