#pragma once
// The value the controls trade in: a string or a 32-bit integer, converted on demand with the
// runtime's rules, and the conversion error those rules raise.
#include <QString>
#include <QStringView>
#include <stdexcept>
#include <variant>

// A conversion that failed; what() is the runtime's message text (UTF-8).
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& message) : std::runtime_error(message.toStdString()), mText(message) {}
    // The whole message, NUL characters included (what() ends at the first).
    const QString& text() const { return mText; }

private:
    QString mText;
};

// The one rule for what an integer text is: optional leading blanks, an optional sign, then
// either decimal digits or "$" followed by hexadecimal digits, and nothing after the digits
// (trailing blanks included). Decimal values must lie in the signed 32-bit range; hexadecimal
// ones may use all 32 bits ("$FFFFFFFF" is -1) and are negated by a leading "-".
bool parseInteger(QStringView text, qint32* value);

// The runtime's integer parse: throws EConvertError "'<text>' is not a valid integer value".
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
    // Text that is not an integer (parseInteger) throws EConvertError "Invalid variant type conversion".
    qint32 toInt() const;

    bool operator==(const Variant& other) const { return mValue == other.mValue; }

private:
    std::variant<QString, qint32> mValue;
};
