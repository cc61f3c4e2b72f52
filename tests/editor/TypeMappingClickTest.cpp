// The type mapping as a user clicks it: the tick box of a Pascal type clicked with the mouse or
// toggled with Space, the Btrieve Type box typed into or stepped through, a run ended and a new
// one started; and "Quillan.rec" that cannot be read at start or written at exit.
#include "WindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <filesystem>
#include <ostream>
#include <unistd.h>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

namespace fs = std::filesystem;

constexpr int kChar = 0;
constexpr int kInteger = 6;
constexpr int kByte = 10;
constexpr int kWord = 11;
constexpr int kTDate = 27;

class TypeMappingClicks : public WindowEnvironment {
protected:
    void start()
    {
        mWindow = std::make_unique<TMain>();
        mWindow->show();
        mWindow->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(mWindow.get()));
    }
    // Ends the run as closing the window does: the mapping is written.
    void stop() { mWindow.reset(); }
    void restart()
    {
        stop();
        start();
    }

    QListWidget* list() const { return mWindow->utils().RecordOption; }

    // The middle of item k's tick box, as the style draws it, in the list's viewport.
    QPoint tickBox(int k)
    {
        QListWidgetItem* item = list()->item(k);
        list()->scrollToItem(item);
        QStyleOptionViewItem option;
        option.initFrom(list()->viewport());
        option.rect = list()->visualItemRect(item);
        option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = item->text();
        option.font = list()->font();
        option.checkState = item->checkState();
        option.widget = list();
        const QRect box = list()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list());
        EXPECT_TRUE(box.isValid());
        EXPECT_TRUE(option.rect.contains(box.center()));
        return box.center();
    }
    // The middle of item k's name, well right of the tick box.
    QPoint name(int k)
    {
        QListWidgetItem* item = list()->item(k);
        list()->scrollToItem(item);
        const QRect rect = list()->visualItemRect(item);
        return {rect.left() + rect.width() * 2 / 3, rect.center().y()};
    }
    void click(QPoint at) { QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at); }
    void key(QWidget* target, Qt::Key k)
    {
        QTest::keyPress(target, k);
        QTest::keyRelease(target, k);
    }

    bool ticked(int k) const { return list()->item(k)->checkState() == Qt::Checked; }
    QString line(int k) const { return mWindow->utils().TypeMapping[k]; }
    int btrieveWord(int k) const { return line(k).split(' ', Qt::SkipEmptyParts).value(1).toInt(); }

    void writeMapping(const QByteArray& text)
    {
        QFile file(path(QStringLiteral("Quillan.rec")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    std::unique_ptr<TMain> mWindow;
};

TEST_F(TypeMappingClicks, aClickOnTheTickBoxIsStoredForItsOwnTypeAndKeptByTheNextRun)
{
    start();
    click(name(kByte)); // a type selected first, as the user had it
    ASSERT_TRUE(list()->item(kByte)->isSelected());
    ASSERT_FALSE(ticked(kInteger));

    click(tickBox(kInteger));
    EXPECT_TRUE(ticked(kInteger));
    EXPECT_EQ(line(kInteger), "1 0 0");
    EXPECT_EQ(line(kByte), "0 0 0"); // the type selected before keeps its own tick
    // The ticked type is the selected one now: the Btrieve type chosen next is its own.
    EXPECT_TRUE(list()->item(kInteger)->isSelected());
    mWindow->utils().BtrType->setFocus();
    key(mWindow->utils().BtrType, Qt::Key_Down);
    EXPECT_EQ(line(kInteger), "1 1 0");
    EXPECT_EQ(line(kByte), "0 0 0");

    click(tickBox(kTDate));
    click(tickBox(kTDate)); // ticked and unticked again
    click(tickBox(kWord));
    EXPECT_FALSE(ticked(kTDate));
    EXPECT_EQ(line(kTDate), "0 0 0");
    EXPECT_EQ(line(kWord), "1 0 0");

    restart();
    EXPECT_TRUE(ticked(kInteger));
    EXPECT_TRUE(ticked(kWord));
    EXPECT_FALSE(ticked(kTDate));
    EXPECT_FALSE(ticked(kByte));
    EXPECT_EQ(line(kInteger), "1 1 0");
    EXPECT_TRUE(allMessages().isEmpty()) << allMessages().join('|').toStdString();
}

TEST_F(TypeMappingClicks, spaceTicksTheCurrentTypeFromTheStartAndAClickOnTheNameTicksNothing)
{
    writeMapping("0 0 0\r\n");
    start();
    list()->setFocus();
    key(list(), Qt::Key_Space); // right after start: the first type
    EXPECT_TRUE(ticked(kChar));
    EXPECT_EQ(line(kChar), "1 0 0");
    key(list(), Qt::Key_Down);
    key(list(), Qt::Key_Space);
    key(list(), Qt::Key_Space); // on and off again
    EXPECT_FALSE(ticked(1));
    EXPECT_EQ(line(1), "0 0 0");

    click(name(kInteger)); // selecting by the name changes no tick
    EXPECT_FALSE(ticked(kInteger));
    EXPECT_EQ(line(kInteger), "0 0 0");
    key(list(), Qt::Key_Space);
    EXPECT_EQ(line(kInteger), "1 0 0");

    restart();
    EXPECT_TRUE(ticked(kChar));
    EXPECT_TRUE(ticked(kInteger));
    EXPECT_FALSE(ticked(1));
}

TEST_F(TypeMappingClicks, theBtrieveTypeBoxShowsWhatIsStored)
{
    writeMapping(QByteArray().append("0 0 0\r\n").repeated(27).append("1 0 4\r\n"));
    start();
    click(name(kTDate));
    QLineEdit* edit = mWindow->utils().BtrType->lineEdit();
    ASSERT_EQ(mWindow->utils().BtrType->currentText(), "String");

    // Typing stores nothing until it ends; whatever the box completes the text to, what it
    // shows after Enter is the stored name.
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Dat"));
    EXPECT_EQ(line(kTDate), "1 0 4");
    key(edit, Qt::Key_Return);
    const QString shown = mWindow->utils().BtrType->currentText();
    EXPECT_EQ(shown, "Date");
    EXPECT_EQ(btrieveWord(kTDate), mWindow->utils().BtrType->findText(shown, Qt::MatchExactly));

    // Letter case is the list's once stored; a text that names no type stores -1 when the focus
    // leaves, and no name is shown for it.
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("longdate"));
    key(edit, Qt::Key_Return);
    EXPECT_EQ(mWindow->utils().BtrType->currentText(), "LongDate");
    EXPECT_EQ(line(kTDate), "1 19 4");
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Xyz"));
    click(name(kByte)); // the focus leaves the box
    EXPECT_EQ(line(kTDate), "1 -1 4");
    EXPECT_EQ(line(kByte), "0 0 0");
    click(name(kTDate));
    EXPECT_EQ(mWindow->utils().BtrType->currentText(), "");

    // Leaving the box with nothing typed stores nothing; stepping through the list with the
    // arrow keys stores each name shown.
    mWindow->utils().BtrType->setFocus();
    click(name(kTDate));
    EXPECT_EQ(line(kTDate), "1 -1 4");
    mWindow->utils().BtrType->setFocus();
    key(mWindow->utils().BtrType, Qt::Key_Down);
    key(mWindow->utils().BtrType, Qt::Key_Down);
    EXPECT_GE(btrieveWord(kTDate), 0);
    EXPECT_EQ(mWindow->utils().BtrType->currentText(),
              mWindow->utils().BtrType->itemText(btrieveWord(kTDate)));
    EXPECT_TRUE(allMessages().isEmpty()) << allMessages().join('|').toStdString();
}

TEST_F(TypeMappingClicks, aMappingFileThatCannotBeReadIsSaidOnceAndLeftAsItWas)
{
    fs::create_directory(path(QStringLiteral("Quillan.rec")).toStdString());
    start();
    ASSERT_EQ(allMessages().size(), 1) << allMessages().join('|').toStdString();
    EXPECT_TRUE(allMessages()[0].contains(QDir::toNativeSeparators(path(QStringLiteral("Quillan.rec")))));
    EXPECT_TRUE(allMessages()[0].contains(QStringLiteral("Is a directory")));
    EXPECT_FALSE(ticked(kChar));
    stop(); // nothing changed: nothing to write, and no second word about the file
    EXPECT_EQ(allMessages().size(), 1);
    EXPECT_TRUE(fs::is_directory(path(QStringLiteral("Quillan.rec")).toStdString()));

    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    fs::remove(path(QStringLiteral("Quillan.rec")).toStdString());
    writeMapping("1 1 4\r\n");
    fs::permissions(path(QStringLiteral("Quillan.rec")).toStdString(), fs::perms::none);
    mMessages.clear();
    start();
    ASSERT_EQ(allMessages().size(), 1);
    EXPECT_TRUE(allMessages()[0].contains(QStringLiteral("Permission denied")));
    stop();
    fs::permissions(path(QStringLiteral("Quillan.rec")).toStdString(), fs::perms::owner_all);
}

TEST_F(TypeMappingClicks, aMappingThatCannotBeWrittenAtExitIsSaidOnceNamingTheFile)
{
    // The start directory gone by the end of the run.
    const fs::path gone = fs::path(path(QStringLiteral("gone")).toStdString());
    fs::create_directory(gone);
    {
        testsupport::CurrentDirGuard inside(gone);
        start();
        click(tickBox(kInteger));
        fs::remove_all(gone);
        stop();
    }
    ASSERT_EQ(allMessages().size(), 1) << allMessages().join('|').toStdString();
    EXPECT_TRUE(allMessages()[0].contains(QDir::toNativeSeparators(QString::fromStdString((gone / "Quillan.rec").string()))));

    // "Quillan.rec" made a directory while the program ran.
    mMessages.clear();
    start();
    fs::create_directory(path(QStringLiteral("Quillan.rec")).toStdString());
    stop();
    ASSERT_EQ(allMessages().size(), 1) << allMessages().join('|').toStdString();
    EXPECT_TRUE(allMessages()[0].startsWith(QStringLiteral("The type mapping cannot be written to")));
    fs::remove(path(QStringLiteral("Quillan.rec")).toStdString());

    if (::geteuid() == 0)
        GTEST_SKIP() << "a read-only directory does not bind the superuser";
    mMessages.clear();
    start();
    fs::permissions(mDir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    stop();
    fs::permissions(mDir.path(), fs::perms::owner_all);
    ASSERT_EQ(allMessages().size(), 1);
    EXPECT_TRUE(allMessages()[0].contains(QDir::toNativeSeparators(path(QStringLiteral("Quillan.rec")))));
}

TEST_F(TypeMappingClicks, resolveDeclarationsIsOffAtFirstAndTheUsersChoiceIsKept)
{
    start();
    QCheckBox* box = mWindow->utils().ChResolve;
    EXPECT_FALSE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked());
    restart();
    EXPECT_TRUE(mWindow->utils().ChResolve->isChecked());
    QTest::mouseClick(mWindow->utils().ChResolve, Qt::LeftButton);
    restart();
    EXPECT_FALSE(mWindow->utils().ChResolve->isChecked());
}

} // namespace
