#pragma once
// The files of a run record: the rows as CSV (RFC 4180: one header row of the
// column names, CRLF line ends, UTF-8, '.' as the decimal separator whatever
// the locale, numbers in their shortest exact form, an empty field for a value
// a cycle did not have) and the run's settings as JSON beside it, with the
// same base name ("run.csv" and "run.json").
//
// Both files are written whole or not at all (fileio/AtomicFile): a failed
// save leaves no partial file and the older files of those names as they
// were. The record is never changed by a save.

#include "engine/RunRecord.h"
#include "fileio/FileError.h"

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace tervalo {

// What a run is called in the run library: carried in its JSON ("name",
// "note") when it has them.
struct RunLabel {
    QString name, note;
};

class RunFiles {
public:
    // The CSV and JSON names of a chosen name: a ".csv" or ".json" ending is
    // replaced, any other name gets ".csv" / ".json" added.
    static QString csvPath(const QString &chosen);
    static QString jsonPath(const QString &chosen);
    // The CSV beside a picture: same folder and base name ("3_9_2026.jpeg"
    // gives "3_9_2026.csv").
    static QString besidePicture(const QString &picturePath);

    // All rows, or rows [begin, end) (cut to the rows there are), to the CSV
    // and the settings to the JSON beside it. The JSON names the rows it
    // covers and holds their figures, and the run's name and note if given.
    static FileError save(const RunRecord &record, const QString &chosen, const RunLabel &label = {});
    static FileError saveRows(const RunRecord &record, const QString &chosen, std::size_t begin, std::size_t end,
                              const RunLabel &label = {});

    // The contents that save() writes.
    static QByteArray csv(const RunRecord &record, std::size_t begin, std::size_t end);
    // Appends a value as the CSV writes it: its shortest exact text; NaN
    // writes nothing (an empty field).
    static void appendNumber(QByteArray &out, double v);
    static QByteArray settingsJson(const RunRecord &record, std::size_t begin, std::size_t end,
                                   const RunLabel &label = {});
};

} // namespace tervalo
