#pragma once
// What the tests of the SQL module stand on: the quillan-cli fixture with the embedded record
// manager's calls counted, and connections with the module registered whose query results come
// back as text that keeps every value's type.
#include "Binding.h"
#include "CliFixture.h"
#include "Quillan.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>

namespace querytest {

// Calls that reached the record manager since the last reset, by operation code.
uint64_t& callCount();
std::map<int, uint64_t>& callsByOperation();
int16_t countingCall(uint16_t op, void* pos, void* data, uint32_t* len, void* key, uint8_t keyLen,
                     int8_t keyNo, void* client);

// A connection to an in-memory database (or the file), with the module registered.
class Db {
public:
    explicit Db(const std::string& file = ":memory:");
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3* handle() const { return mDb; }

    // Every row, one line each, values separated by '|' and tagged by type: i:42, r:0.5 (shortest
    // exact form), t:text, b:hex, NULL. "error: MESSAGE" when the statement fails.
    std::string rows(const std::string& sql) const;
    // The first column of the first row as text; the error message on failure.
    std::string value(const std::string& sql) const;

private:
    sqlite3* mDb = nullptr;
};

// The quillan-cli fixture (the program run in-process, a scratch directory, the sales set) with
// the record manager's calls counted.
class QueryFixture : public clitest::CliFixture {
protected:
    using Result = clitest::Result;
    void SetUp() override { btrieve::setRecordManagerForTesting(&countingCall); }
};

} // namespace querytest
