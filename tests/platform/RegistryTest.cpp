#include "Registry.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#ifdef __linux__
#include <csignal>
#include <sys/resource.h>
#endif

using platform::Registry;
using platform::RegistryError;
using platform::RegistryRoot;

namespace {

const QString kAliasesKey = QStringLiteral("SOFTWARE\\Orvane\\Btrieve\\Aliases");
const QByteArray kHeader = "Windows Registry Editor Version 5.00\n\n";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class RegistryFile : public testing::Test {
protected:
    QString path() const { return QString::fromStdString(mDir.file("registry.reg")); }

    std::unique_ptr<Registry> openAliases(bool canCreate = true)
    {
        auto registry = Registry::forFile(path());
        EXPECT_TRUE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, canCreate));
        return registry;
    }

    testsupport::TempDir mDir;
};

} // namespace

TEST_F(RegistryFile, openingCreatesTheKeyOnlyWhenAskedTo)
{
    auto registry = Registry::forFile(path());
    EXPECT_FALSE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, false));
    EXPECT_FALSE(registry->hasOpenKey());
    EXPECT_FALSE(QFile::exists(path())) << "a failed open writes nothing";

    EXPECT_TRUE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, true));
    EXPECT_TRUE(registry->hasOpenKey());
    EXPECT_TRUE(readAll(path()).contains("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Btrieve\\Aliases]\n"));
    EXPECT_TRUE(registry->keyNames().isEmpty());

    auto other = Registry::forFile(path());
    EXPECT_TRUE(other->openKey(RegistryRoot::LocalMachine, "software\\ORVANE\\btrieve\\aliases", false))
        << "key paths match without regard to case";
    EXPECT_FALSE(other->openKey(RegistryRoot::CurrentUser, kAliasesKey, false)) << "roots are separate trees";
}

TEST_F(RegistryFile, theConfigurationDirectoryIsCreatedForANewFile)
{
    QString nested = QString::fromStdString(mDir.file("config/Quillan/registry.reg"));
    auto registry = Registry::forFile(nested);
    EXPECT_TRUE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, true));
    EXPECT_TRUE(QFile::exists(nested));
}

TEST_F(RegistryFile, subkeysAreListedSortedAndCreatedOnce)
{
    auto registry = openAliases();
    for (const char* name : {"sales", "Archive", "Zeta", "SALES", "a b "})
        EXPECT_TRUE(registry->createKey(name)) << name;
    EXPECT_EQ(registry->keyNames(), (QStringList{"a b ", "Archive", "sales", "Zeta"}));
}

TEST_F(RegistryFile, writingAStringCreatesItsKeyAndOverwritesTheValue)
{
    auto registry = openAliases();
    EXPECT_TRUE(registry->writeString("Sales", "PhysicalName", "/data/one"));
    EXPECT_EQ(registry->keyNames(), QStringList{"Sales"});
    EXPECT_EQ(registry->readString("Sales", "PhysicalName", "none"), "/data/one");

    EXPECT_TRUE(registry->writeString("sales", "physicalname", "/data/two"));
    EXPECT_EQ(registry->readString("SALES", "PhysicalName", "none"), "/data/two");
    EXPECT_EQ(registry->keyNames(), QStringList{"Sales"});
}

TEST_F(RegistryFile, readingAMissingKeyOrValueGivesTheDefault)
{
    auto registry = openAliases();
    ASSERT_TRUE(registry->writeString("Sales", "Description", "Sales"));
    EXPECT_EQ(registry->readString("Sales", "PhysicalName", "/here"), "/here");
    EXPECT_EQ(registry->readString("Nowhere", "PhysicalName", "/here"), "/here");
    EXPECT_EQ(registry->readString("a\\\\b", "PhysicalName", "/here"), "/here");
}

TEST_F(RegistryFile, deletingAKeyTakesEverythingBelowItAndNothingElse)
{
    auto registry = openAliases();
    ASSERT_TRUE(registry->writeString("Sales", "PhysicalName", "/s"));
    ASSERT_TRUE(registry->writeString("Sales\\Inner\\Deep", "X", "1"));
    ASSERT_TRUE(registry->writeString("Salesman", "PhysicalName", "/m"));

    EXPECT_TRUE(registry->deleteKey("SALES"));
    EXPECT_EQ(registry->keyNames(), QStringList{"Salesman"});
    EXPECT_FALSE(readAll(path()).contains("Inner"));
    EXPECT_EQ(registry->readString("Salesman", "PhysicalName", ""), "/m");

    ASSERT_TRUE(registry->createKey("Sales"));
    EXPECT_EQ(registry->readString("Sales\\Inner\\Deep", "X", "gone"), "gone")
        << "a re-created key starts empty";

    EXPECT_FALSE(registry->deleteKey("Missing"));
    EXPECT_FALSE(registry->deleteKey("")) << "the open key itself is never emptied";
    EXPECT_EQ(registry->keyNames(), (QStringList{"Sales", "Salesman"}));
}

TEST_F(RegistryFile, aValueThatIsNotAStringIsReportedByName)
{
    auto registry = openAliases();
    writeAll(path(), kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Btrieve\\Aliases\\Sales]\n"
                               "\"PhysicalName\"=dword:00000001\n"
                               "\"Description\"=hex:41,00\n"
                               "\"Home\"=hex(2):2f,00,68,00,00,00\n");
    try {
        registry->readString("Sales", "PhysicalName", "");
        FAIL() << "no error raised";
    } catch (const RegistryError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'PhysicalName'");
    }
    EXPECT_THROW(registry->readString("Sales", "Description", ""), RegistryError);
    EXPECT_EQ(registry->readString("Sales", "Home", ""), "/h") << "an expandable string is a string";

    EXPECT_TRUE(registry->writeString("Sales", "PhysicalName", "/s"))
        << "writing replaces a value of any type";
    EXPECT_EQ(registry->readString("Sales", "PhysicalName", ""), "/s");
}

TEST_F(RegistryFile, changesByHandOrByAnotherRunAreSeenAtOnce)
{
    auto first = openAliases();
    auto second = openAliases();
    ASSERT_TRUE(first->writeString("Sales", "PhysicalName", "/s"));
    EXPECT_EQ(second->keyNames(), QStringList{"Sales"});
    ASSERT_TRUE(second->writeString("Archive", "PhysicalName", "/a"));
    EXPECT_EQ(first->keyNames(), (QStringList{"Archive", "Sales"})) << "neither write undoes the other";

    QByteArray text = readAll(path());
    text.replace("\"PhysicalName\"=\"/s\"\n", "");
    writeAll(path(), text);
    EXPECT_EQ(first->readString("Sales", "PhysicalName", "default"), "default");
}

TEST_F(RegistryFile, aNameWithALineBreakIsRefusedAndTheFileStaysReadable)
{
    auto registry = openAliases();
    ASSERT_TRUE(registry->writeString("Sales", "PhysicalName", "/s"));
    EXPECT_FALSE(registry->createKey("two\nlines"));
    EXPECT_FALSE(registry->writeString("two\rlines", "PhysicalName", "/t"));
    EXPECT_FALSE(registry->writeString("Sales", "Physical\nName", "/t"));
    EXPECT_TRUE(registry->writeString("Sales", "Notes", "two\nlines")) << "a value's text may hold one";
    EXPECT_EQ(registry->keyNames(), QStringList{"Sales"});
    EXPECT_EQ(registry->readString("Sales", "Notes", ""), "two\nlines");
}

TEST_F(RegistryFile, operationsNeedAnOpenKey)
{
    auto registry = openAliases();
    ASSERT_TRUE(registry->createKey("Sales"));
    registry->closeKey();
    EXPECT_TRUE(registry->keyNames().isEmpty());
    EXPECT_FALSE(registry->createKey("Other"));
    EXPECT_FALSE(registry->writeString("Other", "V", "x"));
    EXPECT_FALSE(registry->deleteKey("Sales"));
    EXPECT_EQ(registry->readString("Sales", "V", "d"), "d");
}

TEST_F(RegistryFile, anOpenKeyDeletedElsewhereFailsQuietly)
{
    auto registry = openAliases();
    writeAll(path(), kHeader);
    EXPECT_TRUE(registry->keyNames().isEmpty());
    EXPECT_FALSE(registry->writeString("Sales", "PhysicalName", "/s")) << "the open key is not brought back";
    EXPECT_EQ(readAll(path()), kHeader);
}

TEST_F(RegistryFile, aFileThatCannotBeUnderstoodIsLeftAlone)
{
    const QByteArray damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\n";
    writeAll(path(), damaged);
    auto registry = Registry::forFile(path());
    EXPECT_FALSE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, true));
    EXPECT_TRUE(registry->keyNames().isEmpty());
    EXPECT_EQ(readAll(path()), damaged) << "a damaged file is never replaced by an empty registry";
}

TEST_F(RegistryFile, aFileThatCannotBeReadOrWrittenFailsQuietly)
{
    // A directory in the file's place can be neither read nor replaced.
    ASSERT_TRUE(QDir().mkpath(path()));
    auto registry = Registry::forFile(path());
    EXPECT_FALSE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, true));
    EXPECT_TRUE(registry->keyNames().isEmpty());

    // A regular file in the place of the file's directory.
    QString blocked = QString::fromStdString(mDir.file("plain/registry.reg"));
    writeAll(QString::fromStdString(mDir.file("plain")), "x");
    auto other = Registry::forFile(blocked);
    EXPECT_FALSE(other->openKey(RegistryRoot::LocalMachine, kAliasesKey, true));
    EXPECT_FALSE(other->hasOpenKey());
}

#ifdef __linux__
// Writes fail part-way once the process may not grow a file beyond a few hundred bytes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &mOld);
        mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = mOld;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mOldHandler);
    }

private:
    rlimit mOld{};
    void (*mOldHandler)(int);
};

TEST_F(RegistryFile, aFailedWriteLeavesTheFormerFile)
{
    auto registry = openAliases();
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(
            registry->writeString(QStringLiteral("Alias%1").arg(i), "PhysicalName", "/some/long/path/name"));
    const QByteArray before = readAll(path());
    ASSERT_GT(before.size(), 1500);
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(registry->writeString("Another", "PhysicalName", "/p"));
        EXPECT_FALSE(registry->deleteKey("Alias3"));
    }
    EXPECT_EQ(readAll(path()), before);
    EXPECT_EQ(QDir(QString::fromStdString(mDir.path().string())).entryList(QDir::Files),
              QStringList{"registry.reg"})
        << "no temporary or lock file is left behind";
    EXPECT_EQ(registry->keyNames().size(), 20);
    EXPECT_TRUE(registry->createKey("Alias3")) << "opening an existing key needs no write";
}
#endif

TEST(Registry, theEnvironmentVariableChoosesTheFile)
{
    testsupport::TempDir dir;
    QString file = QString::fromStdString(dir.file("chosen.reg"));
    qputenv(Registry::kFileVariable, file.toUtf8());
    auto registry = Registry::create();
    qunsetenv(Registry::kFileVariable);
    ASSERT_TRUE(registry->openKey(RegistryRoot::LocalMachine, kAliasesKey, true));
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_TRUE(Registry::defaultFilePath().endsWith("/Quillan/registry.reg"));
}
