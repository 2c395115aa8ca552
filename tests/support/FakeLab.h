#pragma once
// A lab on controls with no window: the set-up held in plain fields, every
// command written to a log, and a control cycle run on a host that draws
// nothing. START does not block: the test runs the cycles itself.
//
//   FakeLab f;
//   f.start();
//   f.cycleOnce();   // the lab's watchers and its test program see it
//   f.stop();

#include "engine/ControlCycle.h"
#include "engine/FuzzyController.h"
#include "engine/Terms.h"
#include "runtime/RuntimeError.h"
#include "session/Lab.h"

#include <QString>

#include <string>
#include <vector>

namespace tervalo::test {

class FakeLab : public LabControls, private CycleHost {
    ExperimentState s_;
    ControlCycle cycle_;

public:
    explicit FakeLab(bool english = true, std::size_t recordCapacity = RunRecord::kDefaultCapacity)
        : lab(*this, cycle_, english, recordCapacity)
    {
        std::array<std::string, 7> names;
        for (std::size_t k = 0; k < 7; ++k)
            names[k] = Terms::names(english ? Terms::English : Terms::Turkish)[k];
        s_.setTermNames(names);
        for (int i = 0; i < 49; ++i)
            rules[static_cast<std::size_t>(i)] =
                Terms::names(english ? Terms::English
                                     : Terms::Turkish)[static_cast<std::size_t>(FuzzyController::defaultListIndex(i))];
        s_.reference = 1000;
    }

    // ---- the set-up, as plain fields ------------------------------------------
    RunMode mode = RunMode::Simulation;
    RunController controller = RunController::P;
    double kp = 0.5;
    int reference = 1000;
    int errorDivisor = 2, outputDivisor = 10;
    int actuator = 0;
    int load = 0;
    bool kitPresent = true; // the kit's port opened
    std::array<std::string, 49> rules;
    std::vector<std::string> log; // every command, in order

    // ---- LabControls ----------------------------------------------------------
    void selectMode(RunMode m) override
    {
        mode = m;
        log.push_back("mode " + std::to_string(static_cast<int>(m)));
    }
    bool selectController(const std::string &name) override
    {
        const std::optional<RunController> c = runControllerNamed(name);
        if (!c)
            return false;
        controller = *c;
        log.push_back("controller " + name);
        return true;
    }
    // as the window's bars: outside 0..1000 is error 380
    void setGainBar(const std::string &bar, int value) override
    {
        if (value < 0 || value > 1000)
            raiseError(RuntimeError::InvalidPropertyValue, bar);
        log.push_back("gain " + bar + " " + std::to_string(value));
    }
    std::optional<ClassicLaw> selectedLaw() const override
    {
        return controller == RunController::Fuzzy ? std::nullopt : std::optional<ClassicLaw>(ClassicLaw::P);
    }
    int gainBarValue(const std::string &) const override { return static_cast<int>(kp * 1000); }
    int gainBarMax(const std::string &) const override { return 1000; }
    void setReference(int rpm) override
    {
        reference = rpm;
        log.push_back("reference " + std::to_string(rpm));
    }
    void stepReference(int rpm) override
    {
        s_.reference = rpm;
        log.push_back("step " + std::to_string(rpm));
    }
    void setDivisors(int e, int o) override
    {
        errorDivisor = e;
        outputDivisor = o;
        log.push_back("divisors " + std::to_string(e) + " " + std::to_string(o));
    }
    void setActuator(int value) override
    {
        actuator = value;
        log.push_back("actuator " + std::to_string(value));
    }
    int actuatorValue() const override { return actuator; }
    void setRuleTerm(int cell, int term) override
    {
        rules[static_cast<std::size_t>(cell)] =
            Terms::names(lab.english() ? Terms::English : Terms::Turkish)[static_cast<std::size_t>(term)];
        log.push_back("rule " + std::to_string(cell) + " " + std::to_string(term));
    }
    void moveLoad(int from, int to) override
    {
        load = to;
        log.push_back("load " + std::to_string(from) + " " + std::to_string(to));
        lab.reportLoad(from, to);
    }
    int loadValue() const override { return load; }
    void start() override
    {
        log.push_back("START");
        s_.reference = reference;
        s_.sampleCount = 0;
        lab.reportStart();
    }
    void stop() override
    {
        log.push_back("STOP");
        if (lab.runActive())
            lab.reportStop();
    }
    RunSettings settings() const override
    {
        RunSettings r;
        r.start = std::chrono::system_clock::now();
        r.mode = mode;
        r.controller = controller;
        r.kp = controller == RunController::Fuzzy ? kNoValue : kp;
        r.ki = r.kd = kNoValue;
        r.errorDivisor = errorDivisor;
        r.outputDivisor = outputDivisor;
        r.rules = rules;
        r.termNames = s_.termNames();
        r.reference = reference;
        r.actuatorMin = 0;
        r.actuatorMax = 4095;
        r.load = load;
        return r;
    }
    const ExperimentState &state() const override { return s_; }
    bool kitReachable() const override { return kitPresent; }

    // One control cycle: the plant's output is half the reference.
    void cycleOnce() { cycle_.run(s_, *this); }

private:
    // ---- CycleHost: simulation, no law, nothing drawn --------------------------
    CycleSelection selection() const override
    {
        CycleSelection sel;
        sel.simulation = true;
        return sel;
    }
    std::int32_t simulatedOutput() const override { return s_.reference.value() / 2; }
    void setGraphCaption(int, const std::string &) override { }
    void setReadout(Readout, const std::string &) override { }
    void plotSample(double, double) override { }
    int actuatorMin() const override { return 0; }
    int actuatorMax() const override { return 4095; }
    void setActuatorValue(int value) override { actuator = value; }
    void ruleTexts(std::array<std::string, 49> &out) const override { out = rules; }
    void showRuleCells(const std::array<RuleShade, 49> &) override { }
    void setAnimation(bool) override { }

public:
    Lab lab; // last: it is built on the members above
};

} // namespace tervalo::test
