#pragma once
// Why reading or writing a file failed: the file as the user named it and the
// system's reason ("No space left on device"). Every writer of a user's files
// answers with one of these, so that a failure is told the same way
// everywhere: "<path>: <reason>".

#include <QString>

namespace tervalo {

struct FileError {
    QString path;
    QString reason;

    // An empty path means success.
    bool failed() const { return !path.isEmpty(); }
    explicit operator bool() const { return failed(); }
    QString message() const { return path + QStringLiteral(": ") + reason; }

    // The system's text for an errno value.
    static FileError system(const QString &path, int error);
};

} // namespace tervalo
