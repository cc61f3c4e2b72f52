#include "Variant.h"

bool parseInteger(QStringView text, qint32* value)
{
    const auto parsed = text::parseInteger(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())),
        text::IntegerSyntax::Runtime);
    if (parsed && value)
        *value = *parsed;
    return parsed.has_value();
}

qint32 StrToInt(const QString& text)
{
    qint32 value = 0;
    if (!parseInteger(text, &value))
        throw text::ConversionError(text::notAnIntegerMessage(text.toUtf8().toStdString()));
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
        throw text::ConversionError("Invalid variant type conversion");
    return value;
}
