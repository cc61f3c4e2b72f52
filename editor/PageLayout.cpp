#include "PageLayout.h"

#include "DDFUnit.h"

namespace layout {

void showFilterCaption(QLabel* label, const QString& caption, bool namesNoTable)
{
    const QString text = namesNoTable ? caption + QStringLiteral(": no such table, all rows shown") : caption;
    if (label->text() == text)
        return;
    label->setText(text);
    label->adjustSize();
}

QLabel* placeLabel(QLabel* label, int x, int y, bool bold)
{
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    label->move(x, y);
    label->adjustSize();
    return label;
}

QComboBox* comboBox(QWidget* parent, bool editable)
{
    auto* box = new QComboBox(parent);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(16);
    return box;
}

TVarCheckBox* flagBox(QWidget* parent, std::span<const std::string_view> captions, int shift)
{
    const std::string_view caption = captions[std::size_t(shift)];
    return new TVarCheckBox(QLatin1String(caption.data(), qsizetype(caption.size())),
                            static_cast<quint16>(shift), parent);
}

} // namespace layout

QObject* HandlerWiring::context() const
{
    return w;
}

void HandlerWiring::run(TMain* window, void (TMain::*handler)())
{
    window->runAction(handler, [&] { (window->*handler)(); });
}

void HandlerWiring::run(TMain* window, void (TMain::*handler)(int), int key)
{
    window->runAction(handler, [&] { (window->*handler)(key); });
}

void HandlerWiring::click(QAbstractButton* button, void (TMain::*handler)())
{
    TMain* window = w;
    QObject::connect(button, &QAbstractButton::clicked, window, [window, handler] { run(window, handler); });
}

void HandlerWiring::change(QComboBox* box, void (TMain::*handler)())
{
    TMain* window = w;
    QObject::connect(box, &QComboBox::activated, window, [window, handler, box] {
        run(window, handler);
        // A chosen name is shown from its start, not scrolled to the blanks that pad it.
        if (QLineEdit* line = box->lineEdit())
            line->setCursorPosition(0);
    });
    if (QLineEdit* line = box->lineEdit())
        QObject::connect(line, &QLineEdit::textEdited, window, [window, handler] { run(window, handler); });
}

void HandlerWiring::flagBoxes(const QList<TVarCheckBox*>& boxes, void (TMain::*handler)(TVarCheckBox*))
{
    TMain* window = w;
    for (TVarCheckBox* box : boxes)
        QObject::connect(box, &QCheckBox::clicked, window, [window, handler, box] {
            window->runAction(handler, [&] { (window->*handler)(box); });
        });
}
