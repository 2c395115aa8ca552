#include "store/ExperimentFile.h"

#include "engine/FuzzyController.h"
#include "engine/SessionLimits.h"
#include "engine/Terms.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>

namespace tervalo {

namespace {

constexpr qint64 kFileLimit = 1024 * 1024;

const char *const kControllers[] = {"P", "I", "PI", "PD", "PID", "fuzzy"};
constexpr RunMode kModes[] = {RunMode::OpenLoop, RunMode::Kit, RunMode::Simulation};

struct Refused {
    ExperimentError error;
};

[[noreturn]] void refuse(const QString &key, const QString &reason)
{
    throw Refused{{key, reason}};
}

QString str(const char *s)
{
    return QString::fromLatin1(s);
}

// The object's keys must be exactly these.
void exactKeys(const QJsonObject &o, const QString &where, std::initializer_list<const char *> keys)
{
    const QString prefix = where.isEmpty() ? QString() : where + QLatin1Char('.');
    QSet<QString> known;
    for (const char *k : keys) {
        known.insert(str(k));
        if (!o.contains(str(k)))
            refuse(prefix + str(k), QStringLiteral("missing"));
    }
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!known.contains(it.key()))
            refuse(prefix + it.key(), QStringLiteral("unknown key"));
}

QJsonObject objectAt(const QJsonObject &o, const QString &key, const QString &name)
{
    const QJsonValue v = o.value(name);
    if (!v.isObject())
        refuse(key, QStringLiteral("not an object"));
    return v.toObject();
}

double numberAt(const QJsonValue &v, const QString &key)
{
    if (!v.isDouble())
        refuse(key, QStringLiteral("not a number"));
    return v.toDouble();
}

int wholeIn(const QJsonValue &v, const QString &key, long long min, long long max)
{
    const double d = numberAt(v, key);
    if (d != std::floor(d))
        refuse(key, QStringLiteral("%1 is not a whole number").arg(d));
    if (d < static_cast<double>(min) || d > static_cast<double>(max))
        refuse(key, QStringLiteral("%1 is outside %2..%3").arg(d).arg(min).arg(max));
    return static_cast<int>(d);
}

QString textAt(const QJsonValue &v, const QString &key)
{
    if (!v.isString())
        refuse(key, QStringLiteral("not a text"));
    return v.toString();
}

std::string gainName(Gain g)
{
    return ClassicPanels::name(g);
}

// The term index of a name in either language, -1 for none.
int termIndex(const QString &name)
{
    for (int language : {Terms::English, Terms::Turkish}) {
        const auto &names = Terms::names(language);
        for (int k = 0; k < 7; ++k)
            if (name == QString::fromUtf8(names[static_cast<std::size_t>(k)]))
                return k;
    }
    return -1;
}

Experiment parse(const QByteArray &contents)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(contents, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        refuse({}, QStringLiteral("not JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset));
    if (!doc.isObject())
        refuse({}, QStringLiteral("not a JSON object"));
    const QJsonObject o = doc.object();
    // the format and version first: a file of another kind is named as such
    if (textAt(o.value(QStringLiteral("format")), QStringLiteral("format")) != str(ExperimentFile::kFormat))
        refuse(QStringLiteral("format"), QStringLiteral("not \"%1\"").arg(str(ExperimentFile::kFormat)));
    const QJsonValue version = o.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != ExperimentFile::kVersion)
        refuse(QStringLiteral("version"),
               QStringLiteral("unknown version (this program reads version %1)").arg(ExperimentFile::kVersion));
    exactKeys(o, {},
              {"format", "version", "mode", "controller", "gains", "divisors", "reference", "rules", "test_program"});

    Experiment e;
    const QString mode = textAt(o.value(QStringLiteral("mode")), QStringLiteral("mode"));
    bool found = false;
    for (RunMode m : kModes)
        if (mode == str(runModeName(m))) {
            e.mode = m;
            found = true;
        }
    if (!found)
        refuse(QStringLiteral("mode"), QStringLiteral("\"%1\" is none of open, kit, simulation").arg(mode));

    const QString controller = textAt(o.value(QStringLiteral("controller")), QStringLiteral("controller"));
    found = false;
    for (const char *c : kControllers)
        found = found || controller == str(c);
    if (!found)
        refuse(QStringLiteral("controller"),
               QStringLiteral("\"%1\" is none of P, I, PI, PD, PID, fuzzy").arg(controller));
    e.controller = controller.toStdString();

    const QJsonObject gains = objectAt(o, QStringLiteral("gains"), QStringLiteral("gains"));
    exactKeys(gains, QStringLiteral("gains"), {"kp", "ki", "kd"});
    for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd}) {
        const QString key = QStringLiteral("gains.") + QString::fromStdString(gainName(g));
        const double v = numberAt(gains.value(QString::fromStdString(gainName(g))), key);
        const double limit = ExperimentFile::gainLimit(e.controller, g);
        if (!(v >= 0 && v <= limit))
            refuse(key, QStringLiteral("%1 is outside the bar's range 0..%2").arg(v).arg(limit));
        if (std::fabs(v * 1000 - std::round(v * 1000)) > 1e-6)
            refuse(key, QStringLiteral("%1 is not on the bar's steps of 0.001").arg(v));
        (g == Gain::Kp ? e.kp : g == Gain::Ki ? e.ki : e.kd) = std::round(v * 1000) / 1000;
    }

    const QJsonObject divisors = objectAt(o, QStringLiteral("divisors"), QStringLiteral("divisors"));
    exactKeys(divisors, QStringLiteral("divisors"), {"error", "output"});
    e.errorDivisor = wholeIn(divisors.value(QStringLiteral("error")), QStringLiteral("divisors.error"),
                             SessionLimits::kErrorDivisorMin, SessionLimits::kErrorDivisorMax);
    e.outputDivisor = wholeIn(divisors.value(QStringLiteral("output")), QStringLiteral("divisors.output"),
                              SessionLimits::kOutputDivisorMin, SessionLimits::kOutputDivisorMax);
    e.reference = wholeIn(o.value(QStringLiteral("reference")), QStringLiteral("reference"),
                          SessionLimits::kReferenceMin, SessionLimits::kReferenceMax);

    const QJsonValue rules = o.value(QStringLiteral("rules"));
    if (!rules.isArray() || rules.toArray().size() != FuzzyController::termCount)
        refuse(QStringLiteral("rules"), QStringLiteral("not seven rows"));
    for (int r = 0; r < FuzzyController::termCount; ++r) {
        const QString rowKey = QStringLiteral("rules[%1]").arg(r);
        const QJsonValue row = rules.toArray()[r];
        if (!row.isArray() || row.toArray().size() != FuzzyController::termCount)
            refuse(rowKey, QStringLiteral("not seven term names"));
        for (int c = 0; c < FuzzyController::termCount; ++c) {
            const QString key = rowKey + QStringLiteral("[%1]").arg(c);
            const QString name = textAt(row.toArray()[c], key);
            const int term = termIndex(name);
            if (term < 0)
                refuse(key, QStringLiteral("\"%1\" is no term name").arg(name));
            e.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))] = term;
        }
    }

    const QJsonValue program = o.value(QStringLiteral("test_program"));
    if (!program.isArray())
        refuse(QStringLiteral("test_program"), QStringLiteral("not a list"));
    const QJsonArray events = program.toArray();
    for (int k = 0; k < events.size(); ++k) {
        const QString key = QStringLiteral("test_program[%1]").arg(k);
        if (!events[k].isObject())
            refuse(key, QStringLiteral("not an object"));
        const QJsonObject ev = events[k].toObject();
        const bool reference = ev.contains(QStringLiteral("reference"));
        exactKeys(ev, key, {"cycle", reference ? "reference" : "load"});
        TestEvent event;
        event.cycle = wholeIn(ev.value(QStringLiteral("cycle")), key + QStringLiteral(".cycle"), 1, 1000000000);
        event.kind = reference ? TestEvent::Kind::Reference : TestEvent::Kind::Load;
        event.value = reference ? wholeIn(ev.value(QStringLiteral("reference")), key + QStringLiteral(".reference"),
                                          SessionLimits::kReferenceMin, SessionLimits::kReferenceMax)
                                : wholeIn(ev.value(QStringLiteral("load")), key + QStringLiteral(".load"),
                                          SessionLimits::kLoadMin, SessionLimits::kLoadMax);
        const std::string reason = e.program.add(event);
        if (!reason.empty())
            refuse(key, QString::fromStdString(reason));
    }
    return e;
}

} // namespace

double ExperimentFile::gainLimit(const std::string &controller, Gain g)
{
    int widest = 0;
    for (const ClassicPanel &panel : ClassicPanels::all())
        for (std::size_t k = 0; k < panel.sliderCount; ++k)
            if (panel.sliders[k].gain == g) {
                if (controller == panel.name)
                    return panel.sliders[k].max / 1000.0;
                widest = std::max(widest, panel.sliders[k].max);
            }
    return widest / 1000.0;
}

QByteArray ExperimentFile::toJson(const Experiment &e)
{
    QJsonObject o;
    o[QStringLiteral("format")] = str(kFormat);
    o[QStringLiteral("version")] = kVersion;
    o[QStringLiteral("mode")] = str(runModeName(e.mode));
    o[QStringLiteral("controller")] = QString::fromStdString(e.controller);
    o[QStringLiteral("gains")] =
        QJsonObject{{QStringLiteral("kp"), e.kp}, {QStringLiteral("ki"), e.ki}, {QStringLiteral("kd"), e.kd}};
    o[QStringLiteral("divisors")] =
        QJsonObject{{QStringLiteral("error"), e.errorDivisor}, {QStringLiteral("output"), e.outputDivisor}};
    o[QStringLiteral("reference")] = e.reference;
    const auto &names = Terms::names(Terms::English);
    QJsonArray rules;
    for (int r = 0; r < FuzzyController::termCount; ++r) {
        QJsonArray row;
        for (int c = 0; c < FuzzyController::termCount; ++c) {
            const int term = e.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))];
            row.append(str(names[static_cast<std::size_t>(std::clamp(term, 0, 6))]));
        }
        rules.append(row);
    }
    o[QStringLiteral("rules")] = rules;
    QJsonArray program;
    for (const TestEvent &ev : e.program.events())
        program.append(QJsonObject{{QStringLiteral("cycle"), static_cast<double>(ev.cycle)},
                                   {str(testEventKindName(ev.kind)), ev.value}});
    o[QStringLiteral("test_program")] = program;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool ExperimentFile::fromJson(const QByteArray &contents, Experiment &out, ExperimentError &why)
{
    try {
        out = parse(contents);
        return true;
    } catch (const Refused &r) {
        why = r.error;
        return false;
    }
}

FileError ExperimentFile::write(const Experiment &e, const QString &path)
{
    return RunFiles::writeAtomically(path, toJson(e));
}

bool ExperimentFile::read(const QString &path, Experiment &out, ExperimentError &why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = {{}, path + QStringLiteral(": ") + file.errorString()};
        return false;
    }
    const QByteArray contents = file.read(kFileLimit + 1);
    if (contents.size() > kFileLimit) {
        why = {{}, path + QStringLiteral(": larger than a megabyte")};
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        why = {{}, path + QStringLiteral(": ") + file.errorString()};
        return false;
    }
    return fromJson(contents, out, why);
}

} // namespace tervalo
