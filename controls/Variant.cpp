#include "Variant.h"

bool parseInteger(QStringView text, qint32* value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    const bool hex = i < n && text[i] == u'$';
    if (hex)
        ++i;
    if (i == n)
        return false;
    quint64 magnitude = 0;
    const quint64 limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit)
            return false;
    }
    const auto bits = static_cast<quint32>(magnitude);
    const quint32 result = negative ? 0u - bits : bits;
    if (value)
        *value = static_cast<qint32>(result);
    return true;
}

qint32 StrToInt(const QString& text)
{
    qint32 value = 0;
    if (!parseInteger(text, &value))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

QString Variant::toString() const
{
    if (const auto* number = std::get_if<qint32>(&mValue))
        return QString::number(*number);
    return std::get<QString>(mValue);
}

qint32 Variant::toInt() const
{
    if (const auto* number = std::get_if<qint32>(&mValue))
        return *number;
    qint32 value = 0;
    if (!parseInteger(std::get<QString>(mValue), &value))
        throw EConvertError(QStringLiteral("Invalid variant type conversion"));
    return value;
}
