// tervalo-class: the instructor's side of the class library on a PostgreSQL
// server.
//
//   tervalo-class init URL
//   tervalo-class add-students URL FILE.csv
//   tervalo-class report URL [--experiment NAME] [--student NAME]
//   tervalo-class export URL DIR
//   tervalo-class purge URL --before DATE
//
// Status 0 when done, 1 when the server or a file refused, 2 for a command
// line that cannot be run.

#include "store/ClassServer.h"
#include "store/RunFiles.h"
#include "tervalo_version.h"
#include "tools/CheckedOutput.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

using tervalo::ClassServer;
using tervalo::ClassServerAddress;
using tervalo::ClassServerError;
using tervalo::sim::CheckedOutput;

// Limits of a student list.
constexpr qint64 kStudentFileLimit = 1024 * 1024;
constexpr std::size_t kStudentLimit = 5000;

std::string local(const QString &s)
{
    QString line = s;
    for (QChar &c : line)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    return line.toLocal8Bit().toStdString();
}

int failed(const std::string &message)
{
    std::fprintf(stderr, "tervalo-class: %s\n", message.c_str());
    return 1;
}

int failed(const ClassServerError &e)
{
    return failed(local(e.message()));
}

// A password read from the terminal without echo; nothing when there is no
// terminal to ask at.
std::optional<QString> askPassword(const QString &user)
{
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    std::fprintf(stderr, "Password for %s: ", local(user.isEmpty() ? QStringLiteral("the server") : user).c_str());
    std::fflush(stderr);
    termios old{};
    const bool quiet = tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios silent = old;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string line;
    std::getline(std::cin, line);
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fprintf(stderr, "\n");
    return QString::fromLocal8Bit(line.c_str());
}

// The server of the URL, connected (and its tables checked unless forInit);
// a prompt for the password when the server wants one and none was found.
std::unique_ptr<ClassServer> connectTo(const std::string &uri, bool forInit, int &status)
{
    QString why;
    const std::optional<ClassServerAddress> address =
        ClassServerAddress::parse(QString::fromLocal8Bit(uri.c_str()), &why);
    if (!address) {
        status = failed(uri + ": " + local(why));
        return nullptr;
    }
    auto server = std::make_unique<ClassServer>(*address);
    const auto tryOpen = [&] { return forInit ? server->connect() : server->open(); };
    bool ok = tryOpen();
    if (!ok && server->error().kind == ClassServerError::Kind::NoPassword)
        if (const std::optional<QString> password = askPassword(address->user)) {
            server = std::make_unique<ClassServer>(*address, *password);
            ok = tryOpen();
        }
    if (!ok && !(forInit && server->error().reason.contains(QLatin1String("does not exist")))) {
        status = failed(server->error());
        return nullptr;
    }
    return server;
}

// name[,login] a line; a first line "name[,login]" is a header. Quotes as in
// RFC 4180 around a field.
std::optional<std::vector<std::pair<QString, QString>>> readStudents(const std::string &path, std::string &why)
{
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        why = path + ": " + local(file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kStudentFileLimit + 1);
    if (bytes.size() > kStudentFileLimit) {
        why = path + ": longer than " + std::to_string(kStudentFileLimit) + " bytes";
        return std::nullopt;
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    std::vector<std::pair<QString, QString>> out;
    int lineNumber = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        QStringList fields;
        QString field;
        bool inQuotes = false;
        for (int k = 0; k < line.size(); ++k) {
            const QChar c = line[k];
            if (inQuotes) {
                if (c == QLatin1Char('"') && k + 1 < line.size() && line[k + 1] == QLatin1Char('"'))
                    field += line[++k];
                else if (c == QLatin1Char('"'))
                    inQuotes = false;
                else
                    field += c;
            } else if (c == QLatin1Char('"')) {
                inQuotes = true;
            } else if (c == QLatin1Char(',')) {
                fields << field;
                field.clear();
            } else {
                field += c;
            }
        }
        fields << field;
        const auto where = [&] { return path + ":" + std::to_string(lineNumber) + ": "; };
        if (inQuotes || fields.size() > 2) {
            why = where() + "expected name[,login]";
            return std::nullopt;
        }
        const QString name = fields[0].trimmed();
        const QString login = fields.size() > 1 ? fields[1].trimmed() : QString();
        if (out.empty() && name.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0
            && (login.isEmpty() || login.compare(QLatin1String("login"), Qt::CaseInsensitive) == 0))
            continue; // the header
        if (name.isEmpty() || name.size() > 200) {
            why = where() + "a name of 1 to 200 characters";
            return std::nullopt;
        }
        if (out.size() == kStudentLimit) {
            why = path + ": more than " + std::to_string(kStudentLimit) + " students";
            return std::nullopt;
        }
        out.emplace_back(name, login);
    }
    return out;
}

QByteArray csvField(const QString &s)
{
    QByteArray f = s.toUtf8();
    if (f.contains(',') || f.contains('"') || f.contains('\n') || f.contains('\r'))
        return '"' + f.replace("\"", "\"\"") + '"';
    return f;
}

int finish(CheckedOutput &out)
{
    return out.flush() ? 0 : failed(out.failure());
}

int runInit(const std::string &uri)
{
    int status = 0;
    std::unique_ptr<ClassServer> server = connectTo(uri, true, status);
    if (!server)
        return status;
    std::vector<QString> done;
    const bool ok = server->init(done);
    for (const QString &line : done)
        std::printf("%s\n", local(line).c_str());
    return ok ? 0 : failed(server->error());
}

int runAddStudents(const std::string &uri, const std::string &file, CheckedOutput &out)
{
    std::string why;
    const auto students = readStudents(file, why);
    if (!students)
        return failed(why);
    int status = 0;
    std::unique_ptr<ClassServer> server = connectTo(uri, false, status);
    if (!server)
        return status;
    std::vector<QString> skipped;
    const auto made = server->addStudents(*students, skipped);
    if (!made)
        return failed(server->error());
    for (const QString &login : skipped)
        std::fprintf(stderr, "tervalo-class: the login %s is there already: left as it is\n", local(login).c_str());
    out.write("name,login,password\r\n");
    for (const ClassServer::NewStudent &s : *made)
        out.write((csvField(s.name) + ',' + s.login.toUtf8() + ',' + s.password.toUtf8() + "\r\n").toStdString());
    return finish(out);
}

int runReport(const std::string &uri, const ClassServer::RunFilter &filter, CheckedOutput &out)
{
    int status = 0;
    std::unique_ptr<ClassServer> server = connectTo(uri, false, status);
    if (!server)
        return status;
    const auto runs = server->runs(filter);
    if (!runs)
        return failed(server->error());
    QByteArray text = tervalo::classReportHeader();
    for (const tervalo::ClassRunLine &l : *runs)
        text += tervalo::classReportRow(l);
    out.write(text.toStdString());
    return finish(out);
}

int runExport(const std::string &uri, const std::string &dir)
{
    const QString folder = QString::fromLocal8Bit(dir.c_str());
    if (!QDir().mkpath(folder))
        return failed(dir + ": the folder cannot be made");
    int status = 0;
    std::unique_ptr<ClassServer> server = connectTo(uri, false, status);
    if (!server)
        return status;
    const auto runs = server->runs();
    if (!runs)
        return failed(server->error());
    int written = 0;
    for (const tervalo::ClassRunLine &l : *runs) {
        const std::unique_ptr<tervalo::RunRecord> record = server->load(l.context.uuid);
        if (!record)
            return failed(server->error());
        const tervalo::FileError e = tervalo::RunFiles::save(*record, QDir(folder).filePath(l.context.uuid));
        if (e)
            return failed(local(e.message()));
        ++written;
    }
    std::printf("%d runs written to %s\n", written, dir.c_str());
    return 0;
}

int runPurge(const std::string &uri, const std::string &before)
{
    QDateTime when = QDateTime::fromString(QString::fromStdString(before), Qt::ISODate);
    if (!when.isValid()) {
        std::fprintf(stderr, "tervalo-class: --before %s: not a date (2026-09-01 or 2026-09-01T08:00:00Z)\n",
                     before.c_str());
        return 2;
    }
    if (when.timeSpec() == Qt::LocalTime && before.size() == 10)
        when = QDateTime(when.date(), QTime(0, 0), Qt::UTC);
    int status = 0;
    std::unique_ptr<ClassServer> server = connectTo(uri, false, status);
    if (!server)
        return status;
    const auto removed = server->purge(when);
    if (!removed)
        return failed(server->error());
    std::printf("%lld runs deleted\n", static_cast<long long>(*removed));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    CheckedOutput out = CheckedOutput::standardOutput();
    CLI::App cli{"The class library on a PostgreSQL server: set it up, add students, report and export every "
                 "student's runs, delete old ones. URL: postgresql://user@host:port/database?sslmode=require "
                 "(a socket folder as ?host=/run/postgresql); the password from ~/.pgpass, PGPASSWORD or a prompt."};
    cli.set_version_flag("--version", std::string("tervalo-class ") + TERVALO_VERSION);
    cli.require_subcommand(1);
    std::string uri, file, dir, before;
    ClassServer::RunFilter filter;
    std::string experiment, student;

    CLI::App *init = cli.add_subcommand("init",
                                        "make the database (when the role may), the tables and the roles "
                                        "tervalo_student and tervalo_instructor");
    init->add_option("URL", uri, "the class server")->required();
    CLI::App *add = cli.add_subcommand(
        "add-students", "one login role in tervalo_student per line name[,login]; prints name,login,password");
    add->add_option("URL", uri, "the class server")->required();
    add->add_option("FILE", file, "CSV of name[,login]")->required();
    CLI::App *report =
        cli.add_subcommand("report", "one CSV row per run: who, where, what, and every figure of the run");
    report->add_option("URL", uri, "the class server")->required();
    report->add_option("--experiment", experiment, "only runs of this experiment file");
    report->add_option("--student", student, "only this student's runs");
    CLI::App *exportRuns = cli.add_subcommand("export", "each run as CSV + JSON into DIR, named by its UUID");
    exportRuns->add_option("URL", uri, "the class server")->required();
    exportRuns->add_option("DIR", dir, "the folder (made when missing)")->required();
    CLI::App *purge = cli.add_subcommand("purge", "delete the runs started before DATE (instructor only)");
    purge->add_option("URL", uri, "the class server")->required();
    purge->add_option("--before", before, "2026-09-01 (UTC) or 2026-09-01T08:00:00Z")->required();

    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        out.write(cli.help());
        return finish(out);
    } catch (const CLI::CallForVersion &) {
        out.write(std::string("tervalo-class ") + TERVALO_VERSION + "\n");
        return finish(out);
    } catch (const CLI::ParseError &e) {
        std::fprintf(stderr, "tervalo-class: %s\n", e.what());
        return 2;
    }

    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (*init)
        return runInit(uri);
    if (*add)
        return runAddStudents(uri, file, out);
    if (*report) {
        filter.experiment = QString::fromLocal8Bit(experiment.c_str());
        filter.student = QString::fromLocal8Bit(student.c_str());
        return runReport(uri, filter, out);
    }
    if (*exportRuns)
        return runExport(uri, dir);
    return runPurge(uri, before);
}
