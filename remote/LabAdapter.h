#pragma once
// The remote lab's view of the lab at the PC: every command goes through the
// lab's controls, as a click does, so the window's rules (the bars' ranges,
// error 380, a mode change stopping the run) hold for a remote driver too.
// Each control cycle's values go out as a sample after the record took
// them; the runs come from the lab's library.
//
//   remote::LabAdapter adapter(window.lab());
//   remote::RemoteServer server(adapter, config, options);

#include "engine/ControlCycle.h"
#include "remote/RemoteLab.h"

namespace tervalo {
class Lab;
}

namespace tervalo::remote {

class LabAdapter : public RemoteLab, private CycleObserver {
    Q_OBJECT
public:
    explicit LabAdapter(Lab &lab, QObject *parent = nullptr);
    ~LabAdapter() override;

    LabView view() const override;
    Range range(Setting s) const override;
    std::optional<int> gainBarMax(Gain g) const override;
    QStringList terms() const override;

    QString select(const QString &mode, const QString &controller) override;
    QString setGain(Gain g, int thousandths) override;
    QString setReference(int rpm) override;
    QString setDivisors(int errorDivisor, int outputDivisor) override;
    QString setRule(int cell, int term) override;
    QString setActuator(int value) override;
    QString applyExperiment(const QByteArray &json) override;
    void start(const QString &note) override;
    void stop() override;

    QJsonArray runs(int last) const override;
    std::optional<QByteArray> runCsv(const QString &uuid) const override;

private:
    void cycleDone(const ExperimentState &state, const CycleSample &sample) override;
    // Runs a command on the controls; the window's refusal as text.
    template <typename F> QString command(F &&f);

    Lab &lab_;
};

} // namespace tervalo::remote
