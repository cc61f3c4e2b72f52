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
