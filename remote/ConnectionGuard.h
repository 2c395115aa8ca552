#pragma once
// The limits every connection to the remote lab is held to before the HTTP
// server reads a byte of it: at most `connections` open at once (past them
// a 503 and the connection closed), a request's line and headers at most
// `headerBytes` (431), a body at most `bodyBytes` and always with its length
// given (413, 411), and a request that takes longer than `requestTime` from
// its first byte, or a connection silent that long between requests, is
// dropped. It follows each connection's requests (their headers and the
// body lengths they announce) without keeping a body; once a connection
// asks for a WebSocket it leaves it to the live socket's own heartbeat,
// with a small send buffer.
//
// GuardedServer<QTcpServer> and GuardedServer<QSslServer> hand the HTTP
// server only the connections the guard admits.

#include <QObject>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>
#include <type_traits>

namespace tervalo::remote {

struct ConnectionLimits {
    int connections = 256;
    int headerBytes = 8 * 1024;
    int bodyBytes = 16 * 1024;
    std::chrono::milliseconds requestTime{10000};
    // The system's send buffer of a live socket: with the socket's own
    // bounded queue, all a viewer that stops reading can hold up.
    int liveSendBuffer = 64 * 1024;
};

class ConnectionGuard : public QObject {
    Q_OBJECT
public:
    explicit ConnectionGuard(const ConnectionLimits &limits, QObject *parent = nullptr);

    // Follows socket from now on; false when past the cap (the socket is
    // answered 503 and closes by itself).
    bool admit(QTcpSocket *socket);
    // A TLS connection counts from the start of its handshake: past the cap
    // it is closed at once (a reply cannot be read before the handshake).
    void handshaking(QTcpSocket *socket);
    int open() const { return open_; }
    void closed() { --open_; }
    const ConnectionLimits &limits() const { return limits_; }

    // Writes a whole JSON reply with Connection: close, then lets the peer
    // read it before the socket closes (unread input is thrown away).
    static void refuse(QTcpSocket *socket, int status, const QByteArray &reason);

signals:
    // A connection refused before the HTTP server saw it (status and why).
    void refused(int status, const QString &why);

private:
    ConnectionLimits limits_;
    int open_ = 0;
};

template <typename Server> class GuardedServer : public Server {
public:
    explicit GuardedServer(ConnectionGuard *guard, QObject *parent = nullptr) : Server(parent), guard_(guard)
    {
        if constexpr (std::is_base_of_v<QSslServer, Server>) {
            // a handshake not done within the request time is given up
            Server::setHandshakeTimeout(static_cast<int>(guard->limits().requestTime.count()));
            QObject::connect(this, &QSslServer::startedEncryptionHandshake, guard,
                             [guard](QSslSocket *socket) { guard->handshaking(socket); });
        }
    }

    QTcpSocket *nextPendingConnection() override
    {
        while (QTcpSocket *s = Server::nextPendingConnection())
            if (guard_->admit(s))
                return s;
        return nullptr;
    }

private:
    ConnectionGuard *guard_;
};

} // namespace tervalo::remote
