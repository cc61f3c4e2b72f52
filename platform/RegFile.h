#pragma once
// The registry file: the same tree the Windows registry holds, kept as text in the registry
// editor's export format so that it can be read, edited by hand, and imported on Windows:
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Btrieve\Aliases\Sales]
//     "Description"="Sales"
//     "PhysicalName"="/data/sales"
//     "Build"=dword:00000007
//
// Key and value names match without regard to letter case, as the registry's do, and keep the
// case they were created with. Subkeys are kept sorted by name, ignoring case, which is also the
// order the registry enumerates them in.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

namespace platform::regfile {

// Registry value types, as the registry numbers them.
enum : quint32 {
    kTypeString = 1,       // REG_SZ
    kTypeExpandString = 2, // REG_EXPAND_SZ
    kTypeBinary = 3,       // REG_BINARY
    kTypeDword = 4,        // REG_DWORD, little-endian
};

// One named value. String types (1 and 2) keep their text in `text`; every other type keeps its
// raw bytes in `data`.
struct Value {
    QString name; // empty for the key's default value ("@")
    quint32 type = kTypeString;
    QString text;
    QByteArray data;

    bool isString() const { return type == kTypeString || type == kTypeExpandString; }
};

struct Key {
    QString name;
    std::vector<Value> values;
    std::vector<Key> subkeys; // sorted by name, ignoring case

    Key* subkey(QStringView name);
    const Key* subkey(QStringView name) const;
    // The subkey of that name, created in its sorted place when missing.
    Key& addSubkey(const QString& name);
    bool removeSubkey(QStringView name);

    Value* value(QStringView name);
    const Value* value(QStringView name) const;
    // Sets a string value, keeping the letter case of an existing value's name.
    void setString(const QString& name, const QString& text);

    // Walks a path of names below this key. Returns nullptr when a key on the way is missing.
    Key* find(const QStringList& path);
    const Key* find(const QStringList& path) const;
    // Walks a path, creating the keys that are missing. `created` is set when any was.
    Key& findOrCreate(const QStringList& path, bool* created = nullptr);
};

// Splits a backslash-separated key path. Returns nothing for a path with an empty component
// ("a\\\\b", "\\a", "a\\") or a line break, which no section line of the file can hold; an
// empty path gives an empty list.
std::optional<QStringList> splitPath(const QString& path);

// Reads a whole registry file. The returned key is an unnamed top holding one subkey per hive
// ("HKEY_LOCAL_MACHINE", ...). Returns nothing when the text is not a registry file or any line
// of it cannot be understood, so that a damaged file is never taken for an empty one.
std::optional<Key> parse(const QByteArray& bytes);

// Writes the tree below an unnamed top, every key as a section of its own, in UTF-8.
QByteArray format(const Key& top);

} // namespace platform::regfile
