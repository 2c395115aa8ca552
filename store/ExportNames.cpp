#include "store/ExportNames.h"

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

} // namespace

QString runFile(const QString &folder, const QString &startUtc, const QString &runName)
{
    QString base = fileBase(runName);
    if (base.isEmpty()) {
        QString when = startUtc; // 2026-12-10T05:50:00Z
        when.replace(QLatin1Char('T'), QLatin1Char('_')).replace(QLatin1Char(':'), QLatin1Char('-'));
        if (when.endsWith(QLatin1Char('Z')))
            when.chop(1);
        base = QStringLiteral("run_") + when;
    }
    return folder + QLatin1Char('/') + base + QStringLiteral(".csv");
}

QString withEnding(const QString &chosen, const char *ending)
{
    if (!QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + QLatin1Char('.') + QLatin1String(ending);
}

} // namespace tervalo::ExportNames
