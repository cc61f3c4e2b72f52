// The Utils page's alias controls, driven through TMain the way a user does, with the registry
// kept in a file of the test's scratch directory.
#include "Registry.h"
#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using platform::Registry;
using platform::RegistryRoot;

namespace {

const QString kAliasesKey = QStringLiteral("SOFTWARE\\Orvane\\Btrieve\\Aliases");

QString qpath(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

QStringList listed(const TListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

class Aliases : public WindowEnvironment {
protected:
    Aliases() : mRegistryFile(registryFile())
    {
        mWithDictionary = makeDir("sales", true);
        mWithout = makeDir("empty", false);
    }

    QString makeDir(const char* name, bool withDictionary)
    {
        QString dir = qpath(mDir.path() / name);
        QDir().mkpath(dir);
        if (withDictionary) {
            QFile file(dir + "/File.ddf");
            file.open(QIODevice::WriteOnly);
        }
        return QDir::cleanPath(dir);
    }

    // A registry object of its own on the same file, as another program would see it.
    std::unique_ptr<Registry> registry()
    {
        auto reg = Registry::forFile(mRegistryFile);
        reg->openKey(RegistryRoot::LocalMachine, kAliasesKey, false);
        return reg;
    }

    void registerAlias(TMain& main, const QString& directory, const QString& name)
    {
        main.changeDirectory(directory);
        main.utils().InsertBase->setText(name);
        main.utils().RegistryBase->click();
    }

    void select(TMain& main, const QString& alias)
    {
        const QList<QListWidgetItem*> items = main.utils().BaseList->findItems(alias, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << alias.toStdString();
        main.utils().BaseList->setCurrentItem(items[0]);
        main.utils().BaseListMouseUp();
    }

    QByteArray registryText() const
    {
        QFile file(mRegistryFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void setRegistryText(const QByteArray& text) const
    {
        QDir().mkpath(QFileInfo(mRegistryFile).absolutePath());
        QFile file(mRegistryFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QString mRegistryFile;
    QString mWithDictionary;
    QString mWithout;
};

} // namespace

TEST_F(Aliases, aDirectoryIsRegisteredOnlyWhileItHoldsAFileDdf)
{
    TMain main;
    main.changeDirectory(mWithout);
    EXPECT_FALSE(main.utils().RegistryBase->isEnabled());
    main.utils().InsertBase->setText("Empty");
    main.utils().RegistryBaseClick(); // even when called directly
    EXPECT_TRUE(registry()->keyNames().isEmpty()) << "no alias, not even one without a path";
    EXPECT_EQ(main.utils().InsertBase->text(), "Empty");

    main.changeDirectory(mWithDictionary);
    EXPECT_TRUE(main.utils().RegistryBase->isEnabled());
    main.utils().InsertBase->setText("Sales");
    main.utils().RegistryBase->click();
    EXPECT_EQ(listed(main.utils().BaseList), QStringList{"Sales"});
    EXPECT_TRUE(main.utils().InsertBase->text().isEmpty());
    auto reg = registry();
    EXPECT_EQ(reg->readString("Sales", "Description", ""), "Sales");
    EXPECT_EQ(reg->readString("Sales", "PhysicalName", ""), QDir::toNativeSeparators(mWithDictionary));
    EXPECT_TRUE(mMessages.empty());
}

TEST_F(Aliases, anEmptyOrSingleSpaceNameRegistersNothing)
{
    TMain main;
    for (const char* name : {"", " "}) {
        registerAlias(main, mWithDictionary, name);
        EXPECT_TRUE(listed(main.utils().BaseList).isEmpty()) << "'" << name << "'";
        EXPECT_TRUE(registry()->keyNames().isEmpty()) << "'" << name << "'";
    }
}

TEST_F(Aliases, registeringAnExistingNameOverwritesIt)
{
    const QString other = makeDir("other", true);
    TMain main;
    registerAlias(main, mWithDictionary, "Sales");
    registerAlias(main, other, "Archive");
    registerAlias(main, other, "Sales");
    EXPECT_EQ(listed(main.utils().BaseList), (QStringList{"Archive", "Sales"}));
    EXPECT_EQ(registry()->readString("Sales", "PhysicalName", ""), QDir::toNativeSeparators(other));
}

TEST_F(Aliases, unregistryRemovesTheAliasWithEverythingBelowIt)
{
    TMain main;
    registerAlias(main, mWithDictionary, "Sales");
    registerAlias(main, mWithDictionary, "Archive");
    ASSERT_TRUE(registry()->writeString("Sales\\Notes", "Text", "kept by another program"));

    select(main, "Sales");
    main.utils().UnregistryBase->click();
    EXPECT_EQ(listed(main.utils().BaseList), QStringList{"Archive"});
    EXPECT_EQ(registry()->keyNames(), QStringList{"Archive"});
    EXPECT_FALSE(registryText().contains("Notes"));
    EXPECT_FALSE(main.utils().UnregistryBase->isEnabled()) << "the refilled list has no selection";
    EXPECT_FALSE(main.utils().UseRegistryPath->isEnabled());
}

TEST_F(Aliases, goToPathSwitchesTheDirectoryList)
{
    TMain main;
    registerAlias(main, mWithDictionary, "Sales");
    main.changeDirectory(mWithout);
    select(main, "Sales");
    main.utils().UseRegistryPath->click();
    EXPECT_EQ(main.DirectoryListBox->directory(), mWithDictionary);
    EXPECT_EQ(QDir::cleanPath(QDir::currentPath()), mWithDictionary);
    EXPECT_TRUE(main.OpenFile->isEnabled()) << "the new directory's files are checked";
    EXPECT_TRUE(mMessages.empty());
}

TEST_F(Aliases, goToPathStaysPutWhenThePathWasRemovedByHand)
{
    TMain main;
    registerAlias(main, mWithDictionary, "Sales");
    main.changeDirectory(mWithout);
    setRegistryText(registryText().replace("\"PhysicalName\"=", "\"Removed\"="));
    select(main, "Sales");
    main.utils().UseRegistryPath->click();
    EXPECT_EQ(main.DirectoryListBox->directory(), mWithout);
    EXPECT_TRUE(mMessages.empty());
}

TEST_F(Aliases, aPathThatIsNotAStringIsReportedByTheDefaultHandler)
{
    TMain main;
    registerAlias(main, mWithDictionary, "Sales");
    main.changeDirectory(mWithout);
    QByteArray text = registryText();
    const qsizetype at = text.indexOf("\"PhysicalName\"=");
    ASSERT_GE(at, 0);
    setRegistryText(text.left(at) + "\"PhysicalName\"=dword:00000001" + text.mid(text.indexOf('\n', at)));

    select(main, "Sales");
    main.utils().UseRegistryPath->click();
    ASSERT_EQ(mMessages.size(), 1u);
    EXPECT_EQ(mMessages[0].first, QMessageBox::Critical);
    EXPECT_EQ(mMessages[0].second, "Invalid data type for 'PhysicalName'.");
    EXPECT_EQ(main.DirectoryListBox->directory(), mWithout);
}

TEST_F(Aliases, theButtonsFollowTheSelection)
{
    TMain main;
    EXPECT_FALSE(main.utils().UnregistryBase->isEnabled()) << "an empty list has nothing to act on";
    EXPECT_FALSE(main.utils().UseRegistryPath->isEnabled());
    registerAlias(main, mWithDictionary, "Sales");
    EXPECT_FALSE(main.utils().UnregistryBase->isEnabled());

    select(main, "Sales");
    EXPECT_TRUE(main.utils().UnregistryBase->isEnabled());
    EXPECT_TRUE(main.utils().UseRegistryPath->isEnabled());

    main.utils().BaseList->clearSelection();
    main.utils().BaseListKeyUp(Qt::Key_Space);
    EXPECT_FALSE(main.utils().UnregistryBase->isEnabled());
    EXPECT_FALSE(main.utils().UseRegistryPath->isEnabled());

    main.utils().UnregistryBaseClick(); // without a selection: nothing happens
    main.utils().UseRegistryPathClick();
    EXPECT_EQ(registry()->keyNames(), QStringList{"Sales"});
}

TEST_F(Aliases, aRegistryFileThatCannotBeUsedEmptiesTheListAndIsSaidOnceNamingTheFile)
{
    {
        TMain first;
        registerAlias(first, mWithDictionary, "Sales");
    }
    QFile::remove(mRegistryFile);
    QDir().mkpath(mRegistryFile); // a directory in the file's place: neither readable nor writable
    TMain main;
    EXPECT_TRUE(listed(main.utils().BaseList).isEmpty());
    registerAlias(main, mWithDictionary, "Archive");
    EXPECT_TRUE(listed(main.utils().BaseList).isEmpty());
    EXPECT_EQ(main.utils().InsertBase->text(), "Archive") << "a name that could not be registered stays";
    ASSERT_EQ(mMessages.size(), 1u) << "said once, not at every operation";
    EXPECT_TRUE(mMessages[0].second.contains(QDir::toNativeSeparators(mRegistryFile)));
}

TEST_F(Aliases, aListThatCanNoLongerBeReadIsEmptiedNotLeftStale)
{
    TMain main;
    registerAlias(main, mWithDictionary, "Sales");
    ASSERT_EQ(listed(main.utils().BaseList), QStringList{"Sales"});
    setRegistryText("not a registry file");
    select(main, "Sales");
    main.utils().UseRegistryPath->click();
    EXPECT_TRUE(listed(main.utils().BaseList).isEmpty());
    EXPECT_EQ(mMessages.size(), 1u);
    EXPECT_EQ(main.DirectoryListBox->directory(), mWithDictionary) << "the directory stays";
}

TEST_F(Aliases, aNameWithABackslashIsRefusedWithAWord)
{
    TMain main;
    registerAlias(main, mWithDictionary, "Sales\\2024");
    EXPECT_TRUE(listed(main.utils().BaseList).isEmpty());
    EXPECT_TRUE(registry()->keyNames().isEmpty()) << "no nested keys";
    EXPECT_EQ(mMessages.size(), 1u);
}

TEST_F(Aliases, aLaterRunSeesTheAliasesOfAnEarlierOne)
{
    {
        TMain first;
        registerAlias(first, mWithDictionary, "Sales");
        registerAlias(first, mWithDictionary, "Archive");
    }
    TMain second;
    EXPECT_EQ(listed(second.utils().BaseList), (QStringList{"Archive", "Sales"}));
    select(second, "Sales");
    second.utils().UseRegistryPath->click();
    EXPECT_EQ(second.DirectoryListBox->directory(), mWithDictionary);
}

TEST_F(Aliases, aNameEqualToAnotherButForLetterCaseAsksBeforeItReplacesIt)
{
    const QString other = makeDir("other", true);
    TMain main;
    registerAlias(main, mWithDictionary, "Orders DB");
    for (const bool replace : {false, true}) {
        mAskedQuestions.clear();
        TMain::QuestionHook = [&](const QString& text) {
            mAskedQuestions << text;
            return replace;
        };
        registerAlias(main, other, "ORDERS DB");
        ASSERT_EQ(mAskedQuestions.size(), 1);
        EXPECT_TRUE(mAskedQuestions[0].contains("\"Orders DB\"") &&
                    mAskedQuestions[0].contains("\"ORDERS DB\""))
            << mAskedQuestions[0].toStdString();
        const QString kept = replace ? "ORDERS DB" : "Orders DB";
        EXPECT_EQ(listed(main.utils().BaseList), QStringList{kept});
        EXPECT_EQ(registry()->keyNames(), QStringList{kept});
        EXPECT_EQ(QDir::fromNativeSeparators(registry()->readString(kept, "PhysicalName", {})),
                  replace ? other : mWithDictionary);
    }
    mAskedQuestions.clear();
    registerAlias(main, mWithDictionary, "ORDERS DB"); // the very same name: no question
    EXPECT_TRUE(mAskedQuestions.isEmpty());
}
