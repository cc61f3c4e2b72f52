#include "StartDirectory.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using platform::startDirectory;

namespace {

QString q(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace

// What the window starts in for each kind of command line, from a fixed current directory
// that holds a database directory (with a blank in its name), a file and a nested directory.
TEST(StartDirectory, eachCommandLineGivesItsDirectoryOrItsReason)
{
    testsupport::TempDir tmp;
    const QString root = q(tmp.path());
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("Sales Data/2026")));
    QFile file(root + QStringLiteral("/Sales Data/FILE.DDF"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    struct Case {
        QStringList arguments;
        QString directory; // relative to root; "-" for none
        QString error;     // a part of the message; empty for none
    };
    const Case cases[] = {
        {{}, QStringLiteral("-"), {}},
        {{QStringLiteral("Sales Data")}, QStringLiteral("Sales Data"), {}},
        {{QStringLiteral("Sales Data/")}, QStringLiteral("Sales Data"), {}},
        {{QStringLiteral("./Sales Data/2026/..")}, QStringLiteral("Sales Data"), {}},
        {{root + QStringLiteral("/Sales Data/2026")}, QStringLiteral("Sales Data/2026"), {}},
        {{QStringLiteral("Sales Data/FILE.DDF")}, QStringLiteral("Sales Data"), {}},
        {{QStringLiteral(".")}, QStringLiteral(""), {}},
        {{QStringLiteral("Missing")}, QStringLiteral("-"), QStringLiteral("The directory Missing does not exist.")},
        {{QString()}, QStringLiteral("-"), QStringLiteral("empty")},
        {{QStringLiteral("Sales Data"), QStringLiteral("Sales Data/2026")}, QStringLiteral("-"),
         QStringLiteral("not 2 arguments")},
    };
    for (const Case& c : cases) {
        const auto result = startDirectory(c.arguments, root);
        const QString context = c.arguments.join(u'|');
        if (c.directory == QStringLiteral("-")) {
            EXPECT_TRUE(result.directory.isEmpty()) << context.toStdString();
        } else {
            const QString expected = QDir::cleanPath(root + u'/' + c.directory);
            EXPECT_EQ(result.directory, expected) << context.toStdString();
        }
        if (c.error.isEmpty())
            EXPECT_TRUE(result.error.isEmpty()) << context.toStdString() << ": " << result.error.toStdString();
        else
            EXPECT_TRUE(result.error.contains(c.error)) << context.toStdString() << ": " << result.error.toStdString();
    }
}
