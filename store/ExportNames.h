#pragma once
// The file names the save dialogs offer and the endings they add, for every
// window that exports a run or a picture of one.

#include <QString>

namespace tervalo::ExportNames {

// The name offered for a run's CSV (its JSON goes beside it) in folder: the
// run's own name when it has one, made fit for a file name on any disk
// ("Group 3: PI, Kp=0.5" gives "Group 3_ PI, Kp=0.5.csv"), otherwise its
// UTC start ("2026-12-10T05:50:00Z" gives "run_2026-12-10_05-50-00.csv").
QString runFile(const QString &folder, const QString &startUtc, const QString &runName = {});

// The chosen name with ".<ending>" added when it has no ending of its own
// ("report" gives "report.pdf"; "report.v2" stays as it is).
QString withEnding(const QString &chosen, const char *ending);

} // namespace tervalo::ExportNames
