#include "store/ClassConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tervalo::ClassConfig {

namespace {

const QString kServerKey = QStringLiteral("class/server");
const QString kStudentKey = QStringLiteral("class/student");
const QString kFile = QStringLiteral("/Tervalo/Tervalo.conf");

// The value of key in a settings file that holds it.
std::optional<QString> valueIn(const QString &path, const QString &key)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    const QSettings settings(path, QSettings::IniFormat);
    if (!settings.contains(key))
        return std::nullopt;
    // a comma written by hand into the file makes a list of the value
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).trimmed();
    return value.toString().trimmed();
}

ClassSetting resolve(const std::optional<QString> &option, const char *optionName, const char *variable,
                     const QString &key, bool systemToo)
{
    if (option)
        return {option->trimmed(), QLatin1String(optionName)};
    if (qEnvironmentVariableIsSet(variable))
        return {qEnvironmentVariable(variable).trimmed(), QLatin1String(variable)};
    QStringList files{userSettingsPath()};
    if (systemToo)
        files += systemSettingsPaths();
    for (const QString &path : files)
        if (const std::optional<QString> value = valueIn(path, key))
            return {*value, path};
    return {};
}

QString write(const QString &key, const std::optional<QString> &value)
{
    const QString path = userSettingsPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QFileInfo(path).absolutePath() + QStringLiteral(": the folder cannot be made");
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::FormatError)
        return path + QStringLiteral(": not a settings file, left as it is");
    if (value)
        settings.setValue(key, *value);
    else
        settings.remove(key);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return path + QStringLiteral(": cannot be written (no permission, or the disk is full)");
    return {};
}

} // namespace

QString userSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + kFile;
}

QStringList systemSettingsPaths()
{
    QStringList out;
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString &folder : folders)
        if (folder != user)
            out << folder + kFile;
    return out;
}

ClassSetting server(const std::optional<QString> &option)
{
    return resolve(option, "--class-server", "TERVALO_CLASS_SERVER", kServerKey, true);
}

ClassSetting student(const std::optional<QString> &option)
{
    return resolve(option, "--student", "TERVALO_STUDENT", kStudentKey, false);
}

std::optional<ClassServerAddress> address(const ClassSetting &server, QString *why)
{
    if (!server.given())
        return std::nullopt;
    QString reason;
    std::optional<ClassServerAddress> a = ClassServerAddress::parse(server.value, &reason);
    if (!a && why)
        *why = server.from + QStringLiteral(": ") + reason;
    return a;
}

bool acceptableStudent(const QString &name, QString *why)
{
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (name.size() > kStudentLimit)
        return refuse(QStringLiteral("a student's name of more than %1 characters").arg(kStudentLimit));
    for (QChar c : name)
        if (c.category() == QChar::Other_Control)
            return refuse(QStringLiteral("a student's name with a control character"));
    return true;
}

QString saveServer(const QString &uri)
{
    const QString given = uri.trimmed();
    if (!given.isEmpty()) {
        QString why;
        if (!ClassServerAddress::parse(given, &why))
            return QStringLiteral("not saved: ") + why;
    }
    return write(kServerKey, given);
}

QString clearServer()
{
    return write(kServerKey, std::nullopt);
}

QString saveStudent(const QString &name)
{
    const QString given = name.trimmed();
    QString why;
    if (!acceptableStudent(given, &why))
        return QStringLiteral("not saved: ") + why;
    return write(kStudentKey, given);
}

} // namespace tervalo::ClassConfig
