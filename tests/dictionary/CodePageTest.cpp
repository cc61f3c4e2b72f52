// The code page service: texts of the usual pages, every byte kept through decode and encode,
// characters a page cannot hold refused, and the reading of stored names.
#include "CodePage.h"
#include "FieldValue.h"

#include <gtest/gtest.h>

#include <optional>

using dict::CodePage;

namespace {

CodePage page(const char* name)
{
    std::optional<CodePage> p = CodePage::named(name);
    EXPECT_TRUE(p.has_value()) << name;
    return p ? *p : CodePage::latin1();
}

std::string allBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s += static_cast<char>(b);
    return s;
}

struct Known {
    const char* page;
    const char* stored;
    const char* text;
};

// Bytes as DOS and Windows programs stored them, and the text they are.
const Known kKnown[] = {
    {"866", "\x91\xE2\xA0\xE2\xEC\xA8_\xE0\xA0\xE1\xE5\xAE\xA4\xAE\xA2", "Статьи_расходов"},
    {"866", "\x88\x97\x8F \"\x83\x85\x8E\"", "ИЧП \"ГЕО\""},
    {"866", "\xF0\xF1", "Ёё"},
    {"1251", "\xD1\xF2\xE0\xF2\xFC\xE8", "Статьи"},
    {"1251", "\xA8\xB8\xB9", "Ёё№"},
    {"437",
     "Gr\x94\xE1"
     "e",
     "Größe"},
    {"437", "\x9B\xE1\x9C", "¢ß£"},
    {"850", "\x9B\x9D", "øØ"},
    {"852", "\xA5\xA4\x9F", "ąĄč"},
    {"1250", "\xB9\xA5\xE8", "ąĄč"},
    {"1252", "\x80\x9C\xE9", "€œé"},
    {"Latin-1", "\xE9\xFF", "éÿ"},
    {"KOI8-R", "\xF3\xD4\xC1\xD4\xD8\xC9", "Статьи"},
};

TEST(CodePage, usualPagesReadTheirStoredTextsAndWriteThemBack)
{
    for (const Known& k : kKnown) {
        const CodePage p = page(k.page);
        EXPECT_EQ(p.decode(k.stored), k.text) << k.page;
        std::string bytes;
        EXPECT_TRUE(p.encode(k.text, bytes)) << k.page;
        EXPECT_EQ(bytes, k.stored) << k.page;
    }
}

TEST(CodePage, everyByteComesBackUnderEveryUsualPage)
{
    const std::string bytes = allBytes();
    ASSERT_EQ(dict::usualCodePages().size(), 8u);
    for (const CodePage& p : dict::usualCodePages()) {
        std::string back;
        ASSERT_TRUE(p.encode(p.decode(bytes), back)) << p.id();
        EXPECT_EQ(back, bytes) << p.id();
    }
    // Pages that leave bytes unassigned keep them too.
    for (const char* name : {"cp1253", "cp1255", "cp874", "cp857"}) {
        const CodePage p = page(name);
        std::string back;
        ASSERT_TRUE(p.encode(p.decode(bytes), back)) << name;
        EXPECT_EQ(back, bytes) << name;
    }
    EXPECT_FALSE(page("cp1253").byteComplete());
    EXPECT_TRUE(page("866").byteComplete());
}

TEST(CodePage, charactersThePageCannotHoldAreRefusedAndNamed)
{
    struct Case {
        const char* page;
        const char* text;
        char32_t refused;
    };
    const Case cases[] = {
        {"437", "Имя", 0x0418},      {"1252", "ab Ж", 0x0416},  {"Latin-1", "€", 0x20AC},
        {"866", "é", 0x00E9},        {"1251", "Größe", 0x00F6}, {"852", "ß€", 0x20AC},
        {"Latin-1", "\xC3", 0xFFFD}, // a UTF-8 sequence cut short
    };
    for (const Case& c : cases) {
        std::string bytes;
        char32_t refused = 0;
        EXPECT_FALSE(page(c.page).encode(c.text, bytes, &refused)) << c.page << " " << c.text;
        EXPECT_EQ(refused, c.refused) << c.page << " " << c.text;
    }
    EXPECT_EQ(dict::describeCharacter(0x0416), "U+0416 'Ж'");
    EXPECT_EQ(dict::describeCharacter(0x0085), "U+0085");
}

TEST(CodePage, pagesAreFoundByNumberAndByName)
{
    const CodePage cyrillic = page("866");
    for (const char* alias : {"cp866", "IBM866", " 866 ", "ibm-866"})
        EXPECT_EQ(page(alias), cyrillic) << alias;
    EXPECT_EQ(page("windows-1251"), page("1251"));
    EXPECT_EQ(page("1251").id(), "1251");
    EXPECT_EQ(page("latin1"), CodePage::latin1());
    EXPECT_EQ(page("ISO-8859-1").id(), "Latin-1");
    EXPECT_EQ(CodePage().id(), "Latin-1");
    EXPECT_EQ(page("866").label(), "866 Cyrillic (DOS)");
    for (const char* unknown : {"", "no-such-page", "99999", "12345678901234"})
        EXPECT_FALSE(CodePage::named(unknown).has_value()) << unknown;
    EXPECT_GT(dict::knownCodePageNames().size(), 50u);
}

TEST(CodePage, aMultiByteNamedPageConvertsAndKeepsBytesItCannotRead)
{
    const CodePage sjis = page("Shift_JIS");
    EXPECT_FALSE(sjis.byteComplete());
    std::string bytes;
    ASSERT_TRUE(sjis.encode("日本", bytes));
    EXPECT_EQ(bytes, "\x93\xFA\x96\x7B");
    EXPECT_EQ(sjis.decode(bytes), "日本");
    const std::string odd = "A\x80"
                            "B\xFF";
    ASSERT_TRUE(sjis.encode(sjis.decode(odd), bytes));
    EXPECT_EQ(bytes, odd);
    char32_t refused = 0;
    EXPECT_FALSE(sjis.encode("Ж€", bytes, &refused) && refused == 0);
}

TEST(CodePage, textFieldsDecodeInThePageGiven)
{
    const std::string stored = "\x91\xE2\xA0\xE2\xEC\xA8   ";
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(stored.data()), stored.size());
    dict::FieldValue v;
    ASSERT_EQ(dict::decodeFieldValue(0, bytes, 0, v, page("866")), dict::DecodeOutcome::Value);
    EXPECT_EQ(v.text, "Статьи");
    ASSERT_EQ(dict::decodeFieldValue(11, bytes, 0, v, page("866")), dict::DecodeOutcome::Value);
    EXPECT_EQ(v.text, "Статьи   ");
    ASSERT_EQ(dict::decodeFieldValue(0, bytes, 0, v), dict::DecodeOutcome::Value);
    EXPECT_EQ(v.text, "\u0091â\u00A0âì¨");
}

TEST(CodePage, storedNamesSuggestThePageThatReadsThemAsOneScript)
{
    struct Case {
        std::vector<std::string> names;
        const char* best;
        const char* script;
    };
    const Case cases[] = {
        {{"\x91\xE2\xA0\xE2\xEC\xA8_\xE0\xA0\xE1\xE5\xAE\xA4\xAE\xA2", "\x8A\xAB\xA8\xA5\xAD\xE2\xEB", "ID"},
         "866",
         "Cyrillic"},
        {{"\xD1\xF2\xE0\xF2\xFC\xE8", "\xCA\xEB\xE8\xE5\xED\xF2\xFB"}, "1251", "Cyrillic"},
        {{"Gr\x94\xE1"
          "e",
          "Stra\xE1"
          "e",
          "Ma\xE1"},
         "437",
         "Latin"},
        {{"\xC4pfel", "Gr\xF6\xDF"
                      "e"},
         "1250",
         "Latin"},
    };
    for (const Case& c : cases) {
        const std::vector<dict::NameReading> readings = dict::readingsOfNames(c.names);
        ASSERT_FALSE(readings.empty()) << c.best;
        EXPECT_EQ(readings.front().page.id(), c.best);
        EXPECT_EQ(readings.front().script, c.script) << c.best;
    }
    const auto cyrillic = dict::readingsOfNames(cases[0].names);
    EXPECT_EQ(dict::suggestionText(cyrillic, CodePage::latin1()).rfind("names read as Cyrillic under 866", 0),
              0u);
    EXPECT_EQ(dict::suggestionText(cyrillic, page("866")), "");
    EXPECT_TRUE(dict::readingsOfNames({"CUSTOMER", "Name"}).empty());
    // Bytes no page reads as letters of one script.
    EXPECT_TRUE(dict::readingsOfNames({"\x01\x80\xFF\xB0"}).empty());
}

} // namespace
