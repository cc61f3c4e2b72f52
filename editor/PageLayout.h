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
#include <functional>
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
// Runs `changed` (in `context`) after every change of the grid's rows.
void onRowsChanged(TVarGrid* grid, QObject* context, const std::function<void()>& changed);
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
class DictionaryPage;

// How a wired handler runs: as one user action of the window (TMain::runAction), inside its
// guarded(); the window is the connections' context (they end with it).
namespace wiring {
QObject* context(TMain* window);
void runAction(TMain* window, const std::function<void()>& run);
// Keys typed into a dictionary page's grid: keys typed into one cell one after another are one
// step, named by the page's row.
void runTyping(TMain* window, const DictionaryPage& page, const std::function<void()>& run);
// The window's own grids' key handlers (named by the grid they type into).
void runKey(TMain* window, void (TMain::*handler)(int), const std::function<void()>& run);
} // namespace wiring

// Connects controls' signals to the handlers of `owner` (the window or one of its pages), each
// as one user action.
template <class Owner> class Wiring {
public:
    Wiring(TMain* window, Owner* owner) : w(window), o(owner) {}

    void click(QAbstractButton* button, void (Owner::*handler)())
    {
        QObject::connect(button, &QAbstractButton::clicked, wiring::context(w),
                         [w = w, o = o, handler] { wiring::runAction(w, [&] { (o->*handler)(); }); });
    }
    template <class Sender> void keyUp(Sender* sender, void (Owner::*handler)(int))
    {
        QObject::connect(sender, &Sender::keyUp, wiring::context(w), [w = w, o = o, handler](int key) {
            if constexpr (std::is_same_v<Owner, TMain>)
                wiring::runKey(w, handler, [&] { (o->*handler)(key); });
            else
                wiring::runAction(w, [&] { (o->*handler)(key); });
        });
    }
    // The key handler of a dictionary page's grid (Owner is that page).
    template <class Sender> void typing(Sender* grid, void (Owner::*handler)(int))
    {
        QObject::connect(grid, &Sender::keyUp, wiring::context(w), [w = w, o = o, handler](int key) {
            wiring::runTyping(w, *o, [&] { (o->*handler)(key); });
        });
    }
    template <class Sender> void mouseUp(Sender* sender, void (Owner::*handler)())
    {
        QObject::connect(sender, &Sender::mouseUp, wiring::context(w),
                         [w = w, o = o, handler] { wiring::runAction(w, [&] { (o->*handler)(); }); });
    }
    // A combo box's change handler runs for the user's choices and typing only.
    void change(QComboBox* box, void (Owner::*handler)())
    {
        QObject::connect(box, &QComboBox::activated, wiring::context(w), [w = w, o = o, handler, box] {
            wiring::runAction(w, [&] { (o->*handler)(); });
            // A chosen name is shown from its start, not scrolled to the blanks that pad it.
            if (QLineEdit* line = box->lineEdit())
                line->setCursorPosition(0);
        });
        if (QLineEdit* line = box->lineEdit())
            QObject::connect(line, &QLineEdit::textEdited, wiring::context(w),
                             [w = w, o = o, handler] { wiring::runAction(w, [&] { (o->*handler)(); }); });
    }
    // Each box's click runs the handler with the box as its sender.
    void flagBoxes(const QList<TVarCheckBox*>& boxes, void (Owner::*handler)(TVarCheckBox*))
    {
        for (TVarCheckBox* box : boxes)
            QObject::connect(box, &QCheckBox::clicked, wiring::context(w), [w = w, o = o, handler, box] {
                wiring::runAction(w, [&] { (o->*handler)(box); });
            });
    }

private:
    TMain* w;
    Owner* o;
};

// The window's own handlers.
class HandlerWiring : public Wiring<TMain> {
public:
    explicit HandlerWiring(TMain* window) : Wiring<TMain>(window, window) {}
};
