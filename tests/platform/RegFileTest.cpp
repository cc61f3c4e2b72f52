#include "RegFile.h"

#include <gtest/gtest.h>

using namespace platform::regfile;

namespace {

const QByteArray kHeader = "Windows Registry Editor Version 5.00\n\n";
const QStringList kAliases = {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Orvane", "Btrieve", "Aliases"};

const Key& mustFind(const Key& top, const QStringList& path)
{
    const Key* key = top.find(path);
    if (!key)
        throw std::runtime_error("missing key " + path.join(u'\\').toStdString());
    return *key;
}

QStringList subkeyNames(const Key& key)
{
    QStringList names;
    for (const Key& sub : key.subkeys)
        names.append(sub.name);
    return names;
}

} // namespace

TEST(RegFile, everyValueTypeSurvivesAWriteAndARead)
{
    Key top;
    top.findOrCreate(kAliases + QStringList{"Empty"});
    Key& alias = top.findOrCreate(kAliases + QStringList{"Sales"});
    alias.setString("Description", "Sales");
    alias.setString("PhysicalName", R"(C:\data\"quoted"\ and spaces )");
    alias.setString("Lines", "first\nsecond\r\n\tthird");
    alias.setString("Unicode", QString::fromUtf8("Müller – 東京"));
    alias.setString("", "default value");
    Value dword{"Count", kTypeDword, {}, QByteArray("\x78\x56\x34\x12", 4)};
    Value binary{"Blob", kTypeBinary, {}, QByteArray("\x00\xff\x10", 3)};
    Value expand{"Home", kTypeExpandString, "%USERPROFILE%\\x", {}};
    Value qword{"Big", 0xb, {}, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8)};
    alias.values.insert(alias.values.end(), {dword, binary, expand, qword});

    std::optional<Key> read = parse(format(top));
    ASSERT_TRUE(read);
    const Key& back = mustFind(*read, kAliases + QStringList{"Sales"});
    ASSERT_EQ(back.values.size(), alias.values.size());
    for (const Value& v : alias.values) {
        const Value* r = back.value(v.name);
        ASSERT_NE(r, nullptr) << v.name.toStdString();
        EXPECT_EQ(r->type, v.type) << v.name.toStdString();
        EXPECT_EQ(r->text, v.text) << v.name.toStdString();
        EXPECT_EQ(r->data, v.data) << v.name.toStdString();
    }
    EXPECT_TRUE(read->find(kAliases + QStringList{"Empty"})) << "a key without values is kept";
}

TEST(RegFile, theFileIsTheRegistryEditorsExportText)
{
    Key top;
    Key& alias = top.findOrCreate(kAliases + QStringList{"Sales"});
    alias.setString("PhysicalName", R"(C:\db)");
    alias.values.push_back(Value{"N", kTypeDword, {}, QByteArray("\x07\x00\x00\x00", 4)});
    EXPECT_EQ(format(top).toStdString(), "Windows Registry Editor Version 5.00\n\n"
                                         "[HKEY_LOCAL_MACHINE]\n\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane]\n\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Btrieve]\n\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Btrieve\\Aliases]\n\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Btrieve\\Aliases\\Sales]\n"
                                         "\"PhysicalName\"=\"C:\\\\db\"\n"
                                         "\"N\"=dword:00000007\n\n");
}

TEST(RegFile, namesMatchWithoutCaseAndSubkeysStaySorted)
{
    Key key;
    for (const char* name : {"delta", "Alpha", "charlie", "Bravo", "alpha"})
        key.addSubkey(name);
    EXPECT_EQ(subkeyNames(key), (QStringList{"Alpha", "Bravo", "charlie", "delta"}));
    EXPECT_EQ(key.subkey(u"ALPHA"), &key.subkeys[0]);

    key.setString("Path", "one");
    key.setString("PATH", "two");
    ASSERT_EQ(key.values.size(), 1u);
    EXPECT_EQ(key.values[0].name, "Path") << "the first spelling of a name is kept";
    EXPECT_EQ(key.values[0].text, "two");

    EXPECT_TRUE(key.removeSubkey(u"BRAVO"));
    EXPECT_FALSE(key.removeSubkey(u"bravo"));
    EXPECT_EQ(subkeyNames(key), (QStringList{"Alpha", "charlie", "delta"}));
}

TEST(RegFile, pathsTheFileCannotHoldAreRefused)
{
    EXPECT_EQ(splitPath(""), QStringList{});
    EXPECT_EQ(splitPath(R"(a\b c\ d)"), (QStringList{"a", "b c", " d"}));
    for (const char* bad : {R"(\a)", R"(a\)", R"(a\\b)", R"(\)", "a\nb", "a\r"})
        EXPECT_FALSE(splitPath(bad)) << bad;
}

struct AcceptedCase {
    const char* rule;
    QByteArray text;
    QStringList path;
    const char* value;
    const char* expected; // nullptr: the value must be absent
};

class RegFileAccepts : public testing::TestWithParam<AcceptedCase> {};

TEST_P(RegFileAccepts, readsWhatTheRegistryEditorWrites)
{
    const AcceptedCase& c = GetParam();
    std::optional<Key> top = parse(c.text);
    ASSERT_TRUE(top) << c.rule;
    const Key* key = top->find(c.path);
    ASSERT_NE(key, nullptr) << c.rule;
    const Value* value = key->value(QString::fromUtf8(c.value));
    if (!c.expected) {
        EXPECT_EQ(value, nullptr) << c.rule;
        return;
    }
    ASSERT_NE(value, nullptr) << c.rule;
    EXPECT_EQ(value->text, QString::fromUtf8(c.expected)) << c.rule;
}

QByteArray utf16le(const QByteArray& utf8)
{
    QByteArray out("\xff\xfe");
    for (QChar c : QString::fromUtf8(utf8))
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RegFileAccepts,
    testing::Values(
        AcceptedCase{"old header",
                     "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "x"},
        AcceptedCase{"CRLF lines",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=\"x\"\r\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "x"},
        AcceptedCase{"UTF-16 with byte order mark",
                     utf16le(kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"é\"\n"),
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "é"},
        AcceptedCase{"UTF-8 byte order mark",
                     "\xef\xbb\xbf" + kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "x"},
        AcceptedCase{"hive name in any case",
                     kHeader + "[hkey_local_machine\\A]\n\"V\"=\"x\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "x"},
        AcceptedCase{"comments and blank lines",
                     kHeader + "; note\n\n[HKEY_LOCAL_MACHINE\\A]\n; \"V\"=\"no\"\n\"V\"=\"x\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "x"},
        AcceptedCase{"spaces around =",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\n  \"V\" = \"x y\"  \n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "x y"},
        AcceptedCase{"default value",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\n@=\"d\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "",
                     "d"},
        AcceptedCase{"hex string continued over lines",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(2):41,00,\\\n  42,00,00,00\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "AB"},
        AcceptedCase{"unknown escape kept as written",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"C:\\data\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "C:\\data"},
        AcceptedCase{"later line wins",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"1\"\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"2\"\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     "2"},
        AcceptedCase{"value removed by a minus",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"1\"\n\"V\"=-\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     nullptr},
        AcceptedCase{"key removed by a minus",
                     kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\n\"V\"=\"1\"\n[-HKEY_LOCAL_MACHINE\\A\\B]\n"
                               "[HKEY_LOCAL_MACHINE\\A]\n",
                     {"HKEY_LOCAL_MACHINE", "A"},
                     "V",
                     nullptr}));

TEST(RegFile, aKeyRemovedByAMinusTakesItsSubtreeAlong)
{
    std::optional<Key> top = parse(kHeader + "[HKEY_LOCAL_MACHINE\\A\\B\\C]\n\"V\"=\"1\"\n[HKEY_LOCAL_"
                                             "MACHINE\\A\\D]\n[-HKEY_LOCAL_MACHINE\\A\\B]\n"
                                             "\"W\"=\"dropped with its key\"\n");
    ASSERT_TRUE(top);
    EXPECT_EQ(subkeyNames(mustFind(*top, {"HKEY_LOCAL_MACHINE", "A"})), QStringList{"D"});
}

TEST(RegFile, anEmptyFileIsAnEmptyRegistry)
{
    std::optional<Key> top = parse("  \n");
    ASSERT_TRUE(top);
    EXPECT_TRUE(top->subkeys.empty());
}

class RegFileRefuses : public testing::TestWithParam<std::pair<const char*, QByteArray>> {};

TEST_P(RegFileRefuses, aDamagedFileIsNeverTakenForAnEmptyOne)
{
    EXPECT_FALSE(parse(GetParam().second)) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(
    Damage, RegFileRefuses,
    testing::Values(std::pair{"no header", QByteArray("[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\"\n")},
                    std::pair{"other text", QByteArray("{\"aliases\": []}\n")},
                    std::pair{"value before any key", kHeader + "\"V\"=\"x\"\n"},
                    std::pair{"unknown hive", kHeader + "[HKEY_NOWHERE\\A]\n"},
                    std::pair{"empty path part", kHeader + "[HKEY_LOCAL_MACHINE\\\\A]\n"},
                    std::pair{"unclosed section", kHeader + "[HKEY_LOCAL_MACHINE\\A\n"},
                    std::pair{"unclosed quote", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\n"},
                    std::pair{"text after a string", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\" y\n"},
                    std::pair{"no equals sign", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\" \"x\"\n"},
                    std::pair{"dword too long", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:123456789\n"},
                    std::pair{"dword not hex", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:xyz\n"},
                    std::pair{"hex byte too wide", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:100\n"},
                    std::pair{"hex list with a hole",
                              kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:01,,02\n"},
                    std::pair{"bad hex type", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(zz):01\n"},
                    std::pair{"unknown data", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=42\n"},
                    std::pair{"invalid UTF-8", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"\xc3\x28\"\n"},
                    std::pair{"truncated write", kHeader.left(20)}));
