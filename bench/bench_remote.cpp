// The remote lab with many live viewers: a MemoryLab's cycles (every 20 ms)
// go out to 100 WebSocket viewers in a helper process (this program started
// again with --viewers), one more viewer that stops reading after its
// handshake. It reports the cycle-to-viewer latency (median, p99, worst;
// from each sample's sentAt to its arrival, in whole milliseconds of the
// wall clock), what a cycle's samples cost the cycle with and without the
// viewers, the server's memory with 100 viewers against none, and whether
// the viewer that stopped reading was dropped while the others went on.
//
//   bench_remote [--viewers N] [--seconds S]

#include "MemoryLab.h"
#include "remote/RemoteServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace tervalo::remote;

namespace {

constexpr const char *kCode = "bench-viewer-code-0123456789";

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---- the viewers' process ------------------------------------------------

int viewers(int count, quint16 port, int seconds)
{
    std::vector<std::unique_ptr<QWebSocket>> sockets;
    std::vector<double> latency;
    latency.reserve(static_cast<std::size_t>(count) * seconds * 60);
    int open = 0;
    bool measuring = false;
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/api/live?code=%2").arg(port).arg(QLatin1String(kCode)));
    for (int i = 0; i < count; ++i) {
        auto s = std::make_unique<QWebSocket>();
        s->setProxy(QNetworkProxy::NoProxy);
        QObject::connect(s.get(), &QWebSocket::connected, [&open] { ++open; });
        QObject::connect(s.get(), &QWebSocket::textMessageReceived, [&](const QString &m) {
            if (!measuring || !m.startsWith(QLatin1String("{\"actuator\"")))
                return;
            const qsizetype at = m.indexOf(QLatin1String("\"sentAt\":"));
            if (at < 0)
                return;
            const qsizetype end = m.indexOf(QLatin1Char(','), at);
            const double sent = QStringView(m).mid(at + 9, end < 0 ? -1 : end - at - 9).toDouble();
            latency.push_back(static_cast<double>(QDateTime::currentMSecsSinceEpoch()) - sent);
        });
        s->open(url);
        sockets.push_back(std::move(s));
    }
    // One more that reads nothing after its handshake.
    QTcpSocket stalled;
    stalled.setReadBufferSize(1);
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.connectToHost(QHostAddress::LocalHost, port);
    stalled.waitForConnected(5000);
    stalled.write(QByteArray("GET /api/live?code=") + kCode
                  + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QElapsedTimer t;
    t.start();
    while (open < count && t.elapsed() < 20000)
        wait(10);
    std::printf("connected %d\n", open);
    std::fflush(stdout);
    measuring = true;
    wait(seconds * 1000);
    measuring = false;
    std::printf("latency %zu %.1f %.1f %.1f\n", latency.size(), percentile(latency, 0.5), percentile(latency, 0.99),
                percentile(latency, 1.0));
    std::fflush(stdout);
    return 0;
}

// ---- the server's process --------------------------------------------------

struct CycleCost {
    std::vector<double> us;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char *name, int fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int count = option("--viewers", 100);
    const int seconds = option("--seconds", 10);
    if (args.contains(QStringLiteral("--port")))
        return viewers(count, static_cast<quint16>(option("--port", 0)), seconds);

    RemoteConfig config;
    ConfigError why;
    const QByteArray json = QByteArray(R"({"format": "tervalo-remote", "version": 1, "viewing": "code",
        "viewerCode": ")")
        + kCode + R"(", "students": []})";
    if (!parseRemoteConfig(json, config, why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why.message()));
        return 1;
    }
    MemoryLab lab;
    lab.v.running = true;
    ServerOptions options;
    // A smaller send queue than the default 256 KiB. At this sample rate the
    // system's buffers on the loopback take over 200 KB before the queue
    // grows, so the heartbeat (no pong for 3 s) drops the viewer that stops
    // reading first; the queue's limit is tried with a burst in the tests.
    options.sendQueueBytes = 16 * 1024;
    options.liveSendBuffer = 8 * 1024;
    RemoteServer server(lab, config, options);
    QString failed;
    if (!server.listen(&failed)) {
        std::fprintf(stderr, "%s\n", qPrintable(failed));
        return 1;
    }

    // The control cycle: what emitting its sample costs, every 20 ms.
    CycleCost *cost = nullptr;
    qint64 cycle = 0;
    QTimer cycles;
    cycles.setTimerType(Qt::PreciseTimer);
    QObject::connect(&cycles, &QTimer::timeout, [&] {
        ++cycle;
        QElapsedTimer t;
        t.start();
        emit lab.sampled(
            LabSample{cycle, cycle * 0.02, 1000, 900 + double(cycle % 100), 100 - double(cycle % 100), 2000});
        if (cost)
            cost->us.push_back(t.nsecsElapsed() / 1000.0);
    });
    cycles.start(20);

    wait(1000);
    CycleCost alone;
    cost = &alone;
    wait(3000);
    cost = nullptr;
    const long rssAlone = rssKiB();

    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QCoreApplication::applicationFilePath(),
                 {"--viewers", QString::number(count), "--port", QString::number(server.port()), "--seconds",
                  QString::number(seconds)});
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("connected") && t.elapsed() < 30000) {
        wait(20);
        out += helper.readAllStandardOutput();
    }
    CycleCost watched;
    cost = &watched;
    wait(seconds * 1000);
    cost = nullptr;
    const long rssWatched = rssKiB();
    const std::size_t watchers = server.watchers().size();
    helper.waitForFinished(30000);
    out += helper.readAllStandardOutput();
    cycles.stop();

    // Dropped by its full send queue, or by the heartbeat: it reads no ping.
    QString droppedWhy;
    for (const LogEntry &e : server.log())
        if (e.what == QLatin1String("dropped"))
            droppedWhy = e.detail;
    const bool dropped = !droppedWhy.isEmpty();
    std::size_t n = 0;
    double median = 0, p99 = 0, worst = 0;
    for (const QByteArray &line : out.split('\n'))
        if (line.startsWith("latency "))
            std::sscanf(line.constData(), "latency %zu %lf %lf %lf", &n, &median, &p99, &worst);

    std::printf("viewers: %d reading (+1 that stops reading), %d s at one sample each 20 ms\n", count, seconds);
    std::printf("%s", out.constData());
    std::printf("cycle-to-viewer latency: median %.1f ms, p99 %.1f ms, worst %.1f ms over %zu samples "
                "(goal: median < 20, p99 < 100)\n",
                median, p99, worst, n);
    std::printf("a cycle's sample, none watching: median %.1f us, p99 %.1f us\n", percentile(alone.us, 0.5),
                percentile(alone.us, 0.99));
    std::printf("a cycle's sample, %d watching: median %.1f us, p99 %.1f us\n", count, percentile(watched.us, 0.5),
                percentile(watched.us, 0.99));
    std::printf("memory: %.1f MB alone, %.1f MB with the viewers, %.1f MB more (goal: < 30)\n", rssAlone / 1024.0,
                rssWatched / 1024.0, (rssWatched - rssAlone) / 1024.0);
    std::printf("the viewer that stopped reading: %s (%s); %zu viewers left\n", dropped ? "dropped" : "NOT dropped",
                qPrintable(droppedWhy), watchers);
    const std::size_t expected = static_cast<std::size_t>(count) * seconds * 50;
    const bool othersWentOn = n >= expected * 9 / 10;
    std::printf("the others got %zu of about %zu samples\n", n, expected);
    return dropped && othersWentOn && median < 20 && p99 < 100 && rssWatched - rssAlone < 30 * 1024 ? 0 : 1;
}
