// quillan-cli scan against the window's own scan: every fixture folder of tests/data/pascal is
// scanned by the Utils page ("Find Records", then each record shown in RecordGrid) and by the
// command, with the mapping in Quillan.rec of the current directory, and the two must agree. A
// folder marked "resolve" is scanned with the page's "Resolve declarations" ticked by a click and
// with --resolve; what each leaves unresolved must agree too.
#include "Commands.h"
#include "DDFUnit.h"
#include "TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {
namespace fs = std::filesystem;

const fs::path kCases = fs::path(QUILLAN_TEST_DATA) / "pascal";

struct Scan {
    QStringList lines; // "record NAME" and "NAME|PASCAL|BTRIEVE|OFFSET|SIZE[|VARIANT]", then "error MESSAGE"
    int status = 0;
};

bool resolving(const fs::path& caseDir)
{
    std::ifstream in(caseDir / "options");
    std::string word;
    while (in >> word)
        if (word == "resolve")
            return true;
    return false;
}

QString unresolvedLine(const QString& field, const QString& name, const QString& reason)
{
    return "unresolved " + QStringList{field, name, reason}.join('|');
}

Scan windowScan(const fs::path& dir, bool resolve)
{
    qputenv("QUILLAN_REGISTRY_FILE", QByteArray::fromStdString((dir / "registry.ini").string()));
    testsupport::CurrentDirGuard here(dir);
    QStringList messages;
    TMain::MessageHook = [&](QMessageBox::Icon icon, const QString& text) {
        if (icon == QMessageBox::Critical)
            messages << text;
    };
    TMain window;
    if (window.utils().ChResolve->isChecked() != resolve)
        QTest::mouseClick(window.utils().ChResolve, Qt::LeftButton);
    window.FileListBox->setMask(QStringLiteral("*.*"));
    const auto items = window.FileListBox->findItems(QStringLiteral("input.pas"), Qt::MatchExactly);
    Scan scan;
    if (items.size() != 1)
        return scan;
    window.FileListBox->setCurrentItem(items.first());
    emit window.FileListBox->mouseUp();
    window.utils().Search->click();
    for (int i = 0; i < window.utils().FindRecord->count(); ++i) {
        scan.lines << "record " + window.utils().FindRecord->item(i)->text();
        window.utils().FindRecord->setCurrentRow(i);
        emit window.utils().FindRecord->mouseUp();
        for (int row = 1; row < window.utils().RecordGrid->RowCount() - 1; ++row) {
            QStringList cells;
            for (int col = 0; col < 5; ++col)
                cells << window.utils().RecordGrid->Cells(col, row);
            if (const QString variant = window.utils().RecordGrid->Cells(kRecordVariantColumn, row);
                !variant.isEmpty())
                cells << variant;
            scan.lines << cells.join('|');
        }
        // The variant column is shown exactly when the record has a variant part.
        const std::vector<dict::ScannedField>& fields =
            window.utils().ScannedRecords[static_cast<std::size_t>(i)].Fields;
        EXPECT_EQ(window.utils().RecordGrid->isColumnHidden(kRecordVariantColumn),
                  std::none_of(fields.begin(), fields.end(), [](const auto& f) { return f.Variant >= 0; }));
        for (const dict::UnresolvedField& u :
             window.utils().ScannedRecords[static_cast<std::size_t>(i)].Unresolved)
            scan.lines << unresolvedLine(QString::fromStdString(u.Field), QString::fromStdString(u.Name),
                                         QString::fromStdString(u.Reason));
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

Scan cliScan(const fs::path& dir, bool resolve)
{
    testsupport::CurrentDirGuard here(dir);
    std::ostringstream out, err;
    cli::CliIo io{out, err};
    Scan scan;
    std::vector<std::string> args{"quillan-cli", "scan", "input.pas", "--json"};
    if (resolve)
        args.push_back("--resolve");
    scan.status = cli::runCli(args, io);
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    for (const QJsonValue& r : doc["records"].toArray()) {
        scan.lines << "record " + r["name"].toString();
        for (const QJsonValue& f : r["fields"].toArray()) {
            QStringList cells{f["name"].toString(), f["pascalType"].toString(), f["btrieveType"].toString(),
                              QString::number(f["offset"].toInt()), QString::number(f["size"].toInt())};
            if (f.toObject().contains("variant"))
                cells << f["variant"].toString();
            scan.lines << cells.join('|');
        }
        // The shape of a plain scan, with "unresolved" added to each record when resolving.
        EXPECT_EQ(r.toObject().contains("unresolved"), resolve);
        for (const QJsonValue& u : r["unresolved"].toArray())
            scan.lines << unresolvedLine(u["field"].toString(), u["name"].toString(), u["reason"].toString());
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
        const bool resolve = resolving(entry.path());
        const Scan window = windowScan(dir.path(), resolve);
        const Scan cli = cliScan(dir.path(), resolve);
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

TEST(CliScan, aFieldOfAVariantNamesItsLabelsAfterItsSize)
{
    testsupport::TempDir dir;
    testsupport::CurrentDirGuard here(dir.path());
    fs::copy_file(kCases / "resolve-variant-records" / "input.pas", dir.path() / "input.pas");
    std::ostringstream out, err;
    cli::CliIo io{out, err};
    const std::vector<std::string> args{"quillan-cli", "scan",      "input.pas",
                                        "--resolve",   "--mapping", (kCases / "mapping.rec").string()};
    ASSERT_EQ(cli::runCli(args, io), 0) << err.str();
    for (const char* line :
         {"  Code| Word|Unsigned|0|2\n", "  AsText| String [ 7 ]|String|2|8|3\n",
          "  Flag| Boolean|Logical|10|1|3/True\n", "  Terms| Word|Unsigned|11|2|kSupplier,kNote\n"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line << out.str();
}

} // namespace
