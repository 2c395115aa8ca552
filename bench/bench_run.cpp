// A run on the kit as the program makes it: the counting loop polls an
// in-memory port whose status read costs 1 us (like a real port), pumping
// the application's event loop; the 200 ms control cycle runs inside it.
// Prints the sampling rate, the share of time spent reading, and how late
// 200 ms ticks are served during the run. With --viewers N the lab is also
// served to N live WebSocket viewers (bench_remote's viewer process), so
// that the same figures show what the viewers cost the counting loop.
//
//   build-rel/bench/bench_run [seconds] [--viewers N]
#include "controls/form/OptionButton.h"
#include "controls/form/ScrollBar.h"
#include "plant/MemoryPort.h"
#include "remote/LabAdapter.h"
#include "remote/RemoteServer.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    int viewerCount = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--viewers")
            viewerCount = std::atoi(argv[i + 1]);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");

    tervalo::MemoryPort port;
    // a square wave on one status line: one change every 8 reads
    std::vector<std::uint8_t> wave;
    for (int i = 0; i < 16; ++i)
        wave.push_back(i < 8 ? 0x40 : 0x00);
    port.setStatusScript(wave, true);
    port.setReadCost(std::chrono::microseconds(1));

    tervalo::Form2 form(&port);
    form.showMessage = [](const QString &) {};
    form.quitApplication = [] {};
    form.Form_Load();
    form.selectMode(tervalo::RunMode::Kit);
    form.selectController("P");
    form.setGainBar("Slider2", 100);

    // the live viewers, in a process of their own, before the run starts
    tervalo::remote::LabAdapter adapter(form.lab());
    tervalo::remote::RemoteConfig config;
    config.viewerCode = "bench-viewer-code-0123456789"; // bench_remote's viewers use it
    config.connections = viewerCount + 16;
    tervalo::remote::RemoteServer server(adapter, config);
    QProcess viewerProcess;
    if (viewerCount > 0) {
        QString why;
        if (!server.listen(&why)) {
            std::fprintf(stderr, "bench_run: cannot serve: %s\n", why.toLocal8Bit().constData());
            return 1;
        }
        viewerProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_remote"),
                            {"--viewers", QString::number(viewerCount), "--port", QString::number(server.port()),
                             "--seconds", QString::number(static_cast<int>(seconds) + 2)});
        QElapsedTimer connecting;
        connecting.start();
        while (!viewerProcess.canReadLine() && connecting.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::printf("viewers: %s", viewerProcess.readLine().constData());
    }

    // An observer ticking on the same loop, like the control-cycle timer.
    std::vector<double> lateness;
    QElapsedTimer clock;
    QTimer observer;
    observer.setTimerType(Qt::PreciseTimer);
    qint64 due = 0;
    QObject::connect(&observer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back((now - due) / 1e6);
        due = now + 200'000'000;
    });

    std::uint64_t readsAtStart = 0;
    QTimer::singleShot(0, [&] {
        readsAtStart = port.reads();
        clock.start();
        due = 200'000'000;
        observer.start(200);
    });
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { form.Label33_Click(); });
    const auto cpu0 = std::clock();
    form.Label32_Click(); // returns at STOP
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    const double wall = clock.nsecsElapsed() / 1e9;
    const double samples = double(port.reads() - readsAtStart);

    std::vector<double> inOrder = lateness;
    std::sort(lateness.begin(), lateness.end());
    if (std::getenv("TERVALO_BENCH_TRACE"))
        for (std::size_t i = 0; i < inOrder.size(); ++i)
            if (inOrder[i] > 0.5)
                std::printf("tick %zu late by %.3f ms\n", i, inOrder[i]);
    auto pct = [&](double p) {
        return lateness.empty() ? 0.0 : lateness[std::min(lateness.size() - 1, std::size_t(p * lateness.size()))];
    };
    std::printf("run: %.1f s wall, %.1f s cpu, %ld control cycles\n", wall, cpu,
                long(form.state().sampleCount.value()));
    std::printf("samples: %.0f per second; time reading (1 us each): %.1f%% of the run\n", samples / wall,
                100.0 * samples * 1e-6 / wall);
    std::printf("tick lateness over %zu ticks: median %.3f ms, p99 %.3f ms, max %.3f ms\n", lateness.size(), pct(0.5),
                pct(0.99), lateness.empty() ? 0.0 : lateness.back());
    if (viewerCount > 0) {
        viewerProcess.waitForFinished(static_cast<int>(seconds * 1000) + 30000);
        std::printf("viewers' samples, count and latency median/p99/max ms: %s",
                    viewerProcess.readAllStandardOutput().constData());
    }
    return 0;
}
