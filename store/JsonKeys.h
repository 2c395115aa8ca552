#pragma once
// A JSON object that names one key twice is read by Qt as if the key came
// once, its last value winning: what the author meant is unknown. A reader
// that must refuse such a file asks for the first key given twice.

#include <QByteArray>
#include <QString>

namespace tervalo {

// The first key named twice in one object of json, which must already have
// parsed as JSON, as a path like the readers' own: "gains.kp",
// "test_program[2].cycle", "format" at the top. Empty when every object's
// keys differ. Keys are compared as JSON reads them ("k\u0070" is "kp").
QString duplicateJsonKey(const QByteArray &json);

} // namespace tervalo
