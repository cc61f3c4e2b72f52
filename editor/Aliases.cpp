// Utils page: the database alias registry. An alias is a subkey of the aliases key named by the
// alias, holding "Description" (the name again) and "PhysicalName" (the directory). The
// registry key stays open from start-up until the window is destroyed.
#include "DDFUnit.h"

#include <QDir>

namespace {

const QString kAliasesKey = QStringLiteral("SOFTWARE\\Orvane\\Btrieve\\Aliases");
const QString kDescription = QStringLiteral("Description");
const QString kPhysicalName = QStringLiteral("PhysicalName");

} // namespace

void TMain::LoadAliases()
{
    mRegistry = platform::Registry::create();
    if (!mRegistry->openKey(platform::RegistryRoot::LocalMachine, kAliasesKey, true))
        return;
    fillAliasList();
    UpdateAliasButtons();
}

void TMain::RegistryBaseClick()
{
    const QString name = InsertBase->text();
    if (name.isEmpty() || name == QLatin1String(" "))
        return;
    // Only a directory holding a dictionary set is registered; checking before the subkey is
    // created keeps an alias without a path out of the registry.
    if (!mRegistry || !OpenFile->isEnabled())
        return;
    if (!mRegistry->createKey(name))
        return;
    const QString path = QDir::toNativeSeparators(DirectoryListBox->directory());
    if (!mRegistry->writeString(name, kDescription, name) ||
        !mRegistry->writeString(name, kPhysicalName, path))
        return;
    fillAliasList();
    InsertBase->clear();
    UpdateAliasButtons();
}

void TMain::UnregistryBaseClick()
{
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !mRegistry)
        return;
    mRegistry->deleteKey(alias);
    fillAliasList();
    UpdateAliasButtons();
}

void TMain::UseRegistryPathClick()
{
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !mRegistry)
        return;
    const QString here = DirectoryListBox->directory();
    changeDirectory(mRegistry->readString(alias, kPhysicalName, here));
}

void TMain::BaseListKeyUp(int)
{
    UpdateAliasButtons();
}

void TMain::BaseListMouseUp()
{
    UpdateAliasButtons();
}

void TMain::UpdateAliasButtons()
{
    const bool selected = !selectedAlias().isEmpty();
    UnregistryBase->setEnabled(selected);
    UseRegistryPath->setEnabled(selected);
}

void TMain::fillAliasList()
{
    BaseList->clear();
    if (mRegistry)
        BaseList->addItems(mRegistry->keyNames());
}

QString TMain::selectedAlias() const
{
    const QListWidgetItem* item = BaseList->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}
