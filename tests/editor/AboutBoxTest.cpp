#include "AboutBox.h"
#include "Binding.h"
#include "WindowFixture.h"

#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using AboutBoxTest = WindowFixture;

namespace {

QMessageBox* aboutBox(QWidget* window)
{
    QMessageBox* found = nullptr;
    for (QMessageBox* box : window->findChildren<QMessageBox*>(QStringLiteral("AboutBox")))
        if (box->isVisible())
            found = box;
    return found;
}

} // namespace

// F1 opens the About box wherever the focus is in the window (a grid, its cell editor, the page
// control), and it names the version and the record manager; OK closes it.
TEST_F(AboutBoxTest, f1FromAnyFocusShowsVersionAndRecordManager)
{
    installAboutBox(&w(), QStringLiteral("9.8.7"));
    showWindow();
    const std::vector<std::pair<const char*, QWidget*>> targets = {
        {"window", &w()}, {"FileGrid", w().FileGrid}, {"PageControl", w().PageControl}};
    for (const auto& [name, target] : targets) {
        w().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w())) << name;
        target->setFocus();
        QCoreApplication::processEvents();
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : target;
        QTest::keyClick(focus, Qt::Key_F1);
        QPointer<QMessageBox> box = aboutBox(&w());
        ASSERT_TRUE(box) << name;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Quillan")) << name;
        EXPECT_TRUE(box->text().contains(QStringLiteral("Quillan 9.8.7"))) << box->text().toStdString();
        const QString manager = QString::fromStdString(btrieve::recordManagerDescription());
        EXPECT_TRUE(box->text().contains(QStringLiteral("Record manager: ") + manager)) << box->text().toStdString();

        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box.data(), Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(box.isNull()) << name << ": the box stays after OK";
    }
}
