#include "AboutBox.h"

#include "Binding.h"

#include <QAction>
#include <QKeySequence>
#include <QMessageBox>
#include <QWidget>

void installAboutBox(QWidget* window, const QString& version)
{
    auto* action = new QAction(window);
    action->setObjectName(QStringLiteral("AboutAction"));
    action->setShortcut(QKeySequence(Qt::Key_F1));
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    QObject::connect(action, &QAction::triggered, window, [window, version] {
        const QString text =
            QStringLiteral("<b>Quillan %1</b><p>Editor of the data dictionary of Btrieve databases.</p>"
                           "<p>Record manager: %2</p>")
                .arg(version.toHtmlEscaped(),
                     QString::fromStdString(btrieve::recordManagerDescription()).toHtmlEscaped());
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Quillan"), text, QMessageBox::Ok,
                                    window);
        box->setObjectName(QStringLiteral("AboutBox"));
        box->setTextFormat(Qt::RichText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        if (!window->windowIcon().isNull())
            box->setIconPixmap(window->windowIcon().pixmap(64));
        box->open();
    });
}
