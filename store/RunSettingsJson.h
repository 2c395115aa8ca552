#pragma once
// A run's settings as JSON, written and read in this one place: the JSON file
// beside a run's CSV and the run library's settings column both hold them.
//
//   start_utc, mode, controller, reference, cycle_period_s, actuator_min,
//   actuator_max, fuzzy { error_divisor, output_divisor, error_range,
//   error_change_range, output_step_range, term_names, rules } or gains
//   { kp, ki, kd } (null for a gain the law has none of), load,
//   load_changes [ { cycle, from, to } ]

#include "engine/RunRecord.h"

#include <QByteArray>
#include <QJsonObject>

namespace tervalo::RunSettingsJson {

// Adds the settings' keys to o.
void write(const RunSettings &s, QJsonObject &o);

// The settings of o (start time to the second); false, out untouched, for
// JSON that is not such settings. Other keys are left alone.
bool read(const QJsonObject &o, RunSettings &out);
bool read(const QByteArray &json, RunSettings &out);

} // namespace tervalo::RunSettingsJson
