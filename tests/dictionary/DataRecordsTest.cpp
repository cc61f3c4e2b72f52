// The data-file reader on genuine files with damage: each place it goes past in physical order
// says which page, and whether the deleted-record chain breaks there or the file ends there.
#include "DataRecords.h"
#include "Fixtures.h"
#include "Status.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace genuinetest;
using Place = dict::DamagedPlace;

// A reading step by step: "r" for each record, the place for each damaged place.
struct Reading {
    std::vector<std::string> steps;
    int end = 0;
};

Reading readStepByStep(const std::string& path)
{
    Reading out;
    dict::DataFileReader reader;
    if ((out.end = reader.open(path)))
        return out;
    for (int st = reader.first();; st = reader.next()) {
        if (st == btr::StatusSuccess) {
            EXPECT_FALSE(reader.place());
            out.steps.push_back("r");
        } else if (const auto p = reader.place(); p && out.steps.size() < 1000) {
            out.steps.push_back(std::to_string(p->page) + "/" + std::to_string(p->kind) + "/" +
                                std::to_string(p->value));
        } else {
            out.end = st;
            return out;
        }
    }
}

std::string place(uint32_t page, uint32_t kind = Place::None, uint32_t value = 0)
{
    return std::to_string(page) + "/" + std::to_string(kind) + "/" + std::to_string(value);
}

TEST(DataRecordsDamage, eachPlaceSaysItsPageAndWhetherTheChainBreaksOrTheFileEndsThere)
{
    testsupport::TempDir dir;
    const auto write = [&dir](const std::string& name, const Bytes& bytes) {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    };
    const auto records = [](std::size_t n) { return std::vector<std::string>(n, "r"); };
    const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    // Damaged pages that say nothing more: an 8.x file with three.
    const DamagedFixture damaged = damagedFixture();
    std::vector<std::string> damagedSteps;
    for (std::size_t k = 0, read = 0; k <= damaged.pages.size(); ++k) {
        const std::size_t upTo = k < damaged.pages.size() ? damaged.before[k] : damaged.sound.size();
        damagedSteps = join(damagedSteps, records(upTo - read));
        read = upTo;
        if (k < damaged.pages.size())
            damagedSteps.push_back(place(damaged.pages[k]));
    }

    // A pre-6 copy cut 700 bytes short, whose deleted-record chain breaks at the cut.
    const FileDef cutDef = sampleDef(120, true);
    Layout cutLayout;
    const Bytes whole = buildPre6(cutDef, cutLayout);
    const std::size_t cutLength = whole.size() - 700;
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cutLength));

    // Records of 6 bytes, shorter than a place's answer, in a copy cut after its first data page.
    FileDef shortDef;
    shortDef.recordLength = 6;
    shortDef.keys = {{{{0, 2, 0x102, 0}}, 0}};
    for (int i = 0; i < 300; ++i)
        shortDef.slots.push_back(Bytes{static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 1, 2, 3, 4});
    Layout shortLayout;
    const Bytes shortWhole = buildPre6(shortDef, shortLayout);
    const std::size_t firstDataPage = shortLayout.physical.at(shortLayout.pagesOf('D').at(0));
    const Bytes shortCut(shortWhole.begin(),
                         shortWhole.begin() + static_cast<std::ptrdiff_t>((firstDataPage + 1) * 512));
    const std::size_t perPage = (512 - 6) / physicalLength(shortDef, false);

    const struct {
        const char* what;
        std::string path;
        // Checked whole, or, when empty, the last places only (the cut pre-6 copy).
        std::vector<std::string> steps;
    } cases[] = {
        {"8.x with damaged pages", write("DAMAGED.BTR", damaged.image), damagedSteps},
        {"pre-6 cut short", write("CUT.BTR", cut), {}},
        {"pre-6 of short records cut short", write("SHORT.BTR", shortCut),
         join(records(perPage), {place(static_cast<uint32_t>(firstDataPage + 1), Place::FileCut,
                                       static_cast<uint32_t>(shortWhole.size() / 512))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Reading reading = readStepByStep(c.path);
        EXPECT_EQ(reading.end, btr::StatusEndOfFile);
        dict::DamageReport report;
        EXPECT_EQ(dict::readPastDamage(c.path, report), btr::StatusEndOfFile);
        EXPECT_EQ(report.records,
                  static_cast<uint64_t>(std::count(reading.steps.begin(), reading.steps.end(), "r")));
        if (!c.steps.empty()) {
            EXPECT_EQ(reading.steps, c.steps);
            continue;
        }
        // The cut copy: the chain breaks, then the file ends where it was cut.
        ASSERT_GE(report.places.size(), 2u);
        const Place chain = report.places[report.places.size() - 2];
        EXPECT_EQ(chain.kind, Place::ChainBroken);
        EXPECT_EQ(report.places.back(), (Place{static_cast<uint32_t>(cutLength / 512), Place::FileCut,
                                               static_cast<uint32_t>(whole.size() / 512)}));
        std::size_t held = 0;
        for (std::size_t i = 0; i < cutDef.slots.size(); ++i)
            held += cutDef.slots[i] &&
                    cutLayout.offset(cutLayout.pagesOf('D').at(i / 12)) + 6 + (i % 12) * 40 + 40 <= cutLength;
        EXPECT_EQ(report.records, held + chain.value);
    }
}

TEST(DataRecordsDamage, aPlaceIsWordedByItsKindAndOtherAnswersAreNoPlace)
{
    EXPECT_EQ(dict::damagedPlaceText({7}), "page 7 is damaged");
    EXPECT_EQ(dict::damagedPlaceText({3, Place::ChainBroken, 2}),
              "the deleted-record chain breaks on page 3: 2 of the records read could be deleted ones");
    EXPECT_EQ(
        dict::damagedPlaceText({7, Place::FileCut, 9}),
        "the file is shorter than its control record says: it ends at page 7, where it should have 9 pages");

    const uint8_t answer[12] = {7, 1, 0, 0, 2, 0, 0, 0, 9, 0, 0, 0};
    EXPECT_EQ(dict::damagedPlace(btr::StatusIoError, answer, 12, 12), (Place{263, Place::FileCut, 9}));
    EXPECT_EQ(dict::damagedPlace(btr::StatusIoError, answer, 4, 12), (Place{263}));
    EXPECT_EQ(dict::damagedPlace(btr::StatusIoError, answer, 4, 4), (Place{263}));
    EXPECT_FALSE(dict::damagedPlace(btr::StatusIoError, answer, 12, 11)) << "more than the buffer holds";
    EXPECT_FALSE(dict::damagedPlace(btr::StatusIoError, answer, 8, 12));
    EXPECT_FALSE(dict::damagedPlace(btr::StatusSuccess, answer, 12, 12));
    EXPECT_FALSE(dict::damagedPlace(btr::StatusIoError, nullptr, 4, 12));
}

} // namespace
