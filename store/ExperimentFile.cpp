#include "store/ExperimentFile.h"

#include "engine/FuzzyController.h"
#include "engine/SessionLimits.h"
#include "engine/Terms.h"
#include "fileio/AtomicFile.h"
#include "store/JsonKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace tervalo {

namespace {

constexpr std::size_t kFileLimit = 1024 * 1024;

using Reason = ExperimentError::Reason;

struct Both {
    const char *english;
    const char *turkish;
};

// The reasons in the order of ExperimentError::Reason; %1... are its values.
// The test events' English reasons are the test program's own.
const Both kReasons[] = {
    {"not JSON (%1 at line %2, column %3)", "JSON değil (%2. satırın %3. sütununda %1)"},
    {"not a JSON object", "bir JSON nesnesi değil"},
    {"not \"%1\"", "\"%1\" değil"},
    {"unknown version (this program reads version %1)", "bilinmeyen sürüm (bu program %1. sürümü okur)"},
    {"missing", "eksik"},
    {"unknown key", "bilinmeyen anahtar"},
    {"not an object", "bir nesne değil"},
    {"not a number", "bir sayı değil"},
    {"not a text", "bir yazı değil"},
    {"not a list", "bir liste değil"},
    {"%1 is not a whole number", "%1 bir tam sayı değil"},
    {"%1 is outside %2..%3", "%1, %2..%3 aralığının dışında"},
    {"\"%1\" is none of open, kit, simulation", "\"%1\" open, kit, simulation değerlerinden biri değil"},
    {"\"%1\" is none of P, I, PI, PD, PID, fuzzy", "\"%1\" P, I, PI, PD, PID, fuzzy değerlerinden biri değil"},
    {"%1 is outside the bar's range 0..%2", "%1, çubuğun 0..%2 aralığının dışında"},
    {"%1 is not on the bar's steps of 0.001", "%1, çubuğun 0,001'lik adımlarına denk gelmiyor"},
    {"not seven rows", "yedi satır değil"},
    {"not seven term names", "yedi terim adı değil"},
    {"\"%1\" is no term name", "\"%1\" bir terim adı değil"},
    {nullptr, "çevrim %1: çevrimler 1'den başlar"},
    {nullptr, "referans %1: referans 500 ile 2000 arasında olmalı"},
    {nullptr, "yük %1: yük 1 ile 30 arasında olmalı"},
    {"%1: %2", "%1: %2"},
    {"%1: larger than a megabyte", "%1: bir megabayttan büyük"},
    {"given twice", "iki kez verilmiş"},
    {nullptr, "çevrim %1: bu çevrimde ikinci bir %2 olayı"},
};
static_assert(std::size(kReasons) == static_cast<std::size_t>(Reason::Count), "one text pair per reason");

// A rule row and a rule cell by their terms: the key, the row's error term,
// the column's change-of-error term.
const Both kRuleRow = {"%1: row %2", "%1: satır %2"};
const Both kRuleCell = {"%1: row %2, column %3", "%1: satır %2, sütun %3"};

struct Refused {
    ExperimentError error;
};

[[noreturn]] void refuse(const QString &key, Reason kind, const QStringList &values = {})
{
    throw Refused{{key, kind, values}};
}

[[noreturn]] void refuseRule(int row, int column, Reason kind, const QStringList &values = {})
{
    throw Refused{ExperimentError::rule(row, column, kind, values)};
}

// The line and column (both from 1, the column in characters) of a byte of
// the file, as an editor shows them.
std::pair<int, int> lineAndColumn(const QByteArray &contents, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, contents.size());
    int line = 1, column = 1;
    for (qsizetype k = 0; k < offset; ++k) {
        const auto byte = static_cast<unsigned char>(contents[k]);
        if (byte == '\n') {
            ++line;
            column = 1;
        } else if ((byte & 0xC0) != 0x80) { // not a UTF-8 continuation byte
            ++column;
        }
    }
    return {line, column};
}

QString str(const char *s)
{
    return QString::fromLatin1(s);
}

// A number as the reasons show it.
QString num(double d)
{
    return QStringLiteral("%1").arg(d);
}

// The object's keys must be exactly these.
void exactKeys(const QJsonObject &o, const QString &where, std::initializer_list<const char *> keys)
{
    const QString prefix = where.isEmpty() ? QString() : where + QLatin1Char('.');
    QSet<QString> known;
    for (const char *k : keys) {
        known.insert(str(k));
        if (!o.contains(str(k)))
            refuse(prefix + str(k), Reason::Missing);
    }
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!known.contains(it.key()))
            refuse(prefix + it.key(), Reason::UnknownKey);
}

QJsonObject objectAt(const QJsonObject &o, const QString &key, const QString &name)
{
    const QJsonValue v = o.value(name);
    if (!v.isObject())
        refuse(key, Reason::NotObject);
    return v.toObject();
}

double numberAt(const QJsonValue &v, const QString &key)
{
    if (!v.isDouble())
        refuse(key, Reason::NotNumber);
    return v.toDouble();
}

int wholeIn(const QJsonValue &v, const QString &key, long long min, long long max)
{
    const double d = numberAt(v, key);
    if (d != std::floor(d))
        refuse(key, Reason::NotWhole, {num(d)});
    if (d < static_cast<double>(min) || d > static_cast<double>(max))
        refuse(key, Reason::Outside, {num(d), QString::number(min), QString::number(max)});
    return static_cast<int>(d);
}

QString textAt(const QJsonValue &v, const QString &key)
{
    if (!v.isString())
        refuse(key, Reason::NotText);
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
    if (parseError.error != QJsonParseError::NoError) {
        const auto [line, column] = lineAndColumn(contents, parseError.offset);
        refuse({}, Reason::NotJson, {parseError.errorString(), QString::number(line), QString::number(column)});
    }
    if (!doc.isObject())
        refuse({}, Reason::NotJsonObject);
    const QJsonObject o = doc.object();
    // the format and version first: a file of another kind is named as such
    if (textAt(o.value(QStringLiteral("format")), QStringLiteral("format")) != str(ExperimentFile::kFormat))
        refuse(QStringLiteral("format"), Reason::NotFormat, {str(ExperimentFile::kFormat)});
    const QJsonValue version = o.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != ExperimentFile::kVersion)
        refuse(QStringLiteral("version"), Reason::UnknownVersion, {QString::number(ExperimentFile::kVersion)});
    if (const QString twice = duplicateJsonKey(contents); !twice.isEmpty())
        refuse(twice, Reason::DuplicateKey);
    exactKeys(o, {},
              {"format", "version", "mode", "controller", "gains", "divisors", "reference", "rules", "test_program"});

    Experiment e;
    const QString mode = textAt(o.value(QStringLiteral("mode")), QStringLiteral("mode"));
    const std::optional<RunMode> runMode = runModeNamed(mode.toStdString());
    if (!runMode)
        refuse(QStringLiteral("mode"), Reason::UnknownMode, {mode});
    e.mode = *runMode;

    const QString controller = textAt(o.value(QStringLiteral("controller")), QStringLiteral("controller"));
    if (!runControllerNamed(controller.toStdString()))
        refuse(QStringLiteral("controller"), Reason::UnknownController, {controller});
    e.controller = controller.toStdString();

    const QJsonObject gains = objectAt(o, QStringLiteral("gains"), QStringLiteral("gains"));
    exactKeys(gains, QStringLiteral("gains"), {"kp", "ki", "kd"});
    for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd}) {
        const QString key = QStringLiteral("gains.") + QString::fromStdString(gainName(g));
        const double v = numberAt(gains.value(QString::fromStdString(gainName(g))), key);
        const double limit = ExperimentFile::gainLimit(e.controller, g);
        if (!(v >= 0 && v <= limit))
            refuse(key, Reason::OutsideBar, {num(v), num(limit)});
        const std::optional<int> bar = ClassicPanels::onBarSteps(v);
        if (!bar)
            refuse(key, Reason::OffBarSteps, {num(v)});
        (g == Gain::Kp ? e.kp : g == Gain::Ki ? e.ki : e.kd) = ClassicPanels::fromBar(*bar);
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
        refuse(QStringLiteral("rules"), Reason::NotSevenRows);
    for (int r = 0; r < FuzzyController::termCount; ++r) {
        const QJsonValue row = rules.toArray()[r];
        if (!row.isArray() || row.toArray().size() != FuzzyController::termCount)
            refuseRule(r, -1, Reason::NotSevenTerms);
        for (int c = 0; c < FuzzyController::termCount; ++c) {
            const QJsonValue cell = row.toArray()[c];
            if (!cell.isString())
                refuseRule(r, c, Reason::NotText);
            const QString name = cell.toString();
            const int term = termIndex(name);
            if (term < 0)
                refuseRule(r, c, Reason::NoTermName, {name});
            e.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))] = term;
        }
    }

    const QJsonValue program = o.value(QStringLiteral("test_program"));
    if (!program.isArray())
        refuse(QStringLiteral("test_program"), Reason::NotList);
    const QJsonArray events = program.toArray();
    for (int k = 0; k < events.size(); ++k) {
        const QString key = QStringLiteral("test_program[%1]").arg(k);
        if (!events[k].isObject())
            refuse(key, Reason::NotObject);
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
        switch (TestProgram::fault(event)) {
        case TestProgram::Fault::None: break;
        case TestProgram::Fault::CycleBeforeFirst: refuse(key, Reason::EventCycle, {QString::number(event.cycle)});
        case TestProgram::Fault::ReferenceOutside: refuse(key, Reason::EventReference, {QString::number(event.value)});
        case TestProgram::Fault::LoadOutside: refuse(key, Reason::EventLoad, {QString::number(event.value)});
        }
        if (e.program.has(event.cycle, event.kind))
            refuse(key, Reason::EventTwice,
                   {QString::number(event.cycle), QString::fromLatin1(testEventKindName(event.kind))});
        e.program.add(event);
    }
    return e;
}

} // namespace

ExperimentError ExperimentError::rule(int row, int column, Reason kind, const QStringList &values)
{
    ExperimentError e{QStringLiteral("rules"), kind, values};
    e.ruleRow = row;
    e.ruleColumn = column;
    return e;
}

QString ExperimentError::place(bool english) const
{
    if (ruleRow < 0 || ruleRow >= FuzzyController::termCount)
        return key;
    // the terms in the language the message is in
    const auto &terms = Terms::names(english ? Terms::English : Terms::Turkish);
    const QString row = QString::fromUtf8(terms[static_cast<std::size_t>(ruleRow)]);
    if (ruleColumn < 0 || ruleColumn >= FuzzyController::termCount)
        return QString::fromUtf8(english ? kRuleRow.english : kRuleRow.turkish).arg(key, row);
    const QString column = QString::fromUtf8(terms[static_cast<std::size_t>(ruleColumn)]);
    return QString::fromUtf8(english ? kRuleCell.english : kRuleCell.turkish).arg(key, row, column);
}

QString ExperimentError::reason(bool english) const
{
    const auto k = static_cast<std::size_t>(kind);
    if (k >= std::size(kReasons))
        return {};
    if (kind == Reason::EventTwice) {
        const bool reference = values.value(1) == QLatin1String(testEventKindName(TestEvent::Kind::Reference));
        const TestEvent e{values.value(0).toLongLong(), reference ? TestEvent::Kind::Reference : TestEvent::Kind::Load,
                          0};
        if (english)
            return QString::fromStdString(TestProgram::secondAtCycle(e));
        return QString::fromUtf8(kReasons[k].turkish)
            .arg(values.value(0), reference ? QStringLiteral("referans") : QStringLiteral("yük"));
    }
    if (english && !kReasons[k].english) {
        // a test event's reason, as its own checks give it
        const qlonglong value = values.value(0).toLongLong();
        const TestEvent e = kind == Reason::EventCycle ? TestEvent{value, TestEvent::Kind::Reference, 0}
            : kind == Reason::EventReference ? TestEvent{1, TestEvent::Kind::Reference, static_cast<int>(value)}
                                             : TestEvent{1, TestEvent::Kind::Load, static_cast<int>(value)};
        return QString::fromStdString(TestProgram::check(e));
    }
    const QString text = QString::fromUtf8(english ? kReasons[k].english : kReasons[k].turkish);
    // in one pass, so that a value holding "%2" (a path) stays as it is
    switch (values.size()) {
    case 0: return text;
    case 1: return text.arg(values[0]);
    case 2: return text.arg(values[0], values[1]);
    default: return text.arg(values[0], values[1], values[2]);
    }
}

double ExperimentFile::gainLimit(const std::string &controller, Gain g)
{
    int widest = 0;
    for (const ClassicPanel &panel : ClassicPanels::all())
        for (std::size_t k = 0; k < panel.sliderCount; ++k)
            if (panel.sliders[k].gain == g) {
                if (controller == panel.name)
                    return ClassicPanels::fromBar(panel.sliders[k].max);
                widest = std::max(widest, panel.sliders[k].max);
            }
    return ClassicPanels::fromBar(widest);
}

namespace {

// One JSON value as text: numbers in their shortest round-trip form, strings
// escaped, arrays and objects on one line.
QByteArray jsonText(const QJsonValue &v)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

// {"a": 1, "b": 2} with the keys in the order given.
QByteArray jsonObjectText(std::initializer_list<std::pair<const char *, QJsonValue>> members)
{
    QByteArray out = "{";
    for (const auto &[key, value] : members) {
        if (out.size() > 1)
            out += ", ";
        out += jsonText(QString::fromLatin1(key)) + ": " + jsonText(value);
    }
    return out + "}";
}

} // namespace

// Written by hand rather than by QJsonDocument, which sorts keys: the file
// reads from top to bottom as a student sets up an experiment (format and
// version first), with one line a rule-table row and a test event.
QByteArray ExperimentFile::toJson(const Experiment &e)
{
    QByteArray out = "{\n";
    const auto member = [&out](const char *key, const QByteArray &text, bool last = false) {
        out += "    " + jsonText(QString::fromLatin1(key)) + ": " + text + (last ? "\n" : ",\n");
    };
    member("format", jsonText(str(kFormat)));
    member("version", jsonText(kVersion));
    member("mode", jsonText(str(runModeName(e.mode))));
    member("controller", jsonText(QString::fromStdString(e.controller)));
    member("gains", jsonObjectText({{"kp", e.kp}, {"ki", e.ki}, {"kd", e.kd}}));
    member("divisors", jsonObjectText({{"error", e.errorDivisor}, {"output", e.outputDivisor}}));
    member("reference", jsonText(e.reference));

    const auto &names = Terms::names(Terms::English);
    QByteArray rules = "[\n";
    for (int r = 0; r < FuzzyController::termCount; ++r) {
        QJsonArray row;
        for (int c = 0; c < FuzzyController::termCount; ++c) {
            const int term = e.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))];
            row.append(str(names[static_cast<std::size_t>(std::clamp(term, 0, 6))]));
        }
        rules += "        " + jsonText(row).replace(",", ", ") + (r + 1 < FuzzyController::termCount ? ",\n" : "\n");
    }
    member("rules", rules + "    ]");

    const std::vector<TestEvent> &events = e.program.events();
    QByteArray program = events.empty() ? QByteArray("[") : QByteArray("[\n");
    for (std::size_t k = 0; k < events.size(); ++k) {
        const TestEvent &ev = events[k];
        program += "        "
            + jsonObjectText({{"cycle", static_cast<double>(ev.cycle)}, {testEventKindName(ev.kind), ev.value}})
            + (k + 1 < events.size() ? ",\n" : "\n    ");
    }
    member("test_program", program + "]", true);
    return out + "}\n";
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
    return writeFileAtomically(path, toJson(e));
}

bool ExperimentFile::read(const QString &path, Experiment &out, ExperimentError &why, QByteArray *contents)
{
    QByteArray bytes;
    bool tooLarge = false;
    if (const FileError e = readFileBounded(path, kFileLimit, bytes, &tooLarge)) {
        why = tooLarge ? ExperimentError{{}, Reason::TooLarge, {path}}
                       : ExperimentError{{}, Reason::Unreadable, {path, e.reason}};
        return false;
    }
    if (!fromJson(bytes, out, why))
        return false;
    if (contents)
        *contents = bytes;
    return true;
}

} // namespace tervalo
