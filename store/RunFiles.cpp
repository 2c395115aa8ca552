#include "store/RunFiles.h"

#include "engine/FuzzyController.h"
#include "fileio/AtomicFile.h"
#include "store/RunSettingsJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tervalo {

namespace {

QString withoutDataSuffix(const QString &chosen)
{
    for (const char *suffix : {".csv", ".json"})
        if (chosen.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return chosen.left(chosen.size() - static_cast<int>(qstrlen(suffix)));
    return chosen;
}

void clamp(const RunRecord &record, std::size_t &begin, std::size_t &end)
{
    end = std::min(end, record.size());
    begin = std::min(begin, end);
}

} // namespace

QString RunFiles::csvPath(const QString &chosen)
{
    return withoutDataSuffix(chosen) + QStringLiteral(".csv");
}

QString RunFiles::jsonPath(const QString &chosen)
{
    return withoutDataSuffix(chosen) + QStringLiteral(".json");
}

QString RunFiles::besidePicture(const QString &picturePath)
{
    const QFileInfo info(picturePath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".csv"));
}

void RunFiles::appendNumber(QByteArray &out, double v)
{
    if (std::isnan(v))
        return;
    if (v == 0) {
        out += '0';
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<int>(r.ptr - buf));
}

QByteArray RunFiles::csv(const RunRecord &record, std::size_t begin, std::size_t end)
{
    clamp(record, begin, end);
    QByteArray out;
    // at most about 12 characters a field
    out.reserve(static_cast<int>((end - begin + 1) * kRunColumnCount * 12));
    // Names and numbers never hold a comma, quote or line break, so no field
    // needs quoting.
    for (std::size_t c = 0; c < kRunColumnCount; ++c) {
        if (c)
            out += ',';
        out += kRunColumns[c].name;
    }
    out += "\r\n";
    for (std::size_t k = begin; k < end; ++k) {
        const RunRow &row = record.row(k);
        for (std::size_t c = 0; c < kRunColumnCount; ++c) {
            if (c)
                out += ',';
            appendNumber(out, columnValue(row, kRunColumns[c].column));
        }
        out += "\r\n";
    }
    return out;
}

QByteArray RunFiles::settingsJson(const RunRecord &record, std::size_t begin, std::size_t end, const RunLabel &label)
{
    clamp(record, begin, end);
    QJsonObject o;
    RunSettingsJson::write(record.settings(), o);
    if (!label.name.isEmpty())
        o[QStringLiteral("name")] = label.name;
    if (!label.note.isEmpty())
        o[QStringLiteral("note")] = label.note;

    QJsonArray columns;
    for (const RunColumnInfo &c : kRunColumns)
        columns.append(QString::fromLatin1(c.name));
    o[QStringLiteral("columns")] = columns;
    o[QStringLiteral("rows")] = static_cast<double>(end - begin);
    if (begin < end) {
        o[QStringLiteral("first_cycle")] = static_cast<double>(record.row(begin).cycle);
        o[QStringLiteral("last_cycle")] = static_cast<double>(record.row(end - 1).cycle);
    }
    o[QStringLiteral("rows_not_kept")] = static_cast<double>(record.droppedRows());

    const StepFigures figures = record.figures(begin, end);
    QJsonObject values, reasons;
    for (const MetricInfo &m : kMetrics) {
        const Figure &f = figures[m.metric];
        const QString key = QString::fromLatin1(m.key);
        if (f.available()) {
            values[key] = f.value;
        } else {
            values[key] = QJsonValue();
            reasons[key] = QString::fromLatin1(reasonText(f.reason));
        }
    }
    o[QStringLiteral("figures")] = values;
    o[QStringLiteral("figures_not_available")] = reasons;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

FileError RunFiles::save(const RunRecord &record, const QString &chosen, const RunLabel &label)
{
    return saveRows(record, chosen, 0, record.size(), label);
}

FileError RunFiles::saveRows(const RunRecord &record, const QString &chosen, std::size_t begin, std::size_t end,
                             const RunLabel &label)
{
    // no settings file without its rows, no rows without their settings
    return writeFilesAtomically(
        {{jsonPath(chosen), settingsJson(record, begin, end, label)}, {csvPath(chosen), csv(record, begin, end)}});
}

} // namespace tervalo
