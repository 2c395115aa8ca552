#include "tools/SimStore.h"

#include "session/ExperimentSession.h"
#include "session/Lab.h"
#include "store/ClassForwarder.h"
#include "store/RunLibrary.h"
#include "tools/SimArguments.h"
#include "ui/main/Form2.h"

namespace tervalo::sim {

std::string saveExperiment(Form2 &form, const TestProgram &program, const std::string &path)
{
    // the settings read as the window's "Save experiment…" reads them
    Experiment e;
    QString why;
    if (!tervalo::experimentOf(form.lab(), program, e, why))
        return path + ": " + oneLine(why);
    const FileError failure = ExperimentFile::write(e, QString::fromLocal8Bit(path.c_str()));
    return failure ? oneLine(failure.message()) : std::string();
}

std::string storeRun(const RunRecord &record, const std::string &path, const RunContext &context)
{
    if (record.empty())
        return {};
    RunLibrary library(QString::fromLocal8Bit(path.c_str()));
    if (!library.store(record, context))
        return oneLine(library.error().message());
    return {};
}

Forwarded forwardRuns(const std::string &path, const ClassServerAddress &server)
{
    const QString library = QString::fromLocal8Bit(path.c_str());
    const ForwardOutcome o = ClassForwarder(library, server).waitIdle();
    Forwarded f;
    if (o.libraryFailed) {
        f.status = 1;
        for (const QString &r : o.reasons)
            f.lines.push_back(oneLine(r));
    } else if (o.remaining > 0) {
        f.status = 3;
        QStringList reasons;
        for (const QString &r : o.reasons)
            reasons << r;
        f.lines.push_back(std::to_string(o.remaining) + (o.remaining == 1 ? " run" : " runs") + " kept in " + path
                          + " for a later forward (tervalo-sim --library " + path
                          + " --forward): " + oneLine(reasons.join(QStringLiteral("; "))));
    }
    return f;
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
