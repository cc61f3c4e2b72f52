// quillan-cli scan against the window's own scan: every fixture folder of tests/data/pascal is
// scanned by the Utils page ("Find Records", then each record shown in RecordGrid) and by the
// command, with the mapping in Quillan.rec of the current directory, and the two must agree.
#include "Commands.h"
#include "DDFUnit.h"
#include "TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <sstream>

namespace {
namespace fs = std::filesystem;

const fs::path kCases = fs::path(QUILLAN_TEST_DATA) / "pascal";

struct Scan {
    QStringList lines; // "record NAME" and "NAME|PASCAL|BTRIEVE|OFFSET|SIZE", then "error MESSAGE"
    int status = 0;
};

Scan windowScan(const fs::path& dir)
{
    qputenv("QUILLAN_REGISTRY_FILE", QByteArray::fromStdString((dir / "registry.ini").string()));
    testsupport::CurrentDirGuard here(dir);
    QStringList messages;
    TMain::MessageHook = [&](QMessageBox::Icon, const QString& text) { messages << text; };
    TMain window;
    window.FileListBox->setMask(QStringLiteral("*.*"));
    const auto items = window.FileListBox->findItems(QStringLiteral("input.pas"), Qt::MatchExactly);
    Scan scan;
    if (items.size() != 1)
        return scan;
    window.FileListBox->setCurrentItem(items.first());
    emit window.FileListBox->mouseUp();
    window.Search->click();
    for (int i = 0; i < window.FindRecord->count(); ++i) {
        scan.lines << "record " + window.FindRecord->item(i)->text();
        window.FindRecord->setCurrentRow(i);
        emit window.FindRecord->mouseUp();
        for (int row = 1; row < window.RecordGrid->RowCount() - 1; ++row) {
            QStringList cells;
            for (int col = 0; col < 5; ++col)
                cells << window.RecordGrid->Cells(col, row);
            scan.lines << cells.join('|');
        }
    }
    TMain::MessageHook = nullptr;
    if (!messages.isEmpty()) {
        QString m = messages.first();
        if (m.endsWith('.'))
            m.chop(1); // the full stop the message box adds
        scan.lines << "error " + m;
        scan.status = 1;
    }
    return scan;
}

Scan cliScan(const fs::path& dir)
{
    testsupport::CurrentDirGuard here(dir);
    std::ostringstream out, err;
    cli::CliIo io{out, err};
    Scan scan;
    scan.status = cli::runCli({"quillan-cli", "scan", "input.pas", "--json"}, io);
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    for (const QJsonValue& r : doc["records"].toArray()) {
        scan.lines << "record " + r["name"].toString();
        for (const QJsonValue& f : r["fields"].toArray())
            scan.lines << QStringList{f["name"].toString(), f["pascalType"].toString(),
                                      f["btrieveType"].toString(), QString::number(f["offset"].toInt()),
                                      QString::number(f["size"].toInt())}
                              .join('|');
    }
    if (!doc["error"].isNull())
        scan.lines << "error " + doc["error"].toString();
    return scan;
}

TEST(CliScan, givesTheWindowsRecordsOnEveryFixture)
{
    int cases = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(kCases)) {
        if (!entry.is_directory())
            continue;
        testsupport::TempDir dir;
        const fs::path own = entry.path() / "mapping.rec";
        fs::copy_file(fs::exists(own) ? own : kCases / "mapping.rec", dir.path() / "Quillan.rec");
        fs::copy_file(entry.path() / "input.pas", dir.path() / "input.pas");
        const Scan window = windowScan(dir.path());
        const Scan cli = cliScan(dir.path());
        EXPECT_EQ(cli.lines, window.lines) << entry.path().filename() << "\ncli:\n"
                                           << cli.lines.join('\n').toStdString() << "\nwindow:\n"
                                           << window.lines.join('\n').toStdString();
        EXPECT_EQ(cli.status, window.status) << entry.path().filename();
        ++cases;
    }
    EXPECT_GE(cases, 20);
}

TEST(CliScan, mappingOptionWinsOverQuillanRecAndDefaultsUseNoType)
{
    testsupport::TempDir dir;
    testsupport::CurrentDirGuard here(dir.path());
    fs::copy_file(kCases / "size-table" / "input.pas", dir.path() / "input.pas");
    auto scan = [](std::vector<std::string> args) {
        std::ostringstream out, err;
        cli::CliIo io{out, err};
        args.insert(args.begin(), {"quillan-cli", "scan", "input.pas"});
        const int status = cli::runCli(args, io);
        return std::to_string(status) + "\n" + out.str() + err.str();
    };
    EXPECT_EQ(scan({}), "0\nrecord TSizes\n  I| Integer||0|0\n  S20| String [ 20 ]||0|0\n  S| String||0|0\n"
                        "  Chars| array [ 1 . . 10 ] of Char||0|0\n  Bytes| array [ 0 . . 9 ] of Byte||0|0\n"
                        "  Names| array [ 1 . . 10 ] of String [ 20 ]||0|0\n");
    const std::string withMapping = scan({"--mapping", (kCases / "mapping.rec").string()});
    EXPECT_NE(withMapping.find("  S20| String [ 20 ]|String|4|21\n"), std::string::npos) << withMapping;
    fs::copy_file(kCases / "mapping-word-not-a-number" / "mapping.rec", dir.path() / "Quillan.rec");
    EXPECT_EQ(scan({"--mapping", (kCases / "mapping.rec").string()}), withMapping);
    EXPECT_EQ(scan({"--mapping", "missing.rec"}).substr(0, 2), "2\n");
}

} // namespace
