#include "RegFile.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace platform::regfile {

namespace {

const QString kHeader5 = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kHeader4 = QStringLiteral("REGEDIT4");

const char* const kHives[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS",
                              "HKEY_CURRENT_CONFIG"};

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
bool nameBefore(const Key& k, QStringView name)
{
    return k.name.compare(name, Qt::CaseInsensitive) < 0;
}

// The canonical spelling of a hive name, or an empty string when the name is none.
QString hiveName(QStringView name)
{
    for (const char* hive : kHives)
        if (name.compare(QLatin1String(hive), Qt::CaseInsensitive) == 0)
            return QLatin1String(hive);
    return {};
}

QByteArray utf16Bytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    bytes.append('\0').append('\0');
    return bytes;
}

QString textFromUtf16(const QByteArray& bytes)
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(char16_t(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8))));
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

std::optional<QString> decodeText(const QByteArray& bytes)
{
    QByteArray body = bytes;
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    if (body.startsWith("\xff\xfe")) {
        encoding = QStringConverter::Utf16LE;
        body.remove(0, 2);
    } else if (body.startsWith("\xfe\xff")) {
        encoding = QStringConverter::Utf16BE;
        body.remove(0, 2);
    } else if (body.startsWith("\xef\xbb\xbf")) {
        body.remove(0, 3);
    }
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Reads a quoted name or string starting at `pos` (on the opening quote). Only \\ and \" are
// escapes; any other backslash stays as written. Leaves `pos` after the closing quote.
std::optional<QString> readQuoted(const QString& line, qsizetype& pos)
{
    if (pos >= line.size() || line[pos] != u'"')
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\' && pos + 1 < line.size() && (line[pos + 1] == u'\\' || line[pos + 1] == u'"'))
            c = line[++pos];
        out.append(c);
    }
    return std::nullopt;
}

void skipBlanks(const QString& line, qsizetype& pos)
{
    while (pos < line.size() && line[pos].isSpace())
        ++pos;
}

std::optional<QByteArray> readHexList(QStringView list)
{
    QByteArray bytes;
    for (QStringView item : list.split(u',')) {
        item = item.trimmed();
        if (item.isEmpty() && list.trimmed().isEmpty())
            break;
        bool ok = false;
        uint byte = item.toUInt(&ok, 16);
        if (!ok || item.size() > 2)
            return std::nullopt;
        bytes.append(char(byte));
    }
    return bytes;
}

// Reads the data after '=': "text", dword:n, hex:.., hex(t):... Returns nothing on a malformed
// value; `remove` is set for "-", the deletion mark.
std::optional<Value> readData(const QString& line, qsizetype pos, bool& remove)
{
    Value value;
    remove = false;
    QStringView rest = QStringView(line).mid(pos).trimmed();
    if (rest == u"-") {
        remove = true;
        return value;
    }
    if (rest.startsWith(u'"')) {
        qsizetype at = pos;
        skipBlanks(line, at);
        std::optional<QString> text = readQuoted(line, at);
        if (!text || !QStringView(line).mid(at).trimmed().isEmpty())
            return std::nullopt;
        value.text = *text;
        return value;
    }
    if (rest.startsWith(u"dword:", Qt::CaseInsensitive)) {
        QStringView digits = rest.mid(6);
        bool ok = false;
        uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        value.type = kTypeDword;
        for (int i = 0; i < 4; ++i)
            value.data.append(char((number >> (8 * i)) & 0xff));
        return value;
    }
    if (rest.startsWith(u"hex", Qt::CaseInsensitive)) {
        QStringView spec = rest.mid(3);
        value.type = kTypeBinary;
        if (spec.startsWith(u'(')) {
            qsizetype close = spec.indexOf(u')');
            bool ok = false;
            if (close < 2)
                return std::nullopt;
            value.type = spec.mid(1, close - 1).toUInt(&ok, 16);
            if (!ok)
                return std::nullopt;
            spec = spec.mid(close + 1);
        }
        if (!spec.startsWith(u':'))
            return std::nullopt;
        std::optional<QByteArray> bytes = readHexList(spec.mid(1));
        if (!bytes)
            return std::nullopt;
        if (value.isString())
            value.text = textFromUtf16(*bytes);
        else
            value.data = *bytes;
        return value;
    }
    return std::nullopt;
}

void setValue(Key& key, Value value)
{
    if (Value* old = key.value(value.name)) {
        value.name = old->name;
        *old = std::move(value);
    } else {
        key.values.push_back(std::move(value));
    }
}

void removeValue(Key& key, QStringView name)
{
    std::erase_if(key.values, [&](const Value& v) { return sameName(v.name, name); });
}

// Joins physical lines into logical ones: a line ending in a backslash continues on the next.
QStringList logicalLines(const QString& text)
{
    QStringList lines;
    QString pending;
    bool continuing = false;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (continuing) {
            pending += line.trimmed();
        } else {
            if (line.trimmed().startsWith(u';')) {
                continue;
            }
            pending = line;
        }
        QString right = pending;
        while (!right.isEmpty() && right.back().isSpace())
            right.chop(1);
        continuing = right.endsWith(u'\\') && !right.trimmed().startsWith(u'[');
        if (continuing) {
            pending = right.chopped(1);
            continue;
        }
        lines.append(pending);
    }
    if (continuing)
        lines.append(pending);
    return lines;
}

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\\' || c == u'"')
            out.append(u'\\');
        out.append(c);
    }
    out.append(u'"');
    return out;
}

QString hexList(const QByteArray& bytes)
{
    QStringList items;
    for (char b : bytes)
        items.append(QStringLiteral("%1").arg(uint(uchar(b)), 2, 16, QLatin1Char('0')));
    return items.join(u',');
}

bool printable(const QString& text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; });
}

QString formatValue(const Value& v)
{
    QString line = v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name);
    line.append(u'=');
    if (v.type == kTypeString && printable(v.text))
        line.append(quoted(v.text));
    else if (v.type == kTypeDword && v.data.size() == 4)
        line.append(QStringLiteral("dword:%1")
                        .arg(uint(uchar(v.data[0]) | uchar(v.data[1]) << 8 | uchar(v.data[2]) << 16 |
                                  uint(uchar(v.data[3])) << 24),
                             8, 16, QLatin1Char('0')));
    else if (v.type == kTypeBinary)
        line.append(QStringLiteral("hex:") + hexList(v.data));
    else
        line.append(QStringLiteral("hex(%1):").arg(v.type, 0, 16) +
                    hexList(v.isString() ? utf16Bytes(v.text) : v.data));
    return line;
}

void formatKey(const Key& key, const QString& path, QString& out)
{
    out += QStringLiteral("[%1]\n").arg(path);
    for (const Value& v : key.values)
        out += formatValue(v) + u'\n';
    out += u'\n';
    for (const Key& sub : key.subkeys)
        formatKey(sub, path + u'\\' + sub.name, out);
}

} // namespace

Key* Key::subkey(QStringView name)
{
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, nameBefore);
    return it != subkeys.end() && sameName(it->name, name) ? &*it : nullptr;
}

const Key* Key::subkey(QStringView name) const
{
    return const_cast<Key*>(this)->subkey(name);
}

Key& Key::addSubkey(const QString& name)
{
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, nameBefore);
    if (it != subkeys.end() && sameName(it->name, name))
        return *it;
    Key key;
    key.name = name;
    return *subkeys.insert(it, std::move(key));
}

bool Key::removeSubkey(QStringView name)
{
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, nameBefore);
    if (it == subkeys.end() || !sameName(it->name, name))
        return false;
    subkeys.erase(it);
    return true;
}

Value* Key::value(QStringView name)
{
    auto it =
        std::find_if(values.begin(), values.end(), [&](const Value& v) { return sameName(v.name, name); });
    return it != values.end() ? &*it : nullptr;
}

const Value* Key::value(QStringView name) const
{
    return const_cast<Key*>(this)->value(name);
}

void Key::setString(const QString& name, const QString& text)
{
    Value v;
    v.name = name;
    v.type = kTypeString;
    v.text = text;
    setValue(*this, std::move(v));
}

Key* Key::find(const QStringList& path)
{
    Key* key = this;
    for (const QString& name : path)
        if (!(key = key->subkey(name)))
            return nullptr;
    return key;
}

const Key* Key::find(const QStringList& path) const
{
    return const_cast<Key*>(this)->find(path);
}

Key& Key::findOrCreate(const QStringList& path, bool* created)
{
    Key* key = this;
    for (const QString& name : path) {
        Key* next = key->subkey(name);
        if (!next) {
            next = &key->addSubkey(name);
            if (created)
                *created = true;
        }
        key = next;
    }
    return *key;
}

std::optional<QStringList> splitPath(const QString& path)
{
    if (path.isEmpty())
        return QStringList{};
    QStringList parts = path.split(u'\\');
    if (parts.contains(QString()) || path.contains(u'\n') || path.contains(u'\r'))
        return std::nullopt;
    return parts;
}

std::optional<Key> parse(const QByteArray& bytes)
{
    std::optional<QString> text = decodeText(bytes);
    if (!text)
        return std::nullopt;
    Key top;
    if (text->trimmed().isEmpty())
        return top;

    bool headerSeen = false;
    Key* current = nullptr; // nullptr after a deleted key's section: its values are dropped
    bool inSection = false;
    for (const QString& raw : logicalLines(*text)) {
        QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!headerSeen) {
            if (line != kHeader5 && line != kHeader4)
                return std::nullopt;
            headerSeen = true;
            continue;
        }
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return std::nullopt;
            bool remove = line.startsWith(u"[-");
            std::optional<QStringList> path = splitPath(line.mid(remove ? 2 : 1).chopped(1));
            if (!path || path->isEmpty())
                return std::nullopt;
            QString hive = hiveName(path->front());
            if (hive.isEmpty())
                return std::nullopt;
            (*path)[0] = hive;
            inSection = true;
            if (remove) {
                Key* parent = top.find(path->mid(0, path->size() - 1));
                if (parent)
                    parent->removeSubkey(path->back());
                current = nullptr;
            } else {
                current = &top.findOrCreate(*path);
            }
            continue;
        }
        if (!inSection)
            return std::nullopt;
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else {
            std::optional<QString> quotedName = readQuoted(line, pos);
            if (!quotedName)
                return std::nullopt;
            name = *quotedName;
        }
        skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != u'=')
            return std::nullopt;
        bool remove = false;
        std::optional<Value> value = readData(line, pos + 1, remove);
        if (!value)
            return std::nullopt;
        if (!current)
            continue;
        if (remove) {
            removeValue(*current, name);
        } else {
            value->name = name;
            setValue(*current, std::move(*value));
        }
    }
    if (!headerSeen)
        return std::nullopt;
    return top;
}

QByteArray format(const Key& top)
{
    QString out = kHeader5 + QStringLiteral("\n\n");
    for (const Key& hive : top.subkeys)
        formatKey(hive, hive.name, out);
    return out.toUtf8();
}

} // namespace platform::regfile
