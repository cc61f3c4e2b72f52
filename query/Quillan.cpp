#include "Quillan.h"

#include "BuildReport.h"
#include "CodePage.h"
#include "DataRecords.h"
#include "DictionarySet.h"
#include "KeyRange.h"
#include "SqlSchema.h"
#include "Status.h"
#include "WinBtr.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <tuple>

namespace query {
namespace {
namespace fs = std::filesystem;

constexpr int kLongestRecord = 32767;
constexpr uint64_t kProgressThreshold = 10000;
constexpr std::size_t kIdleHandles = 4;

// A dictionary read once for all the tables attached from it.
struct Dictionary {
    fs::path dir;
    dict::CodePage page;
    dict::DictionarySet set;
    std::unique_ptr<dict::Tables> tables;
    std::vector<dict::TablePlan> plans;
};

// What the module keeps per connection.
struct Connection {
    sqlite3* db = nullptr;
    std::map<std::pair<std::string, std::string>, std::weak_ptr<Dictionary>> dictionaries;
    ScanProgress progress;
    struct Undecoded {
        std::string column;
        std::string type;
        uint64_t count = 0;
    };
    std::map<std::pair<const void*, std::size_t>, Undecoded> undecoded;
};

std::mutex gConnectionsMutex;
std::map<sqlite3*, Connection*>& connections()
{
    static std::map<sqlite3*, Connection*> map;
    return map;
}

Connection* connectionOf(sqlite3* db)
{
    std::lock_guard lock(gConnectionsMutex);
    auto it = connections().find(db);
    return it == connections().end() ? nullptr : it->second;
}

// A module argument as written: a string literal loses its quotes.
std::string dequoted(const char* arg)
{
    std::string s(arg);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    std::size_t start = s.find_first_not_of(" \t");
    s = start == std::string::npos ? std::string() : s.substr(start);
    if (s.size() >= 2 && (s.front() == '\'' || s.front() == '"') && s.back() == s.front()) {
        const char q = s.front();
        std::string out;
        for (std::size_t i = 1; i + 1 < s.size(); ++i) {
            out += s[i];
            if (s[i] == q && s[i + 1] == q)
                ++i;
        }
        return out;
    }
    return s;
}

// The dictionary in dir read in the page, shared with the tables attached from it already.
std::shared_ptr<Dictionary> loadDictionary(Connection& c, const std::string& dir, const std::string& pageName,
                                           std::string& error)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(dir, ec);
    auto& slot = c.dictionaries[{absolute.string(), pageName}];
    if (auto d = slot.lock())
        return d;
    auto d = std::make_shared<Dictionary>();
    d->dir = absolute;
    if (!pageName.empty()) {
        auto page = dict::CodePage::named(pageName);
        if (!page) {
            error = "unknown code page " + pageName + " (a number such as 866 or a name such as KOI8-R)";
            return nullptr;
        }
        d->page = *page;
    }
    if (!fs::is_directory(absolute, ec)) {
        error = dir + " is not a directory";
        return nullptr;
    }
    if (std::string e = dict::readDictionarySetIn(absolute, d->set); !e.empty()) {
        error = e;
        return nullptr;
    }
    d->tables = std::make_unique<dict::Tables>(d->set, d->page);
    std::vector<const dict::TableDef*> all;
    for (const dict::TableDef& t : d->tables->all())
        all.push_back(&t);
    d->plans = dict::planTables(all);
    slot = d;
    return d;
}

struct Table : sqlite3_vtab {
    Connection* connection = nullptr;
    std::shared_ptr<Dictionary> dictionary;
    const dict::TablePlan* plan = nullptr;
    fs::path file;
    // Known once the file has been opened.
    bool opened = false;
    std::size_t recordLength = 0;
    uint64_t records = 0;
    std::vector<ServedKey> keys;
    std::unique_ptr<dict::ColumnDecoder> decoder;
    // Handles open on the file, for the next cursor, and the file's time and size when they were
    // opened: a file written since is opened afresh, so that every query sees it as it is now.
    std::vector<std::unique_ptr<TWinBtr>> idle;
    fs::file_time_type idleWritten;
    uintmax_t idleSize = 0;
    sqlite3_stmt* numeric = nullptr; // CAST(? AS NUMERIC): the affinity export's columns apply
};

void setError(sqlite3_vtab* vtab, const std::string& message)
{
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", message.c_str());
}

// An open handle on the table's file, from the idle ones or newly opened; its status in status.
// The file's last write and size (zero when it cannot be seen).
std::pair<fs::file_time_type, uintmax_t> fileState(const fs::path& file)
{
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(file, ec);
    const uintmax_t size = fs::file_size(file, ec);
    return {ec ? fs::file_time_type{} : written, ec ? 0 : size};
}

std::unique_ptr<TWinBtr> takeHandle(Table& t, int& status)
{
    if (!t.idle.empty() && fileState(t.file) != std::pair(t.idleWritten, t.idleSize))
        t.idle.clear();
    if (!t.idle.empty()) {
        auto h = std::move(t.idle.back());
        t.idle.pop_back();
        status = 0;
        return h;
    }
    status = btr::StatusFileNotFound;
    if (t.plan->table->location.empty())
        return nullptr;
    auto h = std::make_unique<TWinBtr>();
    const auto before = fileState(t.file);
    status = h->Open(t.file.string(), "", btr::OpenReadOnly);
    if (status)
        return nullptr;
    std::tie(t.idleWritten, t.idleSize) = before;
    const dict::DataFileLayout layout = dict::decodeDataFileLayout(h->StatBuffer, sizeof h->StatBuffer);
    if (layout.spec.flags & btr::fileflag::VariableLength)
        h->SetBufferSize(kLongestRecord);
    t.records = static_cast<uint32_t>(layout.spec.recordCount);
    if (!t.opened) {
        t.opened = true;
        t.recordLength = static_cast<std::size_t>(h->BufferSize);
        t.keys = servedKeys(layout, *t.plan);
        t.decoder = std::make_unique<dict::ColumnDecoder>(*t.plan, t.recordLength, t.dictionary->page);
    }
    return h;
}

void giveBack(Table& t, std::unique_ptr<TWinBtr> h)
{
    if (h && t.idle.size() < kIdleHandles)
        t.idle.push_back(std::move(h));
}

std::string openProblem(const Table& t, int status)
{
    if (t.plan->table->location.empty())
        return t.plan->name + ": the table has no location";
    return t.plan->name + ": " + t.file.string() + " cannot be opened: " + dict::statusText(status);
}

int connectTable(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err)
{
    auto* connection = static_cast<Connection*>(aux);
    // argv: module, database, table, then the arguments.
    if (argc < 5 || argc > 6) {
        *err = sqlite3_mprintf("quillan takes (DIR, TABLE [, CODEPAGE])");
        return SQLITE_ERROR;
    }
    const std::string dir = dequoted(argv[3]), name = dequoted(argv[4]);
    const std::string page = argc > 5 ? dequoted(argv[5]) : std::string();
    std::string error;
    auto dictionary = loadDictionary(*connection, dir, page, error);
    if (!dictionary) {
        *err = sqlite3_mprintf("%s", error.c_str());
        return SQLITE_ERROR;
    }
    const dict::TablePlan* plan = nullptr;
    for (const dict::TablePlan& p : dictionary->plans)
        if (p.name == name)
            plan = &p;
    if (!plan) {
        *err = sqlite3_mprintf("the dictionary in %s has no table %s", dir.c_str(), name.c_str());
        return SQLITE_ERROR;
    }
    std::string schema = dict::createTableSql(*plan, dict::Dialect::Sqlite);
    while (!schema.empty() && (schema.back() == '\n' || schema.back() == ';'))
        schema.pop_back();
    if (int rc = sqlite3_declare_vtab(db, schema.c_str()); rc != SQLITE_OK) {
        *err = sqlite3_mprintf("%s: %s", name.c_str(), sqlite3_errmsg(db));
        return rc;
    }
    auto t = std::make_unique<Table>();
    std::memset(static_cast<sqlite3_vtab*>(t.get()), 0, sizeof(sqlite3_vtab));
    t->connection = connection;
    t->dictionary = std::move(dictionary);
    t->plan = plan;
    t->file = dict::dataFilePath(t->dictionary->dir, *plan->table);
    sqlite3_prepare_v2(db, "SELECT CAST(?1 AS NUMERIC)", -1, &t->numeric, nullptr);
    *out = t.release();
    return SQLITE_OK;
}

int disconnectTable(sqlite3_vtab* vtab)
{
    auto* t = static_cast<Table*>(vtab);
    sqlite3_finalize(t->numeric);
    sqlite3_free(t->zErrMsg);
    delete t;
    return SQLITE_OK;
}

int boundOf(unsigned char op, Bound& bound)
{
    switch (op) {
    case SQLITE_INDEX_CONSTRAINT_EQ:
        bound = Bound::Equal;
        return 1;
    case SQLITE_INDEX_CONSTRAINT_GT:
        bound = Bound::Greater;
        return 1;
    case SQLITE_INDEX_CONSTRAINT_GE:
        bound = Bound::GreaterOrEqual;
        return 1;
    case SQLITE_INDEX_CONSTRAINT_LT:
        bound = Bound::Less;
        return 1;
    case SQLITE_INDEX_CONSTRAINT_LE:
        bound = Bound::LessOrEqual;
        return 1;
    default:
        return 0;
    }
}

// The plan: idxNum 0 is a physical-order scan; otherwise the served key idxNum - 1, read forward
// or backward (idxStr "F" or "B"), followed by one "segment:bound" per argument given to xFilter.
int bestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info)
{
    auto* t = static_cast<Table*>(vtab);
    if (!t->opened) {
        int status = 0;
        giveBack(*t, takeHandle(*t, status));
    }
    const double rows = std::max<double>(static_cast<double>(t->records), 1);
    info->idxNum = 0;
    info->estimatedCost = rows;
    info->estimatedRows = static_cast<sqlite3_int64>(rows);
    double bestCost = rows;
    std::vector<int> bestUse;
    std::string bestStr;
    bool bestOrdered = false;
    for (std::size_t k = 0; k < t->keys.size(); ++k) {
        const ServedKey& key = t->keys[k];
        std::vector<int> use(static_cast<std::size_t>(info->nConstraint), -1); // segment per constraint
        std::size_t equalSegments = 0;
        bool ranged = false, anyIn = false;
        for (std::size_t s = 0; s < key.segments.size() && !ranged; ++s) {
            const ServedSegment& seg = key.segments[s];
            bool equal = false;
            for (int i = 0; i < info->nConstraint; ++i) {
                const auto& c = info->aConstraint[i];
                Bound bound;
                if (!c.usable || c.iColumn != seg.column || !boundOf(c.op, bound))
                    continue;
                if (seg.kind == SegmentKind::Text) {
                    const char* collation = sqlite3_vtab_collation(info, i);
                    if (bound != Bound::Equal || (collation && sqlite3_stricmp(collation, "BINARY") != 0))
                        continue;
                }
                if (bound == Bound::Equal) {
                    if (equal)
                        continue;
                    equal = true;
                    anyIn = anyIn || sqlite3_vtab_in(info, i, -1);
                }
                use[static_cast<std::size_t>(i)] = static_cast<int>(s);
            }
            bool ranges = false;
            for (int i = 0; i < info->nConstraint; ++i)
                if (use[static_cast<std::size_t>(i)] == static_cast<int>(s) &&
                    info->aConstraint[i].op != SQLITE_INDEX_CONSTRAINT_EQ)
                    ranges = true;
            if (equal) {
                // An equal bound on the segment makes any range on it redundant.
                for (int i = 0; i < info->nConstraint; ++i)
                    if (use[static_cast<std::size_t>(i)] == static_cast<int>(s) &&
                        info->aConstraint[i].op != SQLITE_INDEX_CONSTRAINT_EQ)
                        use[static_cast<std::size_t>(i)] = -1;
                ++equalSegments;
            } else {
                ranged = ranges;
                if (!ranges)
                    break;
            }
        }
        // ORDER BY the key's leading integer segments, all in the key's direction or all against it.
        bool ordered = false, backward = false;
        if (info->nOrderBy > 0 && static_cast<std::size_t>(info->nOrderBy) <= key.segments.size() && !anyIn) {
            ordered = true;
            for (int o = 0; o < info->nOrderBy && ordered; ++o) {
                const ServedSegment& seg = key.segments[static_cast<std::size_t>(o)];
                const bool against = (info->aOrderBy[o].desc != 0) != seg.descending;
                if (info->aOrderBy[o].iColumn != seg.column || seg.kind == SegmentKind::Text ||
                    (o > 0 && against != backward))
                    ordered = false;
                backward = against;
            }
        }
        const bool full = equalSegments == key.segments.size();
        double cost;
        if (full && key.unique)
            cost = 10;
        else if (equalSegments || ranged)
            cost = 10 + rows / std::pow(8.0, static_cast<double>(equalSegments) + (ranged ? 0.5 : 0));
        else if (ordered)
            cost = rows * 1.2;
        else
            continue;
        if (ordered)
            cost *= 0.99;
        if (cost >= bestCost && !(ordered && !bestOrdered && cost <= rows * 1.2 && bestUse.empty()))
            continue;
        bestCost = cost;
        bestUse = use;
        bestOrdered = ordered;
        info->idxNum = static_cast<int>(k) + 1;
        info->estimatedCost = cost;
        info->estimatedRows = full && key.unique ? 1 : static_cast<sqlite3_int64>(cost);
        info->idxFlags = full && key.unique ? SQLITE_INDEX_SCAN_UNIQUE : 0;
        bestStr = backward ? "B" : "F";
    }
    if (info->idxNum == 0)
        return SQLITE_OK;
    // A constraint on an integer segment whose leading segments are integers held equal is
    // answered exactly by the key range: SQLite need not check it again. IN lists are checked.
    const ServedKey& served = t->keys[static_cast<std::size_t>(info->idxNum - 1)];
    int argument = 0;
    for (int i = 0; i < info->nConstraint; ++i) {
        const int segment = bestUse[static_cast<std::size_t>(i)];
        if (segment < 0)
            continue;
        bool exact = !sqlite3_vtab_in(info, i, -1);
        for (int s = 0; s <= segment && exact; ++s)
            exact = served.segments[static_cast<std::size_t>(s)].kind != SegmentKind::Text;
        info->aConstraintUsage[i].argvIndex = ++argument;
        info->aConstraintUsage[i].omit = exact ? 1 : 0;
        bestStr += " " + std::to_string(segment) + ":" + std::to_string(info->aConstraint[i].op);
    }
    info->orderByConsumed = bestOrdered;
    info->idxStr = sqlite3_mprintf("%s", bestStr.c_str());
    info->needToFreeIdxStr = 1;
    return SQLITE_OK;
}

struct Cursor : sqlite3_vtab_cursor {
    std::unique_ptr<TWinBtr> btr;
    bool eof = true;
    sqlite3_int64 row = 0;
    const ServedKey* key = nullptr;
    bool backward = false;
    std::string stop; // the key image past which the read ends, in the direction of reading
    uint64_t nextProgress = 0;
    // The values of the current record decoded so far.
    std::vector<dict::FieldValue> values;
    std::vector<char> decoded;
};

Table& tableOf(sqlite3_vtab_cursor* c)
{
    return *static_cast<Table*>(c->pVtab);
}

int openCursor(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    auto* c = new Cursor();
    *out = c;
    return SQLITE_OK;
}

int closeCursor(sqlite3_vtab_cursor* cursor)
{
    auto* c = static_cast<Cursor*>(cursor);
    giveBack(tableOf(c), std::move(c->btr));
    delete c;
    return SQLITE_OK;
}

// After a read: the record is taken, or the read has ended (end of the file or of the key range),
// or failed (an SQL error naming the file and status).
int settle(Cursor& c, int status)
{
    Table& t = tableOf(&c);
    std::fill(c.decoded.begin(), c.decoded.end(), 0);
    if (status == btr::StatusEndOfFile || (c.key && status == btr::StatusKeyNotFound)) {
        c.eof = true;
        return SQLITE_OK;
    }
    if (status != btr::StatusSuccess) {
        c.eof = true;
        setError(&t, t.plan->name + ": reading " + t.file.string() + " stopped after " +
                         std::to_string(c.row) + " records: " + dict::statusText(status));
        return SQLITE_ERROR;
    }
    if (c.key) {
        const std::string image = keyOf(*c.key, reinterpret_cast<const uint8_t*>(c.btr->Buffer));
        const int order = compareKeys(*c.key, image, c.stop);
        if (c.backward ? order < 0 : order > 0) {
            c.eof = true;
            return SQLITE_OK;
        }
    }
    c.eof = false;
    ++c.row;
    if (!c.key && t.connection->progress && t.records > kProgressThreshold &&
        static_cast<uint64_t>(c.row) == c.nextProgress) {
        t.connection->progress(t.plan->name, static_cast<uint64_t>(c.row), t.records);
        c.nextProgress += t.records / 10;
    }
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor* cursor, int idxNum, const char* idxStr, int argc, sqlite3_value** argv)
{
    auto* c = static_cast<Cursor*>(cursor);
    Table& t = tableOf(c);
    c->row = 0;
    c->eof = true;
    if (!c->btr) {
        int status = 0;
        c->btr = takeHandle(t, status);
        if (!c->btr) {
            setError(&t, openProblem(t, status));
            return SQLITE_ERROR;
        }
    }
    c->values.assign(t.plan->columns.size(), {});
    c->decoded.assign(t.plan->columns.size(), 0);
    c->key = nullptr;
    if (idxNum == 0 || static_cast<std::size_t>(idxNum) > t.keys.size()) {
        c->nextProgress = t.records / 10;
        return settle(*c, c->btr->Execute(btr::OpStepFirst));
    }
    const ServedKey& key = t.keys[static_cast<std::size_t>(idxNum - 1)];
    c->key = &key;
    std::istringstream plan(idxStr ? idxStr : "F");
    std::string direction;
    plan >> direction;
    c->backward = direction == "B";
    std::vector<SegmentBounds> bounds;
    for (const ServedSegment& s : key.segments)
        bounds.push_back(fullBounds(s));
    for (int i = 0; i < argc; ++i) {
        std::string term;
        plan >> term;
        const std::size_t colon = term.find(':');
        const auto segment = static_cast<std::size_t>(std::stoi(term.substr(0, colon)));
        Bound bound;
        if (segment >= bounds.size() ||
            !boundOf(static_cast<unsigned char>(std::stoi(term.substr(colon + 1))), bound))
            continue;
        sqlite3_value* v = argv[i];
        const int type = sqlite3_value_type(v);
        if (type == SQLITE_NULL) {
            c->eof = true; // a comparison with NULL is never true
            return SQLITE_OK;
        }
        const ServedSegment& s = key.segments[segment];
        if (s.kind != SegmentKind::Text) {
            // The column's integer affinity makes a text that reads as a number that number; any
            // other text or blob sorts above every number.
            std::unique_ptr<sqlite3_value, decltype(&sqlite3_value_free)> numeric(sqlite3_value_dup(v),
                                                                                  sqlite3_value_free);
            const int as = numeric ? sqlite3_value_numeric_type(numeric.get()) : type;
            if (as == SQLITE_INTEGER || as == SQLITE_FLOAT)
                narrowInteger(bounds[segment], bound, as == SQLITE_INTEGER,
                              sqlite3_value_int64(numeric.get()), sqlite3_value_double(numeric.get()));
            else if (bound == Bound::Equal || bound == Bound::Greater || bound == Bound::GreaterOrEqual)
                bounds[segment].empty = true;
        } else if (type == SQLITE_TEXT) {
            const std::string text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                   static_cast<std::size_t>(sqlite3_value_bytes(v)));
            std::string bytes;
            if (t.dictionary->page.encode(text, bytes))
                narrowText(bounds[segment], s, bytes);
        }
        if (bounds[segment].empty)
            return SQLITE_OK;
    }
    std::string first, last;
    keyImages(key, bounds, first, last);
    c->stop = c->backward ? first : last;
    TWinBtr& b = *c->btr;
    b.KeyNumber = static_cast<int8_t>(key.number);
    std::memset(b.KeyBuffer, 0, sizeof b.KeyBuffer);
    const std::string& start = c->backward ? last : first;
    std::memcpy(b.KeyBuffer, start.data(), start.size());
    return settle(*c, b.Execute(c->backward ? btr::OpGetLessOrEqual : btr::OpGetGreaterOrEqual));
}

int next(sqlite3_vtab_cursor* cursor)
{
    auto* c = static_cast<Cursor*>(cursor);
    const uint16_t op = !c->key ? btr::OpStepNext : c->backward ? btr::OpGetPrevious : btr::OpGetNext;
    return settle(*c, c->btr->Execute(op));
}

int eof(sqlite3_vtab_cursor* cursor)
{
    return static_cast<Cursor*>(cursor)->eof;
}

void resultOf(sqlite3_context* ctx, const dict::FieldValue& v, Table& t)
{
    switch (v.kind) {
    case dict::FieldValue::Kind::Null:
        sqlite3_result_null(ctx);
        break;
    case dict::FieldValue::Kind::Integer:
        sqlite3_result_int64(ctx, v.integer);
        break;
    case dict::FieldValue::Kind::Real:
        sqlite3_result_double(ctx, v.real);
        break;
    case dict::FieldValue::Kind::Text:
        sqlite3_result_text(ctx, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        break;
    case dict::FieldValue::Kind::Decimal:
        // Export stores the text in a NUMERIC column, whose affinity makes it a number.
        if (t.numeric) {
            sqlite3_bind_text(t.numeric, 1, v.text.data(), static_cast<int>(v.text.size()), SQLITE_STATIC);
            if (sqlite3_step(t.numeric) == SQLITE_ROW)
                sqlite3_result_value(ctx, sqlite3_column_value(t.numeric, 0));
            sqlite3_reset(t.numeric);
        } else {
            sqlite3_result_text(ctx, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        }
        break;
    case dict::FieldValue::Kind::Blob:
        sqlite3_result_blob(ctx, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        break;
    }
}

int column(sqlite3_vtab_cursor* cursor, sqlite3_context* ctx, int i)
{
    auto* c = static_cast<Cursor*>(cursor);
    Table& t = tableOf(c);
    const auto* record = reinterpret_cast<const uint8_t*>(c->btr->Buffer);
    if (t.plan->columns.empty()) {
        sqlite3_result_blob(ctx, record, static_cast<int>(t.recordLength), SQLITE_TRANSIENT);
        return SQLITE_OK;
    }
    const auto n = static_cast<std::size_t>(i);
    if (!c->decoded[n]) {
        c->decoded[n] = 1;
        if (t.decoder->decode(n, record, c->values[n]) == dict::DecodeOutcome::Undecodable) {
            auto& u = t.connection->undecoded[{t.plan, n}];
            if (!u.count) {
                const int type = t.plan->columns[n].field->typeCode();
                const std::string name(dict::typeNameOf(type));
                u.column = t.plan->name + "." + t.plan->columns[n].name;
                u.type = name.empty() ? "type " + std::to_string(type) : name;
            }
            ++u.count;
        }
    }
    resultOf(ctx, c->values[n], t);
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out)
{
    *out = static_cast<Cursor*>(cursor)->row;
    return SQLITE_OK;
}

int update(sqlite3_vtab* vtab, int, sqlite3_value**, sqlite3_int64*)
{
    auto* t = static_cast<Table*>(vtab);
    setError(vtab, t->plan->name + " is read-only: quillan reads the Btrieve files and never writes them");
    return SQLITE_READONLY;
}

sqlite3_module makeModule()
{
    sqlite3_module m{};
    m.iVersion = 1;
    m.xCreate = connectTable;
    m.xConnect = connectTable;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnectTable;
    m.xDestroy = disconnectTable;
    m.xOpen = openCursor;
    m.xClose = closeCursor;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    m.xUpdate = update;
    return m;
}

const sqlite3_module kModule = makeModule();

void attachFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* c = static_cast<Connection*>(sqlite3_user_data(ctx));
    const auto text = [&](int i) {
        const unsigned char* s = i < argc ? sqlite3_value_text(argv[i]) : nullptr;
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
    };
    const std::string dir = text(0), page = text(2);
    std::string schema = text(1);
    if (schema.empty())
        schema = "main";
    std::string error;
    auto dictionary = loadDictionary(*c, dir, page, error);
    if (!dictionary) {
        sqlite3_result_error(ctx, error.c_str(), -1);
        return;
    }
    const auto exec = [&](const std::string& sql) {
        char* message = nullptr;
        if (sqlite3_exec(c->db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        sqlite3_result_error(ctx, message ? message : "quillan_attach failed", -1);
        sqlite3_free(message);
        return false;
    };
    const std::string quotedSchema = dict::quoteIdentifier(schema);
    const bool known = sqlite3_stricmp(schema.c_str(), "main") == 0 ||
                       sqlite3_stricmp(schema.c_str(), "temp") == 0 ||
                       sqlite3_db_filename(c->db, schema.c_str()) != nullptr;
    if (!known && !exec("ATTACH ':memory:' AS " + quotedSchema))
        return;
    // A table of that name is replaced only when it is one of this module's.
    sqlite3_stmt* existing = nullptr;
    sqlite3_prepare_v2(c->db,
                       ("SELECT sql FROM " + quotedSchema +
                        ".sqlite_master WHERE type = 'table' AND name = ?1 "
                        "COLLATE NOCASE")
                           .c_str(),
                       -1, &existing, nullptr);
    for (const dict::TablePlan& p : dictionary->plans) {
        sqlite3_bind_text(existing, 1, p.name.c_str(), -1, SQLITE_TRANSIENT);
        const bool taken = sqlite3_step(existing) == SQLITE_ROW;
        const auto* sql = taken ? sqlite3_column_text(existing, 0) : nullptr;
        const bool ours = sql && std::string(reinterpret_cast<const char*>(sql)).find(" USING quillan(") !=
                                     std::string::npos;
        sqlite3_reset(existing);
        if (taken && !ours) {
            sqlite3_finalize(existing);
            const std::string message =
                schema + "." + p.name + " exists already and is not a table of quillan";
            sqlite3_result_error(ctx, message.c_str(), -1);
            return;
        }
    }
    sqlite3_finalize(existing);
    std::string sql;
    for (const dict::TablePlan& p : dictionary->plans) {
        const std::string name = quotedSchema + "." + dict::quoteIdentifier(p.name);
        sql += "DROP TABLE IF EXISTS " + name + "; CREATE VIRTUAL TABLE " + name + " USING quillan(" +
               dict::quoteLiteral(dictionary->dir.string()) + ", " + dict::quoteLiteral(p.name) +
               (page.empty() ? "" : ", " + dict::quoteLiteral(page)) + ");";
    }
    if (exec(sql))
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(dictionary->plans.size()));
}

void destroyConnection(void* p)
{
    auto* c = static_cast<Connection*>(p);
    {
        std::lock_guard lock(gConnectionsMutex);
        connections().erase(c->db);
    }
    delete c;
}

} // namespace

int registerQuillan(sqlite3* db)
{
    auto* c = new Connection();
    c->db = db;
    {
        std::lock_guard lock(gConnectionsMutex);
        connections()[db] = c;
    }
    if (int rc = sqlite3_create_module_v2(db, "quillan", &kModule, c, destroyConnection); rc != SQLITE_OK)
        return rc;
    for (int args = 1; args <= 3; ++args)
        if (int rc = sqlite3_create_function_v2(db, "quillan_attach", args, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                                c, attachFunction, nullptr, nullptr, nullptr);
            rc != SQLITE_OK)
            return rc;
    return SQLITE_OK;
}

void setScanProgress(sqlite3* db, ScanProgress progress)
{
    if (Connection* c = connectionOf(db))
        c->progress = std::move(progress);
}

std::vector<std::string> undecodedValues(sqlite3* db)
{
    std::vector<std::string> lines;
    if (Connection* c = connectionOf(db))
        for (const auto& [where, u] : c->undecoded)
            lines.push_back(u.column + ": " + std::to_string(u.count) +
                            (u.count == 1 ? " value" : " values") + " could not be decoded as " + u.type +
                            " and " + (u.count == 1 ? "was" : "were") + " read as NULL.");
    return lines;
}

void resetUndecodedValues(sqlite3* db)
{
    if (Connection* c = connectionOf(db))
        c->undecoded.clear();
}

} // namespace query
