#pragma once
// A lab in memory for the remote lab's tests and benchmark: the set-up a
// student makes, checked against the ranges of the window's bars, and a
// START that, like the window's, returns only when the run ends, with a
// control cycle every cycleMs on the event loop between.

#include "engine/SessionLimits.h"
#include "remote/RemoteLab.h"
#include "store/ExperimentFile.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>
#include <QUuid>

#include <map>

namespace tervalo::remote {

class MemoryLab : public RemoteLab {
    Q_OBJECT
public:
    int cycleMs = 20;
    int startCalls = 0, stopCalls = 0;
    QString lastNote;
    LabView v;
    std::vector<std::pair<QString, QString>> stored; // uuid, note
    // Called in every cycle before the sample goes out (the benchmark's hook).
    std::function<void()> duringCycle;

    MemoryLab()
    {
        v.mode = QStringLiteral("simulation");
        v.controller = QStringLiteral("P");
        v.kp = 0.5;
        v.errorDivisor = 2;
        v.outputDivisor = 10;
        v.reference = 1000;
        v.language = QStringLiteral("en");
        QObject::connect(&cycle_, &QTimer::timeout, this, [this] {
            ++v.cycle;
            if (duringCycle)
                duringCycle();
            emit sampled(LabSample{v.cycle, v.cycle * 0.2, double(v.reference), v.cycle * 10.0,
                                   v.reference - v.cycle * 10.0, double(v.actuator)});
        });
    }

    LabView view() const override { return v; }
    Range range(Setting s) const override
    {
        switch (s) {
        case Setting::Reference: return {SessionLimits::kReferenceMin, SessionLimits::kReferenceMax};
        case Setting::ErrorDivisor: return {SessionLimits::kErrorDivisorMin, SessionLimits::kErrorDivisorMax};
        case Setting::OutputDivisor: return {SessionLimits::kOutputDivisorMin, SessionLimits::kOutputDivisorMax};
        case Setting::Actuator: return {0, 4095};
        }
        return {};
    }
    std::optional<int> gainBarMax(Gain g) const override
    {
        const ClassicPanel *panel = ClassicPanels::named(v.controller.toStdString());
        if (!panel)
            return std::nullopt;
        for (std::size_t i = 0; i < panel->sliderCount; ++i)
            if (panel->sliders[i].gain == g)
                return panel->sliders[i].max;
        return std::nullopt;
    }
    QStringList terms() const override
    {
        return {QStringLiteral("NB"), QStringLiteral("NM"), QStringLiteral("NS"), QStringLiteral("ZE"),
                QStringLiteral("PS"), QStringLiteral("PM"), QStringLiteral("PB")};
    }
    QString select(const QString &mode, const QString &controller) override
    {
        if (v.running && mode != v.mode)
            stop(); // a mode change stops the run, as in the window
        v.mode = mode;
        v.controller = controller;
        for (Gain g : {Gain::Kp, Gain::Ki, Gain::Kd})
            gain(g) = gainBarMax(g) ? std::optional<double>(gain(g).value_or(0)) : std::nullopt;
        emit changed();
        return {};
    }
    QString setGain(Gain g, int thousandths) override
    {
        const std::optional<int> max = gainBarMax(g);
        if (!max || thousandths < 0 || thousandths > *max)
            return QStringLiteral("error 380: invalid property value");
        gain(g) = thousandths / 1000.0;
        emit changed();
        return {};
    }
    QString setReference(int rpm) override { return set(v.reference, rpm); }
    QString setDivisors(int e, int o) override
    {
        v.errorDivisor = e;
        return set(v.outputDivisor, o);
    }
    QString setRule(int cell, int term) override
    {
        rules[cell] = term;
        emit changed();
        return {};
    }
    QString setActuator(int value) override { return set(v.actuator, value); }
    QString applyExperiment(const QByteArray &json) override
    {
        Experiment e;
        ExperimentError why;
        if (!ExperimentFile::fromJson(json, e, why))
            return why.message();
        v.mode = QLatin1String(runModeName(e.mode));
        v.controller = QString::fromStdString(e.controller);
        v.reference = e.reference;
        emit changed();
        return {};
    }
    // nested: START returns only when the run ends, as the window's does;
    // otherwise it returns at once and the run goes on on the event loop.
    bool nested = true;

    void start(const QString &note) override
    {
        ++startCalls;
        if (v.running)
            return;
        v.running = true;
        v.cycle = 0;
        lastNote = note;
        emit runStarted();
        emit changed();
        cycle_.start(cycleMs);
        if (!nested)
            return;
        QEventLoop loop;
        QObject::connect(this, &MemoryLab::runStopped, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void stop() override
    {
        ++stopCalls;
        if (!v.running)
            return;
        cycle_.stop();
        v.running = false;
        stored.emplace_back(QUuid::createUuid().toString(QUuid::WithoutBraces), lastNote);
        emit runStopped();
        emit changed();
    }
    QJsonArray runs(int last) const override
    {
        QJsonArray a;
        for (auto it = stored.rbegin(); it != stored.rend() && a.size() < last; ++it)
            a.append(QJsonObject{{QStringLiteral("uuid"), it->first},
                                 {QStringLiteral("start"), QStringLiteral("2026-03-02T09:15:00Z")},
                                 {QStringLiteral("mode"), QStringLiteral("simulation")},
                                 {QStringLiteral("controller"), QStringLiteral("PI")},
                                 {QStringLiteral("reference"), 1000},
                                 {QStringLiteral("note"), it->second},
                                 {QStringLiteral("figures"),
                                  QJsonObject{{QStringLiteral("riseTime"), 0.42},
                                              {QStringLiteral("overshoot"), 6.5},
                                              {QStringLiteral("settlingTime"), 1.3},
                                              {QStringLiteral("iae"), 215.0}}}});
        return a;
    }
    std::optional<QByteArray> runCsv(const QString &uuid) const override
    {
        for (const auto &r : stored)
            if (r.first == uuid)
                return QByteArray("cycle,time\n1,0.2\n");
        return std::nullopt;
    }

    std::map<int, int> rules;

private:
    QTimer cycle_;
    std::optional<double> &gain(Gain g) { return g == Gain::Kp ? v.kp : g == Gain::Ki ? v.ki : v.kd; }
    QString set(int &field, int value)
    {
        field = value;
        emit changed();
        return {};
    }
};

} // namespace tervalo::remote
