#include "QueryFixture.h"

#include "BtrCall.h"

#include <charconv>
#include <map>

namespace querytest {

uint64_t& callCount()
{
    static uint64_t n = 0;
    return n;
}

std::map<int, uint64_t>& callsByOperation()
{
    static std::map<int, uint64_t> calls;
    return calls;
}

int16_t countingCall(uint16_t op, void* pos, void* data, uint32_t* len, void* key, uint8_t keyLen,
                     int8_t keyNo, void* client)
{
    ++callCount();
    ++callsByOperation()[op];
    return QuillanEngineCall(op, pos, data, len, key, keyLen, keyNo, client);
}

Db::Db(const std::string& file)
{
    sqlite3_open(file.c_str(), &mDb);
    query::registerQuillan(mDb);
}

Db::~Db()
{
    sqlite3_close(mDb);
}

std::string Db::rows(const std::string& sql) const
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(mDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return std::string("error: ") + sqlite3_errmsg(mDb);
    std::string text;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            text += c ? "|" : "";
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                text += "NULL";
                break;
            case SQLITE_INTEGER:
                text += "i:" + std::to_string(sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT: {
                char buf[32];
                text += "r:";
                text.append(buf, std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(st, c)).ptr);
                break;
            }
            case SQLITE_BLOB: {
                const auto* b = static_cast<const unsigned char*>(sqlite3_column_blob(st, c));
                static constexpr char hex[] = "0123456789abcdef";
                text += "b:";
                for (int i = 0; i < sqlite3_column_bytes(st, c); ++i)
                    text += std::string{hex[b[i] >> 4], hex[b[i] & 0xF]};
                break;
            }
            default:
                text += "t:";
                text.append(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                            static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
            }
        }
        text += '\n';
    }
    if (rc != SQLITE_DONE)
        text = std::string("error: ") + sqlite3_errmsg(mDb);
    sqlite3_finalize(st);
    return text;
}

std::string Db::value(const std::string& sql) const
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(mDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return std::string("error: ") + sqlite3_errmsg(mDb);
    std::string text;
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        const unsigned char* s = sqlite3_column_text(st, 0);
        text = s ? reinterpret_cast<const char*>(s) : "NULL";
    } else if (rc != SQLITE_DONE) {
        text = std::string("error: ") + sqlite3_errmsg(mDb);
    }
    sqlite3_finalize(st);
    return text;
}

} // namespace querytest
