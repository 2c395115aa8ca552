#pragma once
// What the class-server tests share: the test server pg_virtualenv started
// (its superuser, a database of each test's own, crash and restart), runs
// to send, and the real programs.

#include "engine/RunRecord.h"
#include "store/ClassServer.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// QStrings in the failures as text
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace classtest {

// A run of cycles rows: a first-order step response, classic (PI) or fuzzy.
tervalo::RunRecord makeRun(int cycles, bool fuzzy = false, int startSecond = 0);
// A new random UUID.
QString newUuid();

// The test server's URI for a database (the superuser unless user given).
QString uri(const QString &database, const QString &user = QString(), const QString &extra = QString());
tervalo::ClassServerAddress address(const QString &database, const QString &user = QString(),
                                    const QString &extra = QString());

// One statement as the superuser; the first column of each row.
QStringList admin(const QString &database, const QString &sql, QString *error = nullptr);
// One statement as a login of the test's own: its rows' first column, the
// rows it changed, the server's error.
struct Answer {
    QStringList rows;
    int affected = -1;
    QString error;
};
Answer query(const QString &database, const QString &user, const QString &password, const QString &sql);

// The postmaster and every process of the server killed with SIGKILL, then
// the server started again; false when it does not come back.
bool crashServer();
bool startServer();
// The server shut down (fast: the connections closed).
bool stopServer();

struct Program {
    int status = -1;
    QByteArray out;
    QString err;
};
// A program run to its end (at most a minute); env added to the test's own.
Program run(const QString &program, const QStringList &args, const QProcessEnvironment &env = {});
QString tervaloClass();
QString tervaloSim();

// Waits (the event loop turning) until done() holds, at most timeoutMs.
bool waitFor(const std::function<bool()> &done, int timeoutMs = 30000);

// Each test its own database with the class library made in it, named
// after the test.
class ClassTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A student login with a password of its own (made by addStudents).
    struct Login {
        QString login, password;
    };
    Login addStudent(const QString &name);
    // A connection as the superuser (the instructor's side), or a student.
    std::unique_ptr<tervalo::ClassServer> open(const Login *as = nullptr);

    QString database;
};

} // namespace classtest
