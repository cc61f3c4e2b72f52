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

void onRowsChanged(TVarGrid* grid, QObject* context, const std::function<void()>& changed)
{
    QAbstractItemModel* m = grid->model();
    QObject::connect(m, &QAbstractItemModel::dataChanged, context, changed);
    QObject::connect(m, &QAbstractItemModel::rowsInserted, context, changed);
    QObject::connect(m, &QAbstractItemModel::rowsRemoved, context, changed);
    QObject::connect(m, &QAbstractItemModel::modelReset, context, changed);
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

namespace wiring {

QObject* context(TMain* window)
{
    return window;
}

void runAction(TMain* window, const std::function<void()>& run)
{
    window->runAction(run);
}

void runTyping(TMain* window, const DictionaryPage& page, const std::function<void()>& run)
{
    window->runTyping(page, run);
}

void runKey(TMain* window, void (TMain::*handler)(int), const std::function<void()>& run)
{
    window->runAction(handler, run);
}

} // namespace wiring
