#include "remote/LabAdapter.h"

#include "engine/ClassicPanels.h"
#include "engine/SessionLimits.h"
#include "engine/Terms.h"
#include "runtime/RuntimeError.h"
#include "session/ExperimentSession.h"
#include "session/Lab.h"
#include "store/ExperimentFile.h"
#include "store/RunFiles.h"
#include "store/RunLibrary.h"

#include <QJsonObject>

#include <cmath>

namespace tervalo::remote {

namespace {

QString modeName(RunMode m)
{
    return QString::fromLatin1(runModeName(m));
}

QJsonValue orNull(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

// The bar of a gain on the chosen controller's panel; nullptr when it has none.
const GainSlider *barOf(const LabControls &controls, Gain g)
{
    const std::optional<ClassicLaw> law = controls.selectedLaw();
    if (!law)
        return nullptr;
    const ClassicPanel &panel = ClassicPanels::of(*law);
    for (std::size_t k = 0; k < panel.sliderCount; ++k)
        if (panel.sliders[k].gain == g)
            return &panel.sliders[k];
    return nullptr;
}

} // namespace

LabAdapter::LabAdapter(Lab &lab, QObject *parent) : RemoteLab(parent), lab_(lab)
{
    lab_.watchCycles(this);
    connect(&lab_, &Lab::started, this, [this] {
        emit runStarted();
        emit changed();
    });
    connect(&lab_, &Lab::stopped, this, [this] {
        emit runStopped();
        emit changed();
    });
    for (auto signal : {&Lab::setupChanged, &Lab::baselineChanged})
        connect(&lab_, signal, this, &RemoteLab::changed);
    connect(&lab_, &Lab::languageChanged, this, [this] { emit changed(); });
    connect(&lab_, &Lab::loadMoved, this, [this] { emit changed(); });
    connect(&lab_, &Lab::notice, this, &RemoteLab::notice);
}

LabAdapter::~LabAdapter()
{
    lab_.unwatchCycles(this);
}

void LabAdapter::cycleDone(const ExperimentState &, const CycleSample &sample)
{
    LabSample s;
    s.cycle = static_cast<qint64>(sample.cycle.value());
    s.time = 0.2 * static_cast<double>(s.cycle);
    s.reference = sample.reference;
    s.output = static_cast<double>(sample.y);
    s.error = static_cast<double>(sample.e);
    s.actuator = sample.u;
    emit sampled(s);
}

LabView LabAdapter::view() const
{
    const LabControls &c = lab_.controls();
    const RunSettings s = c.settings();
    LabView v;
    v.mode = modeName(s.mode);
    if (s.controller == RunController::Fuzzy)
        v.controller = QStringLiteral("fuzzy");
    else if (const std::optional<ClassicLaw> law = c.selectedLaw())
        v.controller = QString::fromLatin1(ClassicPanels::of(*law).name);
    if (v.controller != QLatin1String("fuzzy")) {
        for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd}) {
            const double value = g == Gain::Kp ? s.kp : g == Gain::Ki ? s.ki : s.kd;
            if (std::isfinite(value))
                (g == Gain::Kp ? v.kp : g == Gain::Ki ? v.ki : v.kd) = value;
        }
    }
    v.errorDivisor = s.errorDivisor;
    v.outputDivisor = s.outputDivisor;
    v.reference = s.reference;
    v.actuator = c.actuatorValue();
    v.running = lab_.runActive();
    v.cycle = lab_.runActive() ? static_cast<qint64>(lab_.record().size()) : 0;
    v.language = lab_.english() ? QStringLiteral("en") : QStringLiteral("tr");
    return v;
}

Range LabAdapter::range(Setting s) const
{
    switch (s) {
    case Setting::Reference: return {SessionLimits::kReferenceMin, SessionLimits::kReferenceMax};
    case Setting::ErrorDivisor: return {SessionLimits::kErrorDivisorMin, SessionLimits::kErrorDivisorMax};
    case Setting::OutputDivisor: return {SessionLimits::kOutputDivisorMin, SessionLimits::kOutputDivisorMax};
    case Setting::Actuator: {
        const RunSettings set = lab_.controls().settings();
        return {set.actuatorMin, set.actuatorMax};
    }
    }
    return {};
}

std::optional<int> LabAdapter::gainBarMax(Gain g) const
{
    if (const GainSlider *bar = barOf(lab_.controls(), g))
        return lab_.controls().gainBarMax(bar->bar);
    return std::nullopt;
}

QStringList LabAdapter::terms() const
{
    QStringList list;
    for (const char *name : Terms::names(lab_.english() ? Terms::English : Terms::Turkish))
        list << QString::fromUtf8(name);
    return list;
}

template <typename F> QString LabAdapter::command(F &&f)
{
    try {
        f();
    } catch (const RuntimeError &e) {
        return QString::fromUtf8(e.what());
    }
    emit changed();
    return {};
}

QString LabAdapter::select(const QString &mode, const QString &controller)
{
    std::optional<RunMode> m;
    if (!mode.isEmpty() && !(m = runModeNamed(mode.toStdString())))
        return QStringLiteral("mode: neither open, kit nor simulation");
    if (!controller.isEmpty() && !runControllerNamed(controller.toStdString()))
        return QStringLiteral("controller: not one of P, I, PI, PD, PID, fuzzy");
    return command([&] {
        if (m)
            lab_.controls().selectMode(*m);
        if (!controller.isEmpty())
            lab_.controls().selectController(controller.toStdString());
    });
}

QString LabAdapter::setGain(Gain g, int thousandths)
{
    const GainSlider *bar = barOf(lab_.controls(), g);
    if (!bar)
        return QStringLiteral("%1: the controller has no such gain").arg(QLatin1String(ClassicPanels::name(g)));
    return command([&] { lab_.controls().setGainBar(bar->bar, thousandths); });
}

QString LabAdapter::setReference(int rpm)
{
    return command([&] { lab_.controls().setReference(rpm); });
}

QString LabAdapter::setDivisors(int errorDivisor, int outputDivisor)
{
    return command([&] { lab_.controls().setDivisors(errorDivisor, outputDivisor); });
}

QString LabAdapter::setRule(int cell, int term)
{
    return command([&] { lab_.controls().setRuleTerm(cell, term); });
}

QString LabAdapter::setActuator(int value)
{
    return command([&] { lab_.controls().setActuator(value); });
}

QString LabAdapter::applyExperiment(const QByteArray &json)
{
    Experiment e;
    ExperimentError refused;
    if (!ExperimentFile::fromJson(json, e, refused))
        return refused.message(true);
    QString why;
    if (!tervalo::applyExperiment(lab_, e, &lab_.testProgram(), why))
        return why;
    RunContext context = lab_.context();
    context.setExperiment(QStringLiteral("remote.json"), json);
    lab_.setContext(context);
    emit changed();
    return {};
}

void LabAdapter::start(const QString &note)
{
    if (lab_.runActive())
        return;
    lab_.setRunNote(note);
    lab_.controls().start(); // returns at STOP
}

void LabAdapter::stop()
{
    if (lab_.runActive())
        lab_.controls().stop();
}

QJsonArray LabAdapter::runs(int last) const
{
    QJsonArray list;
    if (lab_.libraryPath().isEmpty())
        return list;
    RunLibrary library(lab_.libraryPath(), 1000);
    for (const StoredRun &r : library.list()) {
        if (list.size() >= last)
            break;
        QJsonObject figures{{QStringLiteral("riseTime"), orNull(r.riseTime)},
                            {QStringLiteral("overshoot"), orNull(r.overshoot)},
                            {QStringLiteral("settlingTime"), orNull(r.settlingTime)},
                            {QStringLiteral("iae"), orNull(r.iae)}};
        list.append(QJsonObject{{QStringLiteral("uuid"), r.uuid},
                                {QStringLiteral("start"), r.startUtc},
                                {QStringLiteral("mode"), r.mode},
                                {QStringLiteral("controller"), r.controller},
                                {QStringLiteral("reference"), r.reference},
                                {QStringLiteral("kp"), orNull(r.kp)},
                                {QStringLiteral("ki"), orNull(r.ki)},
                                {QStringLiteral("kd"), orNull(r.kd)},
                                {QStringLiteral("rows"), static_cast<qint64>(r.rows)},
                                {QStringLiteral("name"), r.name},
                                {QStringLiteral("note"), r.note},
                                {QStringLiteral("figures"), figures}});
    }
    return list;
}

std::optional<QByteArray> LabAdapter::runCsv(const QString &uuid) const
{
    if (lab_.libraryPath().isEmpty())
        return std::nullopt;
    RunLibrary library(lab_.libraryPath(), 1000);
    for (const StoredRun &r : library.list())
        if (r.uuid == uuid) {
            const std::unique_ptr<RunRecord> record = library.load(r.id);
            if (!record)
                return std::nullopt;
            return RunFiles::csv(*record, 0, record->size());
        }
    return std::nullopt;
}

} // namespace tervalo::remote
