#include "ui/texts/LabTexts.h"

#include "ui/texts/TextPair.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace tervalo {

namespace {

// Figure names in the order of kMetrics.
const TextPair kMetricTexts[] = {
    {"Rise time (s)", "Yükselme süresi (s)"},
    {"Peak", "Tepe değeri"},
    {"Peak time (s)", "Tepe zamanı (s)"},
    {"Overshoot (%)", "Aşım (%)"},
    {"Settling time (s)", "Yerleşme süresi (s)"},
    {"Steady-state error", "Kalıcı durum hatası"},
    {"IAE", "IAE"},
    {"ISE", "ISE"},
    {"Largest U", "En büyük U"},
    {"U at a limit (%)", "U sınırda (%)"},
    {"U travel", "U toplam değişimi"},
};
static_assert(std::size(kMetricTexts) == kMetricCount, "one name per figure");

// Reasons in the order of FigureReason.
const TextPair kReasonTexts[] = {
    {"", ""},
    {"no rows", "satır yok"},
    {"fewer than 10 rows", "10 satırdan az"},
    {"the output did not change", "çıkış değişmedi"},
    {"the output never crosses 10 % and 90 % of its change", "çıkış değişiminin %10 ve %90 düzeylerini geçmiyor"},
    {"not settled", "yerleşmedi"},
};

const TextPair kNoRun = {"No run recorded yet.", "Henüz kaydedilmiş çalışma yok."};
const TextPair kNotAvailable = {"n/a", "yok"};
const TextPair kModeOpen = {"Open Loop", "Denetimsiz"};
const TextPair kModeKit = {"Feedback Implementation", "Kapalı Çevrim"};
const TextPair kModeSimulation = {"Feedback Simulation", "Simulasyon"};
const TextPair kFuzzy = {"Fuzzy Logic", "Bulanık Mantık"};
const TextPair kUnitKit = {"rpm", "d/dk"};
const TextPair kUnitSimulation = {"Volt", "Volt"};

} // namespace

QString LabTexts::figure(Metric m, bool english)
{
    return kMetricTexts[static_cast<std::size_t>(m)].in(english);
}

QString LabTexts::reason(FigureReason r, bool english)
{
    return kReasonTexts[static_cast<std::size_t>(r)].in(english);
}

QString LabTexts::noRun(bool english)
{
    return kNoRun.in(english);
}

QString LabTexts::outputUnit(bool simulation, bool english)
{
    return (simulation ? kUnitSimulation : kUnitKit).in(english);
}

QString LabTexts::figureUnit(Metric m, bool simulation, bool english)
{
    const QString y = outputUnit(simulation, english);
    switch (m) {
    case Metric::RiseTime:
    case Metric::PeakTime:
    case Metric::SettlingTime: return QStringLiteral("s");
    case Metric::Overshoot:
    case Metric::SaturatedPct: return QStringLiteral("%");
    case Metric::Peak:
    case Metric::SteadyStateError: return y;
    case Metric::Iae: return y + QStringLiteral("·s");
    case Metric::Ise: return y + QStringLiteral("²·s");
    case Metric::ActuatorMax:
    case Metric::ActuatorTravel: return QString();
    }
    return QString();
}

QString LabTexts::figureValue(Metric m, double value, bool simulation, bool english)
{
    const QString unit = figureUnit(m, simulation, english);
    return unit.isEmpty() ? significant(value) : significant(value) + QLatin1Char(' ') + unit;
}

QString LabTexts::modeName(RunMode mode, bool english)
{
    switch (mode) {
    case RunMode::OpenLoop: return kModeOpen.in(english);
    case RunMode::Kit: return kModeKit.in(english);
    case RunMode::Simulation: return kModeSimulation.in(english);
    }
    return QString();
}

QString LabTexts::fuzzyName(bool english)
{
    return kFuzzy.in(english);
}

QString LabTexts::notAvailable(bool english)
{
    return kNotAvailable.in(english);
}

QString LabTexts::significant(double value, int digits)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    // the whole part is never rounded away: 4095 stays 4095
    if (std::fabs(value) >= std::pow(10.0, digits - 1))
        return QString::number(std::round(value), 'f', 0);
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const double unit = std::pow(10.0, magnitude - digits + 1);
    const double rounded = std::round(value / unit) * unit;
    // rounding may carry into the next power of ten (9.996 -> 10.0)
    const int shown = static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
    return QString::number(rounded, 'f', std::max(0, digits - 1 - shown));
}

} // namespace tervalo
