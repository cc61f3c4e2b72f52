// diff: tables, fields and keys added, removed and changed between two dictionary sets, matched
// by name (tables and fields) and number (keys); ids may differ.
#include "Commands.h"
#include "FieldValue.h"
#include "Text.h"

#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli diff DIR1 DIR2 [--codepage CP]

Compares the dictionary sets in DIR1 and DIR2: tables added (+), removed (-) and changed (~),
and within a table its fields and keys. Tables and fields are matched by name, keys by number;
ids may differ. Exit status 0 when the two are the same, 1 when they differ.
)";

std::string typeText(int code)
{
    const std::string_view n = dict::typeNameOf(code);
    return n.empty() ? std::to_string(code) : std::string(n);
}

std::string fieldText(const dict::FieldDef& f)
{
    std::string s = typeText(f.record.dataType) + ", offset " + std::to_string(f.record.offset) + ", size " +
                    std::to_string(f.record.size);
    if (f.record.dec)
        s += ", decimals " + std::to_string(f.record.dec);
    if (f.record.flag)
        s += ", flags " + std::to_string(f.record.flag);
    if (f.extendedType)
        s += ", extended " + typeText(*f.extendedType);
    return s;
}

std::string keyText(const dict::KeyDef& k)
{
    std::string s;
    for (const dict::KeySegmentDef& seg : k.segments) {
        s += s.empty() ? "" : " + ";
        s += seg.field ? seg.field->name : "field id " + std::to_string(seg.record.field);
        s += " (flags " + std::to_string(static_cast<uint16_t>(seg.record.flags)) + ")";
    }
    return s.empty() ? "no segments" : s;
}

// "what a -> b" for each of the named values that differ, joined by "; ".
class Changes {
public:
    template <typename T> void add(const char* what, const T& a, const T& b)
    {
        if (a == b)
            return;
        mText += (mText.empty() ? "" : "; ") + std::string(what) + " " + show(a) + " -> " + show(b);
    }
    const std::string& text() const { return mText; }

private:
    static std::string show(const std::string& s) { return '"' + s + '"'; }
    template <typename T> static std::string show(const T& v) { return std::to_string(v); }
    std::string mText;
};

const dict::FieldDef* findField(const dict::TableDef& t, const std::string& name)
{
    for (const dict::FieldDef& f : t.fields)
        if (text::equalIgnoringAsciiCase(f.name, name))
            return &f;
    return nullptr;
}

const dict::KeyDef* findKey(const dict::TableDef& t, int number)
{
    for (const dict::KeyDef& k : t.keys)
        if (k.number == number)
            return &k;
    return nullptr;
}

class Differ {
public:
    explicit Differ(std::ostream& out) : mOut(out) {}

    void tables(const dict::Tables& a, const dict::Tables& b)
    {
        for (const dict::TableDef& ta : a.all()) {
            const dict::TableDef* tb = b.find(ta.name);
            if (!tb)
                line("- table " + name(ta) + " (location " + ta.location + ")");
            else
                table(ta, *tb);
        }
        for (const dict::TableDef& tb : b.all())
            if (!a.find(tb.name))
                line("+ table " + name(tb) + " (location " + tb.location + ", " +
                     std::to_string(tb.fields.size()) + " fields, " + std::to_string(tb.keys.size()) +
                     " keys)");
    }

    int count() const { return mCount; }

private:
    static std::string name(const dict::TableDef& t) { return t.name; }

    void line(const std::string& text)
    {
        mOut << text << '\n';
        ++mCount;
    }

    void table(const dict::TableDef& a, const dict::TableDef& b)
    {
        Changes c;
        c.add("location", a.location, b.location);
        c.add("flags", int(a.record.flags), int(b.record.flags));
        if (!c.text().empty())
            line("~ table " + name(b) + ": " + c.text());
        const std::string tn = name(b);
        for (const dict::FieldDef& fa : a.fields) {
            const dict::FieldDef* fb = findField(b, fa.name);
            if (!fb) {
                line("- field " + tn + "." + fa.name + " (" + fieldText(fa) + ")");
                continue;
            }
            Changes f;
            f.add("type", typeText(fa.record.dataType), typeText(fb->record.dataType));
            f.add("offset", int(fa.record.offset), int(fb->record.offset));
            f.add("size", int(fa.record.size), int(fb->record.size));
            f.add("decimals", int(fa.record.dec), int(fb->record.dec));
            f.add("flags", int(fa.record.flag), int(fb->record.flag));
            f.add("extended type", fa.extendedType ? typeText(*fa.extendedType) : std::string("none"),
                  fb->extendedType ? typeText(*fb->extendedType) : std::string("none"));
            if (!f.text().empty())
                line("~ field " + tn + "." + fb->name + ": " + f.text());
        }
        for (const dict::FieldDef& fb : b.fields)
            if (!findField(a, fb.name))
                line("+ field " + tn + "." + fb.name + " (" + fieldText(fb) + ")");
        for (const dict::KeyDef& ka : a.keys) {
            const dict::KeyDef* kb = findKey(b, ka.number);
            if (!kb)
                line("- key " + tn + " " + std::to_string(ka.number) + " (" + keyText(ka) + ")");
            else if (keyText(ka) != keyText(*kb))
                line("~ key " + tn + " " + std::to_string(ka.number) + ": " + keyText(ka) + " -> " +
                     keyText(*kb));
        }
        for (const dict::KeyDef& kb : b.keys)
            if (!findKey(a, kb.number))
                line("+ key " + tn + " " + std::to_string(kb.number) + " (" + keyText(kb) + ")");
    }

    std::ostream& mOut;
    int mCount = 0;
};

int runDiff(const Invocation& in)
{
    const LoadedDictionary& a = in.dictionary(0);
    const LoadedDictionary& b = in.dictionary(1);
    in.io.out << "--- " << in.args.positionals[0] << '\n' << "+++ " << in.args.positionals[1] << '\n';
    Differ differ(in.io.out);
    differ.tables(*a.tables, *b.tables);
    return differ.count() ? kExitFindings : kExitOk;
}

} // namespace

const Command kDiffCommand{
    .name = "diff",
    .synopsis = "diff DIR1 DIR2",
    .summary = "tables, fields and keys added, removed and changed",
    .help = kHelp,
    .codePage = true,
    .leastPositionals = 2,
    .mostPositionals = 2,
    .needs = "two directories",
    .dictionaries = 2,
    .run = runDiff,
};

} // namespace cli
