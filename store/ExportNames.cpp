#include "store/ExportNames.h"

#include "engine/RunRecord.h"
#include "store/RunLibrary.h"
#include "store/UserFolders.h"

#include <QDateTime>
#include <QFileInfo>

namespace tervalo::ExportNames {

namespace {

constexpr int kNameLimit = 100;

// A run's name as a file's base name: no folder separators, no characters
// other disks refuse, no leading dot (a hidden file) and no trailing dot or
// blank; empty when nothing is left.
QString fileBase(const QString &runName)
{
    QString base = runName.left(kNameLimit);
    for (QChar &c : base)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    base = base.trimmed();
    while (base.startsWith(QLatin1Char('.')))
        base.remove(0, 1);
    while (base.endsWith(QLatin1Char('.')) || base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    return base.trimmed();
}

// "kit-PI-2026-12-11-1430": the mode, the controller but in open loop, the
// local start to the minute (as the Runs window lists it).
QString modeBase(const RunNaming &run)
{
    QStringList parts{fileBase(run.mode)};
    if (run.mode != QLatin1String(runModeName(RunMode::OpenLoop)) && !run.controller.isEmpty())
        parts << fileBase(run.controller);
    const QDateTime start = QDateTime::fromString(run.startUtc, Qt::ISODate);
    if (start.isValid())
        parts << start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    if (!run.what.isEmpty())
        parts << fileBase(run.what);
    parts.removeAll(QString());
    return parts.join(QLatin1Char('-'));
}

QString utcBase(const QString &startUtc)
{
    QString when = startUtc; // 2026-12-10T05:50:00Z
    when.replace(QLatin1Char('T'), QLatin1Char('_')).replace(QLatin1Char(':'), QLatin1Char('-'));
    if (when.endsWith(QLatin1Char('Z')))
        when.chop(1);
    return QStringLiteral("run_") + when;
}

} // namespace

RunNaming naming(const RunSettings &s)
{
    RunNaming n;
    n.startUtc = QString::fromStdString(utcText(s.start));
    n.mode = QLatin1String(runModeName(s.mode));
    n.controller = QLatin1String(runControllerName(s.controller));
    return n;
}

RunNaming naming(const StoredRun &run)
{
    RunNaming n;
    n.startUtc = run.startUtc;
    n.mode = run.mode;
    n.controller = run.controller;
    n.name = run.name;
    return n;
}

QString folder()
{
    return UserFolders().experimentFolder().path;
}

QString runFile(const QString &folder, const RunNaming &run, const char *ending)
{
    QString base = fileBase(run.name);
    if (base.isEmpty())
        base = run.mode.isEmpty() ? utcBase(run.startUtc) : modeBase(run);
    return folder + QLatin1Char('/') + base + QLatin1Char('.') + QLatin1String(ending);
}

QString runFile(const QString &folder, const QString &startUtc, const QString &runName)
{
    RunNaming run;
    run.startUtc = startUtc;
    run.name = runName;
    return runFile(folder, run);
}

QString withEnding(const QString &chosen, const char *ending)
{
    if (!QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + QLatin1Char('.') + QLatin1String(ending);
}

} // namespace tervalo::ExportNames
