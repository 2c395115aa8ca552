#pragma once
// Files that reach their names whole or not at all.
//
// Each file is written to a temporary file in the folder of its name, checked
// at every write, flushed to the disk and renamed over the name only when
// complete; on any failure the temporary file goes and an older file of that
// name stays as it was. A link is followed: the file it leads to is replaced.
//
// A name that is a pipe or a character device (/dev/stdout, a FIFO the user
// made on purpose) cannot be replaced by a rename: the contents go straight
// into it. A FIFO nobody reads is refused at once ("no reader") instead of
// waiting for a reader. A folder, a block device or a socket is refused.

#include "fileio/FileError.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

namespace tervalo {

struct FileContents {
    QString path;
    QByteArray contents;
};

// One file.
FileError writeFileAtomically(const QString &path, const QByteArray &contents);

// Files that belong together (a run's CSV and its settings): all are made
// complete before any replaces its name, so a failure while writing leaves
// every one of them as it was. The first failure is returned.
FileError writeFilesAtomically(const std::vector<FileContents> &files);

// Reads a whole file of at most limit bytes into out. A pipe or a device is
// read as it comes, within the limit; opening never waits for a writer, and a
// pipe nobody writes into is refused ("no writer"). A longer file is refused
// with tooLarge set.
FileError readFileBounded(const QString &path, std::size_t limit, QByteArray &out, bool *tooLarge = nullptr);

} // namespace tervalo
