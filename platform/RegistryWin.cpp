// The system registry of Windows behind Registry.
#ifdef _WIN32

#include "Registry.h"

#include <algorithm>
#include <string>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

// An open key handle, closed when it goes out of scope.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() { reset(); }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;

    HKEY get() const { return mKey; }
    HKEY* out()
    {
        reset();
        return &mKey;
    }
    void reset()
    {
        if (mKey)
            RegCloseKey(mKey);
        mKey = nullptr;
    }

private:
    HKEY mKey = nullptr;
};

// Access asked for on the open key: read and write values and subkeys, and delete subkeys.
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE | DELETE;

class SystemRegistry final : public Registry {
public:
    bool openKey(RegistryRoot root, const QString& path, bool canCreate) override
    {
        mKey.reset();
        HKEY hive = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        std::wstring name = wide(path);
        LONG status = canCreate ? RegCreateKeyExW(hive, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                  kAccess, nullptr, mKey.out(), nullptr)
                                : RegOpenKeyExW(hive, name.c_str(), 0, kAccess, mKey.out());
        if (status != ERROR_SUCCESS) {
            mKey.reset();
            return false;
        }
        return true;
    }

    void closeKey() override { mKey.reset(); }
    bool hasOpenKey() const override { return mKey.get() != nullptr; }

    QStringList keyNames() const override
    {
        QStringList names;
        if (!mKey.get())
            return names;
        DWORD count = 0;
        DWORD longest = 0;
        if (RegQueryInfoKeyW(mKey.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        std::vector<wchar_t> buffer(longest + 1);
        for (DWORD i = 0;; ++i) {
            DWORD length = DWORD(buffer.size());
            LONG status =
                RegEnumKeyExW(mKey.get(), i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA) {
                buffer.resize(buffer.size() * 2);
                --i;
                continue;
            }
            if (status != ERROR_SUCCESS)
                break;
            names.append(QString::fromWCharArray(buffer.data(), int(length)));
        }
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        return names;
    }

    bool createKey(const QString& key) override
    {
        KeyHandle sub;
        return create(key, sub);
    }

    bool writeString(const QString& key, const QString& name, const QString& value) override
    {
        KeyHandle sub;
        if (!create(key, sub))
            return false;
        std::wstring valueName = wide(name);
        std::wstring data = wide(value);
        DWORD bytes = DWORD((data.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(sub.get(), valueName.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
    }

    bool deleteKey(const QString& key) override
    {
        if (!mKey.get() || key.isEmpty())
            return false;
        std::wstring name = wide(key);
        return RegDeleteTreeW(mKey.get(), name.c_str()) == ERROR_SUCCESS;
    }

protected:
    std::optional<StoredValue> readValue(const QString& key, const QString& name) const override
    {
        if (!mKey.get())
            return std::nullopt;
        KeyHandle sub;
        std::wstring keyName = wide(key);
        if (RegOpenKeyExW(mKey.get(), keyName.c_str(), 0, KEY_QUERY_VALUE, sub.out()) != ERROR_SUCCESS)
            return std::nullopt;
        std::wstring valueName = wide(name);
        DWORD type = 0;
        DWORD size = 0;
        LONG status = RegQueryValueExW(sub.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return StoredValue{false, {}};
        std::vector<wchar_t> buffer;
        do {
            buffer.assign(size / sizeof(wchar_t) + 2, L'\0');
            size = DWORD((buffer.size() - 1) * sizeof(wchar_t));
            status = RegQueryValueExW(sub.get(), valueName.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer.data()), &size);
        } while (status == ERROR_MORE_DATA);
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return StoredValue{false, {}};
        // The stored text need not end with a null; the buffer holds one more in any case.
        return StoredValue{true, QString::fromWCharArray(buffer.data())};
    }

private:
    bool create(const QString& key, KeyHandle& sub) const
    {
        if (!mKey.get())
            return false;
        std::wstring name = wide(key);
        return RegCreateKeyExW(mKey.get(), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                               nullptr, sub.out(), nullptr) == ERROR_SUCCESS;
    }

    KeyHandle mKey;
};

} // namespace

std::unique_ptr<Registry> createSystemRegistry()
{
    return std::make_unique<SystemRegistry>();
}

} // namespace platform

#endif // _WIN32
