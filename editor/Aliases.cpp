// Utils page: the database alias registry. An alias is a subkey of the aliases key named by the
// alias, holding "Description" (the name again) and "PhysicalName" (the directory). The
// registry key stays open from start-up until the window is destroyed.
#include "UtilsPage.h"

#include "DDFUnit.h"

#include <QDir>

namespace {

const QString kAliasesKey = QStringLiteral("SOFTWARE\\Orvane\\Btrieve\\Aliases");
const QString kDescription = QStringLiteral("Description");
const QString kPhysicalName = QStringLiteral("PhysicalName");

} // namespace

void UtilsPage::LoadAliases()
{
    mRegistry = platform::Registry::create();
    mRegistry->openKey(platform::RegistryRoot::LocalMachine, kAliasesKey, true);
    fillAliasList();
    UpdateAliasButtons();
}

void UtilsPage::RegistryBaseClick()
{
    const QString name = InsertBase->text();
    if (name.isEmpty() || name == QLatin1String(" "))
        return;
    if (name.contains(QLatin1Char('\\'))) {
        // The registry would take it for a path of nested keys.
        TMain::showMessage(QStringLiteral("An alias name cannot hold a backslash (\\)."));
        return;
    }
    // Only a directory holding a dictionary set is registered; checking before the subkey is
    // created keeps an alias without a path out of the registry.
    if (!mRegistry || !w.OpenFile->isEnabled())
        return;
    const QString path = QDir::toNativeSeparators(w.DirectoryListBox->directory());
    if (!mRegistry->hasOpenKey())
        mRegistry->openKey(platform::RegistryRoot::LocalMachine, kAliasesKey, true);
    // Alias names are one key whatever their letter case: registering "ORDERS DB" would replace
    // "Orders DB" and the folder it names. That is asked first; the new name replaces the old.
    for (const QString& existing : mRegistry->keyNames()) {
        if (existing == name || existing.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const QString folder = mRegistry->readString(existing, kPhysicalName, QString());
        if (!TMain::askQuestion(
                QStringLiteral("The alias \"%1\" (%2) is registered already; \"%3\" differs from it only "
                               "in letter case and would replace it. Replace it with \"%3\" (%4)?")
                    .arg(existing, folder, name, path)))
            return;
        mRegistry->deleteKey(existing);
    }
    if (!mRegistry->createKey(name) || !mRegistry->writeString(name, kDescription, name) ||
        !mRegistry->writeString(name, kPhysicalName, path)) {
        fillAliasList();
        return;
    }
    fillAliasList();
    InsertBase->clear();
    UpdateAliasButtons();
}

void UtilsPage::UnregistryBaseClick()
{
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !mRegistry)
        return;
    mRegistry->deleteKey(alias);
    fillAliasList();
    UpdateAliasButtons();
}

void UtilsPage::UseRegistryPathClick()
{
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !mRegistry)
        return;
    if (!mRegistry->problem().isEmpty()) {
        fillAliasList();
        UpdateAliasButtons();
        return;
    }
    const QString here = w.DirectoryListBox->directory();
    w.changeDirectory(mRegistry->readString(alias, kPhysicalName, here));
}

void UtilsPage::BaseListKeyUp(int)
{
    UpdateAliasButtons();
}

void UtilsPage::BaseListMouseUp()
{
    UpdateAliasButtons();
}

void UtilsPage::UpdateAliasButtons()
{
    const bool selected = !selectedAlias().isEmpty();
    UnregistryBase->setEnabled(selected);
    UseRegistryPath->setEnabled(selected);
}

void UtilsPage::fillAliasList()
{
    BaseList->clear();
    if (!mRegistry)
        return;
    const QString problem = mRegistry->problem();
    if (problem.isEmpty()) {
        mAliasProblemShown = false;
        BaseList->addItems(mRegistry->keyNames());
    } else if (!mAliasProblemShown) {
        // Said once; the list stays empty until the file can be read again.
        mAliasProblemShown = true;
        TMain::showMessage(problem);
    }
}

QString UtilsPage::selectedAlias() const
{
    const QListWidgetItem* item = BaseList->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}
