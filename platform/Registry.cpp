#include "Registry.h"
#include "RegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace platform {

#ifdef _WIN32
std::unique_ptr<Registry> createSystemRegistry(); // RegistryWin.cpp
#endif

namespace {

using regfile::Key;

// How long a change waits for another process that is changing the same registry file.
constexpr int kLockWaitMs = 2000;

QString hiveOf(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                              : QStringLiteral("HKEY_CURRENT_USER");
}

// A registry kept in a file in the registry editor's export format. Holds only the file's path
// and the path of the open key; the tree is read from the file by every operation.
class FileRegistry final : public Registry {
public:
    explicit FileRegistry(QString path) : mPath(std::move(path)) {}

    bool openKey(RegistryRoot root, const QString& path, bool canCreate) override
    {
        mOpenKey.reset();
        std::optional<QStringList> parts = regfile::splitPath(path);
        if (!parts)
            return false;
        parts->prepend(hiveOf(root));
        std::optional<Key> tree = load();
        if (!tree)
            return false;
        if (!tree->find(*parts)) {
            if (!canCreate)
                return false;
            bool ok = change([&](Key& top) {
                bool created = false;
                top.findOrCreate(*parts, &created);
                return created ? Outcome::Changed : Outcome::Unchanged;
            });
            if (!ok)
                return false;
        }
        mOpenKey = *parts;
        return true;
    }

    void closeKey() override { mOpenKey.reset(); }
    bool hasOpenKey() const override { return mOpenKey.has_value(); }

    QString problem() const override
    {
        if (load())
            return {};
        return QStringLiteral("The alias registry file %1 cannot be read or is not a registry file; "
                              "the Register List stays empty and no alias can be registered until it is "
                              "mended or removed.")
            .arg(QDir::toNativeSeparators(mPath));
    }

    QStringList keyNames() const override
    {
        QStringList names;
        std::optional<Key> tree = mOpenKey ? load() : std::nullopt;
        if (const Key* key = tree ? tree->find(*mOpenKey) : nullptr)
            for (const Key& sub : key->subkeys)
                names.append(sub.name);
        return names;
    }

    bool createKey(const QString& key) override
    {
        return changeBelowOpenKey(key, [](Key& open, const QStringList& rel) {
            bool created = false;
            open.findOrCreate(rel, &created);
            return created ? Outcome::Changed : Outcome::Unchanged;
        });
    }

    bool writeString(const QString& key, const QString& name, const QString& value) override
    {
        if (name.contains(u'\n') || name.contains(u'\r'))
            return false; // no value line of the file can hold the name
        return changeBelowOpenKey(key, [&](Key& open, const QStringList& rel) {
            open.findOrCreate(rel).setString(name, value);
            return Outcome::Changed;
        });
    }

    bool deleteKey(const QString& key) override
    {
        if (key.isEmpty())
            return false;
        return changeBelowOpenKey(key, [](Key& open, const QStringList& rel) {
            Key* parent = open.find(rel.mid(0, rel.size() - 1));
            return parent && parent->removeSubkey(rel.back()) ? Outcome::Changed : Outcome::Failed;
        });
    }

protected:
    std::optional<StoredValue> readValue(const QString& key, const QString& name) const override
    {
        std::optional<QStringList> rel = regfile::splitPath(key);
        if (!mOpenKey || !rel)
            return std::nullopt;
        std::optional<Key> tree = load();
        const Key* sub = tree ? tree->find(*mOpenKey + *rel) : nullptr;
        const regfile::Value* value = sub ? sub->value(name) : nullptr;
        if (!value)
            return std::nullopt;
        return StoredValue{value->isString(), value->text};
    }

private:
    enum class Outcome { Failed, Unchanged, Changed };

    // The whole tree; an empty one when the file does not exist yet. Nothing when the file
    // exists but cannot be read or understood.
    std::optional<Key> load() const
    {
        QFileInfo info(mPath);
        if (!info.exists())
            return Key{};
        QFile file(mPath);
        if (!info.isFile() || !file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        return regfile::parse(bytes);
    }

    // Replaces the file with the tree: the new text goes to a temporary file that then takes
    // the file's place, so the file is either the old one or the new one, never a mixture.
    bool save(const Key& tree) const
    {
        QSaveFile file(mPath);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QByteArray bytes = regfile::format(tree);
        // commit() would replace the file even after a failed flush, so flush first.
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }

    // Reads the file, applies the change and writes the file back when the change says it
    // changed anything. Holds a lock file meanwhile, so that two processes changing the
    // registry at once do not undo each other's change.
    template <typename Change> bool change(Change&& apply)
    {
        QDir().mkpath(QFileInfo(mPath).absolutePath());
        QLockFile lock(mPath + QStringLiteral(".lock"));
        bool locked = lock.tryLock(kLockWaitMs);
        std::optional<Key> tree = load();
        if (!tree)
            return false;
        switch (apply(*tree)) {
        case Outcome::Failed:
            return false;
        case Outcome::Unchanged:
            return true;
        case Outcome::Changed:
            return locked && save(*tree);
        }
        return false;
    }

    template <typename Change> bool changeBelowOpenKey(const QString& key, Change&& apply)
    {
        std::optional<QStringList> rel = regfile::splitPath(key);
        if (!mOpenKey || !rel)
            return false;
        return change([&](Key& top) {
            Key* open = top.find(*mOpenKey);
            return open ? apply(*open, *rel) : Outcome::Failed;
        });
    }

    QString mPath;
    std::optional<QStringList> mOpenKey; // hive first
};

} // namespace

std::unique_ptr<Registry> Registry::create()
{
    QString file = qEnvironmentVariable(kFileVariable);
    if (!file.isEmpty())
        return forFile(file);
#ifdef _WIN32
    return createSystemRegistry();
#else
    return forFile(defaultFilePath());
#endif
}

std::unique_ptr<Registry> Registry::forFile(const QString& path)
{
    return std::make_unique<FileRegistry>(path);
}

QString Registry::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quillan/registry.reg");
}

QString Registry::readString(const QString& key, const QString& name, const QString& defaultValue) const
{
    std::optional<StoredValue> value = readValue(key, name);
    if (!value)
        return defaultValue;
    if (!value->isString)
        throw RegistryError(QStringLiteral("Invalid data type for '%1'").arg(name).toStdString());
    return value->text;
}

} // namespace platform
