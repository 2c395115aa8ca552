#include "store/RunSettingsJson.h"

#include "engine/FuzzyController.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace tervalo::RunSettingsJson {

namespace {

QJsonValue number(double v)
{
    return std::isnan(v) ? QJsonValue() : QJsonValue(v);
}

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

bool getInt(const QJsonObject &o, const char *key, int &out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    out = v.toInt();
    return true;
}

double gainOf(const QJsonObject &gains, const char *key)
{
    const QJsonValue v = gains.value(QLatin1String(key));
    return v.isDouble() ? v.toDouble() : kNoValue;
}

} // namespace

void write(const RunSettings &s, QJsonObject &o)
{
    o[QStringLiteral("start_utc")] = text(utcText(s.start));
    o[QStringLiteral("mode")] = QString::fromLatin1(runModeName(s.mode));
    o[QStringLiteral("controller")] = QString::fromLatin1(runControllerName(s.controller));
    o[QStringLiteral("reference")] = s.reference;
    o[QStringLiteral("cycle_period_s")] = 1 / kCyclesPerSecond;
    o[QStringLiteral("actuator_min")] = s.actuatorMin;
    o[QStringLiteral("actuator_max")] = s.actuatorMax;
    if (s.fuzzy()) {
        QJsonObject f;
        f[QStringLiteral("error_divisor")] = s.errorDivisor;
        f[QStringLiteral("output_divisor")] = s.outputDivisor;
        f[QStringLiteral("error_range")] = s.errorRange;
        f[QStringLiteral("error_change_range")] = s.deltaRange;
        f[QStringLiteral("output_step_range")] = s.outputRange;
        QJsonArray terms;
        for (const std::string &t : s.termNames)
            terms.append(text(t));
        f[QStringLiteral("term_names")] = terms;
        // rows by error term, columns by error-change term, NB first
        QJsonArray table;
        for (int r = 0; r < FuzzyController::termCount; ++r) {
            QJsonArray line;
            for (int c = 0; c < FuzzyController::termCount; ++c)
                line.append(text(s.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))]));
            table.append(line);
        }
        f[QStringLiteral("rules")] = table;
        o[QStringLiteral("fuzzy")] = f;
    } else {
        QJsonObject g;
        g[QStringLiteral("kp")] = number(s.kp);
        g[QStringLiteral("ki")] = number(s.ki);
        g[QStringLiteral("kd")] = number(s.kd);
        o[QStringLiteral("gains")] = g;
    }
    o[QStringLiteral("load")] = s.load;
    QJsonArray loads;
    for (const LoadChange &c : s.loadChanges)
        loads.append(QJsonObject{{QStringLiteral("cycle"), static_cast<double>(c.cycle)},
                                 {QStringLiteral("from"), c.from},
                                 {QStringLiteral("to"), c.to}});
    o[QStringLiteral("load_changes")] = loads;
}

bool read(const QJsonObject &o, RunSettings &out)
{
    RunSettings s;
    const QDateTime start = QDateTime::fromString(o.value(QLatin1String("start_utc")).toString(), Qt::ISODate);
    if (!start.isValid())
        return false;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(start.toSecsSinceEpoch());
    const std::optional<RunMode> mode = runModeNamed(o.value(QLatin1String("mode")).toString().toStdString());
    const std::optional<RunController> controller =
        runControllerNamed(o.value(QLatin1String("controller")).toString().toStdString());
    if (!mode || !controller)
        return false;
    s.mode = *mode;
    s.controller = *controller;
    if (!getInt(o, "reference", s.reference) || !getInt(o, "actuator_min", s.actuatorMin)
        || !getInt(o, "actuator_max", s.actuatorMax) || !getInt(o, "load", s.load))
        return false;
    if (s.fuzzy()) {
        const QJsonObject f = o.value(QLatin1String("fuzzy")).toObject();
        if (!getInt(f, "error_divisor", s.errorDivisor) || !getInt(f, "output_divisor", s.outputDivisor)
            || !getInt(f, "error_range", s.errorRange) || !getInt(f, "error_change_range", s.deltaRange)
            || !getInt(f, "output_step_range", s.outputRange))
            return false;
        const QJsonArray terms = f.value(QLatin1String("term_names")).toArray();
        const QJsonArray table = f.value(QLatin1String("rules")).toArray();
        if (terms.size() != 7 || table.size() != FuzzyController::termCount)
            return false;
        for (int k = 0; k < 7; ++k)
            s.termNames[static_cast<std::size_t>(k)] = terms[k].toString().toStdString();
        for (int r = 0; r < FuzzyController::termCount; ++r) {
            const QJsonArray line = table[r].toArray();
            if (line.size() != FuzzyController::termCount)
                return false;
            for (int c = 0; c < FuzzyController::termCount; ++c)
                s.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))] = line[c].toString().toStdString();
        }
    } else {
        const QJsonObject g = o.value(QLatin1String("gains")).toObject();
        s.kp = gainOf(g, "kp");
        s.ki = gainOf(g, "ki");
        s.kd = gainOf(g, "kd");
    }
    for (const QJsonValue &v : o.value(QLatin1String("load_changes")).toArray()) {
        const QJsonObject c = v.toObject();
        LoadChange change;
        change.cycle = static_cast<std::int64_t>(c.value(QLatin1String("cycle")).toDouble());
        change.from = c.value(QLatin1String("from")).toInt();
        change.to = c.value(QLatin1String("to")).toInt();
        s.loadChanges.push_back(change);
    }
    out = std::move(s);
    return true;
}

bool read(const QByteArray &json, RunSettings &out)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    return doc.isObject() && read(doc.object(), out);
}

} // namespace tervalo::RunSettingsJson
