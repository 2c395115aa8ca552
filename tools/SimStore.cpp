#include "tools/SimStore.h"

#include "store/RunLibrary.h"
#include "tools/SimArguments.h"
#include "ui/Form2.h"
#include "ui/RunSession.h"

#include <cmath>

namespace tervalo::sim {

namespace {

double orZero(double gain)
{
    return std::isnan(gain) ? 0 : gain;
}

} // namespace

Experiment experimentOf(Form2 &form, const TestProgram &program)
{
    const RunSettings s = form.runSession().currentSettings();
    Experiment e;
    e.mode = s.mode;
    e.controller = runControllerName(s.controller);
    e.kp = orZero(s.kp);
    e.ki = orZero(s.ki);
    e.kd = orZero(s.kd);
    e.errorDivisor = s.errorDivisor;
    e.outputDivisor = s.outputDivisor;
    // the reference bar's value: the session takes it up only at START
    e.reference = form.referenceValue();
    // the cells' texts are term names of the window's language
    for (std::size_t cell = 0; cell < e.rules.size(); ++cell)
        for (std::size_t term = 0; term < s.termNames.size(); ++term)
            if (s.rules[cell] == s.termNames[term])
                e.rules[cell] = static_cast<int>(term);
    e.program = program;
    return e;
}

std::string saveExperiment(Form2 &form, const TestProgram &program, const std::string &path)
{
    const FileError failure = ExperimentFile::write(experimentOf(form, program), QString::fromLocal8Bit(path.c_str()));
    return failure ? oneLine(failure.message()) : std::string();
}

std::string storeRun(const RunRecord &record, const std::string &path)
{
    if (record.empty())
        return {};
    RunLibrary library(QString::fromLocal8Bit(path.c_str()));
    if (!library.store(record))
        return oneLine(library.error().message());
    return {};
}

std::string stretchLines(const RunRecord &record)
{
    const std::vector<RunRecord::StretchFigures> stretches = record.stretchFigures();
    if (stretches.size() < 2)
        return {};
    std::string out = "stretches," + std::to_string(stretches.size()) + "\n";
    for (std::size_t k = 0; k < stretches.size(); ++k) {
        const RunRecord::StretchFigures &s = stretches[k];
        const std::string at = "@" + std::to_string(k + 1);
        out += "first_cycle" + at + "," + std::to_string(s.firstCycle) + "\n";
        out += "last_cycle" + at + "," + std::to_string(s.lastCycle) + "\n";
        out += "reference" + at + "," + shortestDecimal(s.reference) + "\n";
        for (const MetricInfo &m : kMetrics)
            out += std::string(m.key) + at + "," + figureText(s.figures[m.metric]) + "\n";
    }
    return out;
}

} // namespace tervalo::sim
