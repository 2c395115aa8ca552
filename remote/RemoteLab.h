#pragma once
// What the remote lab's server needs of the lab: its set-up as the window
// shows it, the commands a driver may give, the stored runs, and the
// signals of what happens. One adapter implements it over the session's lab
// and its controls, so a remote command reaches the run through the same
// seam as a click and is refused for the same reasons.
//
// A command returns an empty text when done, or the refusal in English.

#include "engine/ClassicPanels.h"

#include <QByteArray>
#include <QJsonArray>
#include <QObject>
#include <QString>

#include <optional>

namespace tervalo::remote {

struct LabView {
    QString mode;       // "open", "kit", "simulation"
    QString controller; // "P" ... "PID", "fuzzy"; empty when none is chosen
    // As the bars show them; nothing where the controller has no such bar.
    std::optional<double> kp, ki, kd;
    int errorDivisor = 0, outputDivisor = 0;
    int reference = 0;
    int actuator = 0;
    bool running = false;
    qint64 cycle = 0;
    QString language; // "en", "tr"
};

struct LabSample {
    qint64 cycle = 0;
    double time = 0, reference = 0, output = 0, error = 0, actuator = 0;
};

struct Range {
    int min = 0, max = 0;
    bool holds(double v) const { return v >= min && v <= max; }
};

enum class Setting { Reference, ErrorDivisor, OutputDivisor, Actuator };

class RemoteLab : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~RemoteLab() override = default;

    virtual LabView view() const = 0;
    virtual Range range(Setting s) const = 0;
    // The bar of the gain with the controller chosen now, in thousandths;
    // nothing when the controller has no bar for it.
    virtual std::optional<int> gainBarMax(Gain g) const = 0;
    // The term names of a rule cell, in the window's language.
    virtual QStringList terms() const = 0;

    virtual QString select(const QString &mode, const QString &controller) = 0;
    virtual QString setGain(Gain g, int thousandths) = 0;
    virtual QString setReference(int rpm) = 0;
    virtual QString setDivisors(int errorDivisor, int outputDivisor) = 0;
    virtual QString setRule(int cell, int term) = 0;
    virtual QString setActuator(int value) = 0;
    // An experiment file's contents, applied as the window's Open experiment.
    virtual QString applyExperiment(const QByteArray &json) = 0;
    // START, with the note the run is stored with. It may return only when
    // the run ends: the server calls it from the event loop, never from
    // within a request.
    virtual void start(const QString &note) = 0;
    virtual void stop() = 0;

    // The last stored runs with their figures, newest first.
    virtual QJsonArray runs(int last) const = 0;
    // One run's CSV by its UUID; nothing when there is none.
    virtual std::optional<QByteArray> runCsv(const QString &uuid) const = 0;

signals:
    void sampled(const tervalo::remote::LabSample &sample); // each control cycle
    void changed();                                         // set-up, language or run state
    void runStarted();
    void runStopped(); // after the record is closed
    void notice(const QString &text);
};

} // namespace tervalo::remote
