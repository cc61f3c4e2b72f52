#pragma once
// What the page files use to lay out their controls and connect them to TMain's handlers. Every
// control gets its member's name as objectName; every signal reaches its handler through
// TMain::guarded. It knows TMain by name only (DDFUnit.h stands above it, not below).
#include "AddComp.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <array>
#include <span>
#include <string_view>
#include <type_traits>

namespace layout {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Creates a control, stores it in `member` and gives it the member's name as objectName.
#define MAKE(member, ...) (member = layout::named(__VA_ARGS__, #member))

template <std::size_t N> QStringList names(const std::array<std::string_view, N>& list)
{
    QStringList out;
    for (std::string_view name : list)
        out << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return out;
}

QLabel* placeLabel(QLabel* label, int x, int y, bool bold = false);
// A filter's caption, with a word when the text typed names no table (every row is then shown).
void showFilterCaption(QLabel* label, const QString& caption, bool namesNoTable);

template <class W> W* place(W* widget, int x, int y, int w, int h)
{
    widget->setGeometry(x, y, w, h);
    return widget;
}

QComboBox* comboBox(QWidget* parent, bool editable);
// The tick box of flag bit `shift`, captioned from the record manager's list of captions
// (btr::kFileFlagCaptions, btr::kKeyFlagCaptions).
TVarCheckBox* flagBox(QWidget* parent, std::span<const std::string_view> captions, int shift);

} // namespace layout

class TMain;

// Connects controls' signals to TMain's handlers, each as one user action (TMain::runAction).
class HandlerWiring {
public:
    explicit HandlerWiring(TMain* window) : w(window) {}

    void click(QAbstractButton* button, void (TMain::*handler)());
    template <class Sender> void keyUp(Sender* sender, void (TMain::*handler)(int))
    {
        TMain* window = w;
        QObject::connect(sender, &Sender::keyUp, context(),
                         [window, handler](int key) { run(window, handler, key); });
    }
    template <class Sender> void mouseUp(Sender* sender, void (TMain::*handler)())
    {
        TMain* window = w;
        QObject::connect(sender, &Sender::mouseUp, context(), [window, handler] { run(window, handler); });
    }
    // A combo box's change handler runs for the user's choices and typing only.
    void change(QComboBox* box, void (TMain::*handler)());
    // Each box's click runs the handler with the box as its sender.
    void flagBoxes(const QList<TVarCheckBox*>& boxes, void (TMain::*handler)(TVarCheckBox*));

private:
    // The window as the connections' context (they end with it).
    QObject* context() const;
    // The handler run as one user action, inside the window's guarded().
    static void run(TMain* window, void (TMain::*handler)());
    static void run(TMain* window, void (TMain::*handler)(int), int key);

    TMain* w;
};
