#pragma once
// Where the class server and the student's name come from, for the program
// and tervalo-sim alike, each from the first place that names it:
//   the class server: --class-server URL, then TERVALO_CLASS_SERVER, then
//     the user's settings, then the settings an administrator puts on every
//     lab PC (the system scope: Tervalo/Tervalo.conf in each folder of
//     XDG_CONFIG_DIRS, /etc/xdg by default), so that students need do
//     nothing;
//   the student: --student NAME, then TERVALO_STUDENT, then the user's
//     settings.
// In the settings files both live under [class], as server= and student=.
// An empty value at any place means none and ends the search: an empty
// server= in a user's settings turns the lab's class server off for that
// account. The user's settings file is <XDG_CONFIG_HOME or ~/.config>/
// Tervalo/Tervalo.conf, the one QSettings(QSettings::UserScope, "Tervalo",
// "Tervalo") reads.
//
// No password is ever written into the settings: it comes from ~/.pgpass,
// PGPASSWORD or a prompt, and a URI that holds one is refused for saving.

#include "store/ClassServer.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tervalo {

// One value and where it came from.
struct ClassSetting {
    QString value; // empty: none
    // "--class-server", "TERVALO_CLASS_SERVER", a settings file's path;
    // empty when no place names one
    QString from;

    bool given() const { return !value.isEmpty(); }
};

namespace ClassConfig {

// The longest student name or pseudonym taken.
constexpr int kStudentLimit = 120;

// option: what the command line gave (nothing when it gave nothing).
ClassSetting server(const std::optional<QString> &option = std::nullopt);
ClassSetting student(const std::optional<QString> &option = std::nullopt);

// The class server of a setting that names one; nothing with why ("from:
// reason") when what it names is no connection URI.
std::optional<ClassServerAddress> address(const ClassSetting &server, QString *why);
// Whether a name can be a student's (at most kStudentLimit characters, no
// control characters); why not into why.
bool acceptableStudent(const QString &name, QString *why);

// The user's settings file, and the system-wide ones in the order they are
// read (the first that names a value wins).
QString userSettingsPath();
QStringList systemSettingsPaths();

// Into the user's settings; "" when written, else why not (the URI's fault,
// or the file and the reason). An empty uri writes "none for this account";
// clearServer() takes the user's own value away, so that the lab's applies.
QString saveServer(const QString &uri);
QString clearServer();
QString saveStudent(const QString &name);

} // namespace ClassConfig

} // namespace tervalo
