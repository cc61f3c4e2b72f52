#include "PostgresServer.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace testsupport {
namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& p)
{
    std::string s = "'";
    for (char c : p.string())
        s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
}

// The newest server installed the Debian way (/usr/lib/postgresql/VERSION/bin).
fs::path serverBin()
{
    std::error_code ec;
    std::vector<fs::path> found;
    for (fs::directory_iterator it("/usr/lib/postgresql", ec), end; !ec && it != end; it.increment(ec))
        if (fs::exists(it->path() / "bin" / "postgres") && fs::exists(it->path() / "bin" / "initdb"))
            found.push_back(it->path() / "bin");
    if (found.empty())
        return {};
    std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
        return std::atoi(a.parent_path().filename().c_str()) < std::atoi(b.parent_path().filename().c_str());
    });
    return found.back();
}

std::string fileText(const fs::path& p)
{
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

PostgresServer::PostgresServer(fs::path dir) : mDir(std::move(dir))
{
    mBin = serverBin();
    if (mBin.empty())
        throw std::runtime_error("the PostgreSQL server is not installed (no initdb and postgres under "
                                 "/usr/lib/postgresql/*/bin): install the Debian package postgresql, as "
                                 "./test does");
    fs::create_directories(mDir);
    // A clone in a directory the user postgres cannot pass (/root) or so deep that the socket's
    // path is too long for a Unix socket: the server gets a directory of its own under the
    // system's temporary directory instead, removed when the server stops.
    const bool tooDeep = (mDir / ".s.PGSQL.5432").string().size() >= 100;
    const passwd* owner = ::geteuid() == 0 ? ::getpwnam("postgres") : nullptr;
    if (tooDeep || (owner && run("runuser -u postgres -- test -x " + quoted(mDir)) != 0)) {
        std::string pattern = (fs::temp_directory_path() / "quillan-pg-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a directory for the test server under " +
                                     fs::temp_directory_path().string());
        mDir = pattern;
        mOwnDir = true;
    }
    if (::geteuid() == 0) {
        // The server refuses to run as root.
        const passwd* pw = ::getpwnam("postgres");
        if (!pw)
            throw std::runtime_error("running as root, the test server needs the user postgres, which the "
                                     "Debian package postgresql creates");
        if (::chown(mDir.c_str(), pw->pw_uid, pw->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + mDir.string() + " to the user postgres");
        mAsUser = "runuser -u postgres -- ";
        if (run(mAsUser + "test -w " + quoted(mDir)) != 0)
            throw std::runtime_error("the user postgres cannot reach " + mDir.string() +
                                     ": every directory above it must let others pass (mode o+x)");
    }
    const fs::path socket = mDir / ".s.PGSQL.5432";
    if (socket.string().size() >= 100)
        throw std::runtime_error("the test server's socket path is too long for a Unix socket: " +
                                 socket.string());
    const fs::path data = mDir / "data", log = mDir / "server.log";
    if (run(mAsUser + quoted(mBin / "initdb") + " -D " + quoted(data) +
            " -U postgres -A trust -E UTF8 --locale=C --no-sync --no-instructions > " +
            quoted(mDir / "initdb.log") + " 2>&1") != 0)
        throw std::runtime_error("initdb failed: " + fileText(mDir / "initdb.log") +
                                 (mAsUser.empty() ? "" : " (the user postgres must reach " + mDir.string() + ")"));
    const std::string options = "-k " + mDir.string() + " -c listen_addresses= -c fsync=off " +
                                "-c synchronous_commit=off -c full_page_writes=off";
    if (run(mAsUser + quoted(mBin / "pg_ctl") + " -D " + quoted(data) + " -l " + quoted(log) + " -w -o " +
            quoted(fs::path(options)) + " start > /dev/null 2>&1") != 0)
        throw std::runtime_error("the test server did not start: " + fileText(log));
    mStarted = true;
}

PostgresServer::~PostgresServer()
{
    if (mStarted)
        run(mAsUser + quoted(mBin / "pg_ctl") + " -D " + quoted(mDir / "data") +
            " -m immediate -w stop > /dev/null 2>&1");
    if (mOwnDir) {
        std::error_code ignored;
        fs::remove_all(mDir, ignored);
    }
}

int PostgresServer::run(const std::string& command) const
{
    return std::system(command.c_str());
}

std::string PostgresServer::connection(const std::string& database) const
{
    return "host=" + mDir.string() + " port=5432 user=postgres dbname=" + database;
}

std::string PostgresServer::createDatabase(const std::string& name) const
{
    query(connection(), "CREATE DATABASE \"" + name + "\"");
    return connection(name);
}

std::string PostgresServer::query(const std::string& connection, const std::string& sql) const
{
    PGconn* conn = PQconnectdb(connection.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot connect: " + message);
    }
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(conn, sql.c_str());
    std::string text;
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const std::string message = PQresultErrorMessage(r);
        PQclear(r);
        PQfinish(conn);
        throw std::runtime_error(message);
    }
    for (int row = 0; row < PQntuples(r); ++row) {
        for (int c = 0; c < PQnfields(r); ++c)
            text += (c ? "|" : "") + std::string(PQgetisnull(r, row, c) ? "NULL" : PQgetvalue(r, row, c));
        text += '\n';
    }
    PQclear(r);
    PQfinish(conn);
    return text;
}

} // namespace testsupport
