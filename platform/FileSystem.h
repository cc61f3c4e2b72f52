#pragma once
// File-system helpers with the runtime's error texts.
#include <QString>

#include <stdexcept>

// A failed file operation, carrying the runtime's text: "File not found" (code 2), "File access
// denied" (code 5) or "I/O error <code>".
class EInOutError : public std::runtime_error {
public:
    EInOutError(int code, const QString& message);
    int code() const { return mCode; }
    // The error for a failed system call's errno.
    static EInOutError fromErrno(int err);

private:
    int mCode;
};

// Deletes one file; throws EInOutError when it cannot.
void eraseFile(const QString& path);
