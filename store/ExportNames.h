#pragma once
// The file names the save dialogs offer and the endings they add, for every
// window that exports a run or a picture of one, and the folder the dialogs
// open in.

#include <QString>

namespace tervalo {

struct RunSettings;
struct StoredRun;

namespace ExportNames {

// What the offered name of a run's file is made of.
struct RunNaming {
    QString startUtc;   // "2026-12-11T13:30:00Z"
    QString mode;       // "open", "kit", "simulation"; empty: not known
    QString controller; // "PI", "fuzzy"; left out in open loop
    QString name;       // the run's own name, when it has one
    QString what;       // what of the run the file holds besides its data ("surface")
};
// The naming of a run being recorded or shown, and of a stored one.
RunNaming naming(const RunSettings &settings);
RunNaming naming(const StoredRun &run);

// The folder every save dialog opens in: the user's experiment folder
// (<documents>/Tervalo, see UserFolders::experimentFolder).
QString folder();

// The name offered for a run's file (a CSV's JSON goes beside it) in folder:
//  - the run's own name when it has one, made fit for a file name on any
//    disk ("Group 3: PI, Kp=0.5" gives "Group 3_ PI, Kp=0.5.csv");
//  - otherwise its mode, controller and local start to the minute
//    ("kit-PI-2026-12-11-1430.csv", "open-2026-12-11-1430.csv"), then what
//    the file holds ("simulation-fuzzy-2026-12-11-1430-surface.png");
//  - with no mode known, its UTC start ("2026-12-10T05:50:00Z" gives
//    "run_2026-12-10_05-50-00.csv").
QString runFile(const QString &folder, const RunNaming &run, const char *ending = "csv");
QString runFile(const QString &folder, const QString &startUtc, const QString &runName = {});

// The chosen name with ".<ending>" added when it has no ending of its own
// ("report" gives "report.pdf"; "report.v2" stays as it is).
QString withEnding(const QString &chosen, const char *ending);

} // namespace ExportNames

} // namespace tervalo
