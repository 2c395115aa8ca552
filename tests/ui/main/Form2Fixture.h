#pragma once
// A main window on the in-memory port, with a scripted event pump: each pump
// runs the next scripted action, so a run (START .. STOP) is driven without
// waiting for the 200 ms timer.

#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "plant/EventPump.h"
#include "plant/MemoryPort.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Probe.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ScriptPump : public tervalo::EventPump {
public:
    std::deque<std::function<void()>> script;
    std::function<void()> whenEmpty;
    int pumps = 0;
    int waits = 0;
    void processEvents() override
    {
        ++pumps;
        next();
    }
    void waitForEvents() override
    {
        ++waits;
        next();
    }

private:
    void next()
    {
        if (!script.empty()) {
            auto f = std::move(script.front());
            script.pop_front();
            f();
        } else if (whenEmpty) {
            whenEmpty();
        }
    }
};

class Form2Fixture : public ::testing::Test {
protected:
    tervalo::MemoryPort port{888};
    ScriptPump pump;
    std::unique_ptr<tervalo::Form2> form;
    std::vector<QString> messages;
    std::vector<std::string> portReports;
    std::vector<QString> notices;
    int quits = 0;

    void makeForm(tervalo::PortDriver *driver)
    {
        form = std::make_unique<tervalo::Form2>(driver, &pump);
        form->showMessage = [this](const QString &t) { messages.push_back(t); };
        form->notifyUser = [this](const QString &t) { notices.push_back(t); };
        form->reportPortFailure = [this](const std::string &l) { portReports.push_back(l); };
        form->showAbout = [] {};
        form->quitApplication = [this] { ++quits; };
        form->Form_Load();
    }

    void SetUp() override { makeForm(&port); }

    // START, then n control cycles, then STOP; the pump ends the run if the
    // script runs dry (a safety net against a loop that never ends).
    void run(int cycles, const std::function<void(int)> &beforeCycle = nullptr)
    {
        pump.script.clear();
        for (int i = 1; i <= cycles; ++i)
            pump.script.push_back([this, i, beforeCycle] {
                if (beforeCycle)
                    beforeCycle(i);
                form->Timer1_Timer();
            });
        pump.script.push_back([this] { form->Label33_Click(); });
        pump.whenEmpty = [this] { form->state().stopRequested = true; };
        form->Label32_Click();
    }

    void selectSimulation() { ctl(*form).simulasyon->setValue(true); }
};
