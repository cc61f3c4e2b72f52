#pragma once
// The editor's one exception: a handler that cannot go on throws it with the message the user
// is shown, and TMain::guarded shows it as the application's default handler does. Layers below
// report by status or return value (docs/DEVELOPING.md, "Errors"); the page that meets such a
// report and cannot go on turns it into this.
#include <QString>

#include <stdexcept>

class EditorError : public std::runtime_error {
public:
    explicit EditorError(const QString& message) : std::runtime_error(message.toStdString()), mText(message)
    {
    }
    // The whole message, NUL characters included (what() ends at the first).
    const QString& text() const { return mText; }

private:
    QString mText;
};
