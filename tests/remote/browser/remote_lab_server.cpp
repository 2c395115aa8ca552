// A remote lab served over a MemoryLab, for the page's browser test: it
// listens on a free port of 127.0.0.1 and prints, as `tervalo --serve` does,
//   serving http://127.0.0.1:PORT/
//   viewer code: CODE
//   driver code: CODE
// and then "instructor code: CODE". It serves until it is ended or stdin
// closes, and at most ten minutes.

#include "MemoryLab.h"
#include "remote/RemoteServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace tervalo::remote;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray config = R"({"format": "tervalo-remote", "version": 1, "viewing": "code",
        "viewerCode": "viewer-code-0123456789abcdef",
        "instructor": {"name": "Ada", "code": "ada-code-0123456789abcdef"},
        "students": [{"name": "Bora", "code": "bora-code-0123456789abcdef"}],
        "slotMinutes": 10, "longestRunMinutes": 5, "modes": ["simulation", "kit"]})";
    RemoteConfig remote;
    ConfigError why;
    if (!parseRemoteConfig(config, remote, why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why.message()));
        return 1;
    }
    MemoryLab lab;
    lab.cycleMs = 50;
    RemoteServer server(lab, remote);
    QString failed;
    if (!server.listen(&failed)) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        return 1;
    }
    auto codeOf = [&](const char *name) {
        for (const Person &p : remote.people)
            if (p.name == QLatin1String(name))
                return p.code;
        return QByteArray();
    };
    std::printf("serving %s\nviewer code: %s\ndriver code: %s\ninstructor code: %s\n", qPrintable(server.url()),
                remote.viewerCode.constData(), codeOf("Bora").constData(), codeOf("Ada").constData());
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0) {
            input.setEnabled(false);
            lab.stop();
            app.quit();
        }
    });
    QTimer::singleShot(10 * 60 * 1000, &app, [&] {
        lab.stop();
        app.quit();
    });
    const int status = app.exec();
    lab.stop();
    return status;
}
