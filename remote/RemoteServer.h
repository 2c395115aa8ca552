#pragma once
// The remote lab's server: the page, the JSON API and the live WebSocket,
// next to the window. Every request names its caller by a code (the
// Authorization: Bearer header or ?code=), checked in constant time against
// every code of the configuration and never written anywhere; every action
// is checked against the caller's role and whether it drives (RemoteApi);
// every value against its bar's range; then it goes to the lab as a click
// would. Samples reach the viewers after the cycle that made them has
// returned: each viewer's send queue is bounded and a viewer past it is
// dropped, so no viewer holds up the cycle or the others.

#include "remote/ConnectionGuard.h"
#include "remote/ControlQueue.h"
#include "remote/RemoteConfig.h"
#include "remote/RemoteLab.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;
class QTcpServer;
class QWebSocket;

namespace tervalo::remote {

struct ServerOptions {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0; // 0: any free port
    std::optional<QSslConfiguration> tls;
    int headerBytes = 8 * 1024;
    int bodyBytes = 16 * 1024;
    std::chrono::milliseconds requestTime{10000};
    std::chrono::milliseconds pingEvery{1000};
    std::chrono::milliseconds silence{3000}; // a live socket quiet this long is dropped
    std::chrono::milliseconds tickEvery{250};
    int commandsPerSecond = 20;
    qint64 sendQueueBytes = 256 * 1024;
    int liveSendBuffer = 64 * 1024;
};

// One line of the command log: who did what, when, and how it was answered.
struct LogEntry {
    QDateTime at;
    QString who; // a name; "viewer" for the viewer code
    QString what;
    int status = 200;
    QString detail;
};

struct Watcher {
    QString name;
    Role role = Role::Viewer;
    QString address;
};

class RemoteServer : public QObject {
    Q_OBJECT
public:
    RemoteServer(RemoteLab &lab, RemoteConfig config, ServerOptions options = {}, QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens at the options' address and port; false and why when it cannot.
    bool listen(QString *why = nullptr);
    void close();
    bool listening() const;
    quint16 port() const;
    QString url() const; // "http://127.0.0.1:8080/"

    const RemoteConfig &config() const { return config_; }
    QString driver() const { return queue_.driver(); }
    QStringList queue() const { return queue_.queue(); }
    std::vector<Watcher> watchers() const;
    const std::deque<LogEntry> &log() const { return log_; }

    // The person at the PC takes control: the remote slot ends at once, the
    // run stops, and no one drives remotely until handBack().
    void takeBack();
    void handBack();
    bool heldByPc() const { return queue_.heldByPc(); }

    // The clocks: monotonic milliseconds for slots and limits, and the wall
    // clock for the samples' sentAt.
    void setClocks(std::function<qint64()> monotonicMs, std::function<qint64()> wallMs);

signals:
    void logged(const tervalo::remote::LogEntry &entry);
    // The driver, the queue or the watchers changed.
    void controlChanged();
    void watchersChanged();

private:
    struct Caller {
        QString name;
        Role role = Role::Viewer;
        QByteArray code; // kept only to count its commands
    };
    struct Viewer {
        QWebSocket *socket = nullptr;
        Caller caller;
        qint64 lastHeard = 0;
    };
    struct Reply {
        int status = 200;
        QString error;
    };

    std::optional<Caller> identify(const QHttpServerRequest &request, bool *presented) const;
    std::optional<Caller> identifyCode(const QByteArray &code) const;
    void routes();
    QHttpServerResponse state(const QHttpServerRequest &request);
    QHttpServerResponse command(const QHttpServerRequest &request);
    QHttpServerResponse runs(const QHttpServerRequest &request);
    QHttpServerResponse runCsv(const QString &file, const QHttpServerRequest &request);
    Reply act(const Caller &caller, const QJsonObject &command);
    Reply actOnLab(const Caller &caller, Action action, const QJsonObject &command);
    bool overRate(const QByteArray &code);
    QJsonObject stateJson(const std::optional<Caller> &caller) const;

    void newSocket();
    void dropViewer(QWebSocket *socket, const QString &why);
    void heartbeat();
    void tick();
    void slotEnded(const std::optional<SlotEnd> &ended);
    void sample(const LabSample &s);
    void flushSamples();
    void stateChanged();
    void broadcastState();
    void broadcastNotice(const QString &text);
    void send(Viewer &viewer, const QString &message);
    void record(const QString &who, const QString &what, int status, const QString &detail = QString());
    ControlQueue::Ms now() const { return ControlQueue::Ms(monotonicMs_()); }

    RemoteLab &lab_;
    RemoteConfig config_;
    ServerOptions options_;
    std::unique_ptr<QHttpServer> http_;
    std::unique_ptr<ConnectionGuard> guard_;
    QTcpServer *tcp_ = nullptr; // owned by http_ once bound
    ControlQueue queue_;
    std::vector<Viewer> viewers_;
    std::deque<LogEntry> log_;
    std::vector<std::pair<QByteArray, std::deque<qint64>>> rates_;
    std::deque<QString> pendingSamples_;
    bool flushPosted_ = false, statePosted_ = false;
    bool remoteStartPosted_ = false, remoteRun_ = false;
    QTimer pingTimer_, tickTimer_;
    std::function<qint64()> monotonicMs_, wallMs_;
};

} // namespace tervalo::remote
