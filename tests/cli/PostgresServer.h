#pragma once
// A throw-away PostgreSQL cluster for tests: initdb into a directory, the server listening on a
// Unix socket in that directory only (no TCP), stopped and removed with the object. Run as root,
// the server runs as the unprivileged user "postgres" that the Debian package creates, and the
// directory is handed to it.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

class PostgresServer {
public:
    // Starts the server; std::runtime_error with a message that says what is missing or failed.
    explicit PostgresServer(std::filesystem::path dir);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // A libpq connection string for the database.
    std::string connection(const std::string& database = "postgres") const;
    // Creates an empty database and returns its connection string.
    std::string createDatabase(const std::string& name) const;

    // Runs one statement; its rows, columns separated by '|', rows ended by '\n', NULL as
    // "NULL". std::runtime_error with the server's message when it fails.
    std::string query(const std::string& connection, const std::string& sql) const;

    // The server's own directory: a file the server is to read (COPY FROM a file) goes here.
    const std::filesystem::path& directory() const { return mDir; }

private:
    int run(const std::string& command) const;

    std::filesystem::path mDir;
    std::filesystem::path mBin;
    std::string mAsUser; // "runuser -u postgres -- " when run as root
    bool mStarted = false;
    bool mOwnDir = false; // mDir was made under the system's temporary directory, and goes with us
};

} // namespace testsupport
