#pragma once
// Who may watch and drive the remote lab, and for how long:
//
//   { "format": "tervalo-remote", "version": 1,
//     "viewing": "code" | "open",
//     "viewerCode": "...",                       (with "viewing": "code")
//     "instructor": { "name": "...", "code": "..." },
//     "students": [ { "name": "...", "code": "..." } ],
//     "slotMinutes": 10, "longestRunMinutes": 5,
//     "modes": [ "simulation", "kit" ],
//     "origins": [ "https://lab.example.edu" ],   (optional)
//     "connections": 256 }                        (optional)
//
// A file is read whole and checked whole like an experiment file: JSON, the
// format and version, no unknown key, every value of its type and range,
// every code at least 16 characters and no two people with one name or one
// code. A refused file names the key and the reason; nothing is served.
// Without a file the lab has one random viewer code and one random driver
// code (128 bits each).

#include "remote/RemoteApi.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

namespace tervalo::remote {

struct Person {
    QString name;
    QByteArray code;
    Role role = Role::Student;
};

struct RemoteConfig {
    static constexpr const char *kFormat = "tervalo-remote";
    static constexpr int kVersion = 1;
    static constexpr int kShortestCode = 16;

    bool openViewing = false;   // anyone may watch without a code
    QByteArray viewerCode;      // empty with open viewing
    std::vector<Person> people; // the instructor (if any) and the students
    std::chrono::milliseconds slot = std::chrono::minutes(10);
    std::chrono::milliseconds longestRun = std::chrono::minutes(5);
    QStringList modes{QStringLiteral("simulation"), QStringLiteral("kit")};
    QStringList origins; // pages on other hosts allowed to open the live socket
    int connections = 256;

    // No file: a random viewer code and a student "driver" with a random code.
    static RemoteConfig generated();
    // A fresh random code: 128 bits as 32 hexadecimal digits.
    static QByteArray randomCode();
};

struct ConfigError {
    QString key; // "students[1].code"; empty for the file as a whole
    QString reason;
    QString message() const { return key.isEmpty() ? reason : key + QStringLiteral(": ") + reason; }
};

// Checks contents whole; false and why when refused, out untouched.
bool parseRemoteConfig(const QByteArray &contents, RemoteConfig &out, ConfigError &why);
// Reads at most 64 KiB from path, then as parseRemoteConfig.
bool readRemoteConfig(const QString &path, RemoteConfig &out, ConfigError &why);

} // namespace tervalo::remote
