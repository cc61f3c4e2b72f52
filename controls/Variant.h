#pragma once
// The value the controls trade in: a string or a 32-bit integer, converted on demand with the
// runtime's rules. A conversion that fails throws text::ConversionError (its message UTF-8).
#include "Text.h"

#include <QString>
#include <QStringView>
#include <variant>

// The runtime's integer rule (text::IntegerSyntax::Runtime): optional leading blanks, an
// optional sign, then decimal digits or "$" and hexadecimal digits, nothing after them.
bool parseInteger(QStringView text, qint32* value);

// The runtime's integer parse: throws text::ConversionError "'<text>' is not a valid integer value".
qint32 StrToInt(const QString& text);

class Variant {
public:
    Variant() : mValue(QString()) {}
    Variant(const QString& text) : mValue(text) {}
    Variant(const char* text) : mValue(QString::fromUtf8(text)) {}
    Variant(qint32 value) : mValue(value) {}

    bool isInteger() const { return std::holds_alternative<qint32>(mValue); }

    // An integer gives its decimal digits.
    QString toString() const;
    // Text that is not an integer (parseInteger) throws text::ConversionError "Invalid variant type
    // conversion".
    qint32 toInt() const;

    bool operator==(const Variant& other) const { return mValue == other.mValue; }

private:
    std::variant<QString, qint32> mValue;
};
