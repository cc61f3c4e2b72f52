#pragma once
// Access to the system registry through one open key, with exactly the operations the editor
// needs: open (or create) a key by path under a root, list its subkeys, create a subkey, write
// and read string values of a subkey, delete a subkey with everything below it.
//
// On Windows this is the registry itself. Elsewhere, and on Windows too when the environment
// variable QUILLAN_REGISTRY_FILE names a file, the same tree lives in a registry file (see
// RegFile.h). Every operation on a registry file reads the file afresh, so changes made by hand
// or by another run are seen at once, and every change replaces the whole file in one step: a
// failed write leaves the former file as it was.
//
// Failures are quiet: a key that cannot be opened, created, written or deleted, or a registry
// file that cannot be read, understood or written, makes the operation return false or an
// empty result. The one error raised is a value of the wrong type (see readString).
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <stdexcept>

namespace platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

// Raised by Registry::readString; the message is the text shown to the user.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Registry {
public:
    // Environment variable naming the registry file to use instead of the default one (and
    // instead of the system registry on Windows).
    static constexpr const char* kFileVariable = "QUILLAN_REGISTRY_FILE";

    // The registry this process uses: the file named by QUILLAN_REGISTRY_FILE; else the system
    // registry on Windows; else defaultFilePath().
    static std::unique_ptr<Registry> create();
    // A registry kept in the given file, which need not exist yet.
    static std::unique_ptr<Registry> forFile(const QString& path);
    // "Quillan/registry.reg" in the user's configuration directory.
    static QString defaultFilePath();

    virtual ~Registry() = default;

    // Opens the key at a backslash-separated path under root, creating it (and the keys on the
    // way) when it is missing and canCreate is set. Closes the key open before. False when the
    // key is missing or cannot be created, or the registry cannot be read.
    virtual bool openKey(RegistryRoot root, const QString& path, bool canCreate) = 0;
    virtual void closeKey() = 0;
    virtual bool hasOpenKey() const = 0;

    // The names of the open key's subkeys, sorted by name without regard to letter case.
    // Empty without an open key or when the registry cannot be read.
    virtual QStringList keyNames() const = 0;

    // The operations below name a key relative to the open key; a name may be a
    // backslash-separated path, and an empty name means the open key itself.

    // Creates the key, or just succeeds when it exists.
    virtual bool createKey(const QString& key) = 0;
    // Writes a string value into the key, creating the key when it is missing. A value of that
    // name and any type is replaced.
    virtual bool writeString(const QString& key, const QString& name, const QString& value) = 0;
    // Deletes the key, its values and every key below it. An empty name is refused (false):
    // the open key is never emptied this way.
    virtual bool deleteKey(const QString& key) = 0;

    // Why the registry cannot be used at the moment, in a sentence naming its file (a registry
    // file that exists but cannot be read or understood); empty when it can be used.
    virtual QString problem() const { return {}; }

    // The string value `name` of the key, or defaultValue when the key or the value is missing
    // or the registry cannot be read. Throws RegistryError "Invalid data type for 'name'" when
    // the value exists but is not a string.
    QString readString(const QString& key, const QString& name, const QString& defaultValue) const;

protected:
    struct StoredValue {
        bool isString = false;
        QString text;
    };
    // The value `name` of the key, or nothing when the key or value is missing or unreadable.
    virtual std::optional<StoredValue> readValue(const QString& key, const QString& name) const = 0;
};

} // namespace platform
