// infer and check --data on data files written through the record manager, whose layout the
// test knows (tests/support/GeneratedTable.h).
#include "Binding.h"
#include "Commands.h"
#include "FieldValue.h"
#include "GeneratedTable.h"
#include "SampleDictionary.h"
#include "CliFixture.h"
#include "TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <sstream>

namespace fs = std::filesystem;

namespace {

using clitest::Result;

class DataCliTest : public clitest::CliFixture {
protected:
    fs::path customerSet(const std::string& name, const std::string& shifted = {}, int records = 400)
    {
        const fs::path d = mTemp.path() / name;
        fs::create_directories(d);
        sample::writeDictionary(d, sample::customerDictionary(shifted));
        EXPECT_EQ(generated::writeDataFile((d / "CUSTOMER.DAT").string(), generated::kCustomerLength, records,
                                           generated::customerRecord),
                  0);
        return d;
    }

};

TEST_F(DataCliTest, inferFindsEveryFieldOfAGeneratedFile)
{
    const fs::path d = customerSet("infer");
    for (const std::vector<std::string>& target :
         {std::vector<std::string>{(d / "CUSTOMER.DAT").string()}, {d.string(), "--table", "customer"}}) {
        std::vector<std::string> args = {"infer"};
        args.insert(args.end(), target.begin(), target.end());
        args.push_back("--json");
        const Result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        EXPECT_EQ(doc["recordLength"].toInt(), generated::kCustomerLength);
        EXPECT_EQ(doc["records"].toInt(), 400);
        const QJsonArray fields = doc["fields"].toArray();
        int at = 0, found = 0;
        for (const QJsonValue& v : fields) {
            const QJsonObject f = v.toObject();
            EXPECT_EQ(f["offset"].toInt(), at);
            at += f["size"].toInt();
            EXPECT_GE(f["confidence"].toDouble(), 0.0);
            EXPECT_LE(f["confidence"].toDouble(), 1.0);
            EXPECT_FALSE(f["reason"].toString().isEmpty());
            for (const generated::FieldLayout& l : generated::customerLayout())
                found += f["offset"].toInt() == l.offset && f["size"].toInt() == l.size &&
                         f["type"].toString().toStdString() == dict::typeNameOf(l.type);
        }
        EXPECT_EQ(at, generated::kCustomerLength);
        EXPECT_EQ(found, static_cast<int>(generated::customerLayout().size())) << r.out;
    }
    // The text form names each field; a sample of 0 reads every record.
    const Result text = run({"infer", (d / "CUSTOMER.DAT").string(), "--sample", "0"});
    EXPECT_NE(text.out.find("400 records sampled"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("ZString"), std::string::npos);
    EXPECT_EQ(run({"infer", d.string()}).status, cli::kExitError);
    EXPECT_EQ(run({"infer", (d / "NONE.DAT").string()}).status, cli::kExitError);
    EXPECT_EQ(run({"infer", (d / "CUSTOMER.DAT").string(), "--sample", "x"}).status, cli::kExitError);
}

TEST_F(DataCliTest, checkDataFindsNothingWhenTheFieldsMatchTheData)
{
    const fs::path d = customerSet("sound");
    const Result r = run({"check", d.string(), "--data", "--sample", "0"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("No findings."), std::string::npos);
    const Result j = run({"check", d.string(), "--data", "--json"});
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(j.out)).object();
    const QJsonArray data = doc["data"].toArray();
    ASSERT_EQ(data.size(), 1);
    EXPECT_EQ(data[0].toObject()["records"].toInt(), 400);
    EXPECT_EQ(data[0].toObject()["fields"].toArray().size(), static_cast<int>(generated::customerLayout().size()));
}

TEST_F(DataCliTest, checkDataFindsAFieldShiftedByOneByte)
{
    // City moved right: its first byte is left uncovered and varies. Joined moved right: its
    // bytes no longer read as dates.
    struct Case {
        const char* field;
        const char* expected;
    };
    for (const Case& c : {Case{"City", "CUSTOMER: Byte 28 is covered by no field and varies between records."},
                          Case{"Joined", "CUSTOMER.Joined: 100.0% of the 250 sampled values (250) do not decode as Date."}}) {
        const fs::path d = customerSet(std::string("shift") + c.field, c.field);
        const Result r = run({"check", d.string(), "--data", "--sample", "250"});
        EXPECT_EQ(r.status, cli::kExitFindings) << c.field;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << r.out;
        const Result j = run({"check", d.string(), "--data", "--json", "--sample", "250"});
        const QJsonObject table = QJsonDocument::fromJson(QByteArray::fromStdString(j.out))
                                      .object()["data"]
                                      .toArray()[0]
                                      .toObject();
        const QJsonArray uncovered = table["uncoveredVarying"].toArray();
        ASSERT_FALSE(uncovered.isEmpty()) << j.out;
        int shiftedFrom = 0;
        for (const generated::FieldLayout& l : generated::customerLayout())
            if (std::string(l.name) == c.field)
                shiftedFrom = l.offset;
        EXPECT_EQ(uncovered[0].toObject()["offset"].toInt(), shiftedFrom);
    }
    // Without --data the same dictionary shows only what the dictionary itself says.
    const Result plain = run({"check", (mTemp.path() / "shiftCity").string()});
    EXPECT_EQ(plain.out.find("covered by no field"), std::string::npos);
}

} // namespace

namespace {

TEST_F(DataCliTest, recordsOfSeveralLayoutsInOneFileGetADraftEachAndCheckNamesTheTablesSharingIt)
{
    const fs::path d = mTemp.path() / "orders";
    fs::create_directories(d);
    sample::DictionaryRows rows = sample::selfDescription();
    for (int16_t id : {4, 5}) {
        dict::FileRecord f;
        f.id = id;
        f.name = id == 4 ? "HEADER" : "LINE";
        f.loc = "ORDERS.DAT";
        rows.files.push_back(f);
        rows.fields.push_back({int16_t(100 + id), id, "Kind", 0, 0, 1, 0, 0});
        rows.fields.push_back({int16_t(110 + id), id, "Rest", 0, 1, 31, 0, 0});
    }
    sample::writeDictionary(d, rows);
    ASSERT_EQ(generated::writeDataFile((d / "ORDERS.DAT").string(), generated::kOrderLength, 400,
                                       generated::orderRecord, false),
              0);

    const Result inferred = run({"infer", (d / "ORDERS.DAT").string(), "--json"});
    ASSERT_EQ(inferred.status, 0) << inferred.err;
    const QJsonArray variants =
        QJsonDocument::fromJson(QByteArray::fromStdString(inferred.out)).object()["variants"].toArray();
    ASSERT_EQ(variants.size(), 2) << inferred.out;
    EXPECT_EQ(variants[0].toObject()["tag"].toString(), "H");
    EXPECT_EQ(variants[0].toObject()["records"].toInt(), 100);
    EXPECT_EQ(variants[1].toObject()["tag"].toString(), "L");
    EXPECT_GT(variants[1].toObject()["fields"].toArray().size(), 2);
    const Result text = run({"infer", (d / "ORDERS.DAT").string()});
    EXPECT_NE(text.out.find("Records with byte 0 0x48 (100 records):"), std::string::npos) << text.out;

    const Result checked = run({"check", d.string(), "--data"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find("HEADER: The data file holds records of 2 layouts: Byte 0 tells apart"),
              std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find("the table LINE shares the file."), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("the table HEADER shares the file."), std::string::npos) << checked.out;

    // The kind of record after a number that leads every record, under the file's key.
    const auto numbered = [](int i) {
        std::vector<uint8_t> r = {uint8_t(i), uint8_t(i >> 8), 0};
        const std::vector<uint8_t> order = generated::orderRecord(i);
        r.insert(r.end(), order.begin(), order.end());
        return r;
    };
    ASSERT_EQ(
        generated::writeDataFile((d / "NUMBERED.DAT").string(), generated::kOrderLength + 3, 400, numbered),
        0);
    const Result after = run({"infer", (d / "NUMBERED.DAT").string()});
    EXPECT_NE(after.out.find("Records with byte 3 0x48 (100 records):"), std::string::npos) << after.out;

    // Records of one layout: no variants, and nothing said about layouts.
    const fs::path plain = customerSet("plain");
    const Result one = run({"infer", (plain / "CUSTOMER.DAT").string(), "--json"});
    EXPECT_TRUE(
        QJsonDocument::fromJson(QByteArray::fromStdString(one.out)).object()["variants"].toArray().isEmpty());
    EXPECT_EQ(run({"check", plain.string(), "--data"}).out.find("layouts"), std::string::npos);
}

} // namespace
