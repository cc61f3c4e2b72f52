#pragma once
// A labelled corpus of data files shaped like those of DOS-era programs written in Pascal, BASIC,
// COBOL and C: length-prefixed strings (with zero, blank or leftover bytes after the text),
// blank-padded and NUL-terminated strings, text most records leave empty, Turbo Pascal's 6-byte
// Real, IEEE floats, packed decimals, 2- and 4-byte dates, times, flags, counters and money
// amounts, reserved filler, and files holding records of several kinds told apart by a leading
// tag. Every file comes with its true layout per kind and the key segments its data file would
// report. The files are made from a seed; every parameter a real file can vary is drawn.
#include "Records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corpus {

// A field as the program that wrote the file declared it.
struct TrueField {
    int offset = 0;
    int size = 0;
    int typeCode = 0;    // a code of the type catalogue
    bool filler = false; // reserved bytes: any field over exactly them that is not typed otherwise
    bool key = false;    // a key segment of the data file covers it
};

struct CorpusFile {
    std::string name;
    std::size_t recordLength = 0;
    std::size_t count = 0;
    std::vector<uint8_t> bytes; // count * recordLength
    std::vector<dict::KeySpec> keys;
    // One layout per kind of record; kindOf gives each record's kind.
    std::vector<std::vector<TrueField>> kinds;
    std::vector<int> kindOf;
};

// The files of the corpus: each from its own seed drawn from `seed`, of 10 to 100,000 records.
// Another seed gives other files of the same plan, to check that the rules were not fitted to
// one draw.
std::vector<CorpusFile> makeCorpus(uint32_t seed = 1987);

// Whether a proposed type is the true one: the integer types (Integer, Unsigned, Autoincrement)
// stand for one another, as do Decimal and Money, and a one-byte Logical and a one-byte integer.
bool sameType(const TrueField& truth, int typeCode, const std::string& proposedName);

} // namespace corpus
