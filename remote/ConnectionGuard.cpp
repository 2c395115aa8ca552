#include "remote/ConnectionGuard.h"

#include <QPointer>
#include <QTimer>

namespace tervalo::remote {

namespace {

// How long a refused connection is kept open, reading and discarding, so
// that its peer reads the reply rather than a reset.
constexpr int kRefusalGraceMs = 500;

const char *statusText(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// Follows one connection's requests: their headers, then as many body bytes
// as the headers announce.
class FollowedConnection : public QObject {
public:
    FollowedConnection(ConnectionGuard *guard, QTcpSocket *socket) : QObject(socket), guard_(guard), socket_(socket)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { tooSlow(); });
        timer_.start(guard_->limits().requestTime);
        QObject::connect(socket_, &QTcpSocket::readyRead, this, [this] { arrived(); });
    }
    ~FollowedConnection() override
    {
        if (guard_)
            guard_->closed();
    }

    void arrived()
    {
        if (!guard_ || state_ == State::Upgraded || !socket_->isOpen())
            return;
        if (state_ == State::Refused) {
            socket_->readAll();
            return;
        }
        const QByteArray fresh = socket_->peek(socket_->bytesAvailable());
        qsizetype at = 0;
        while (at < fresh.size() && state_ != State::Upgraded && state_ != State::Refused) {
            if (state_ == State::Header)
                at = header(fresh, at);
            else
                at = body(fresh, at);
        }
    }

private:
    enum class State { Header, Body, Upgraded, Refused };

    qsizetype header(const QByteArray &fresh, qsizetype at)
    {
        if (header_.isEmpty())
            timer_.start(guard_->limits().requestTime); // a request's time runs from its first byte
        const qsizetype before = header_.size();
        const qsizetype room = guard_->limits().headerBytes + 4 - before;
        header_.append(fresh.constData() + at, std::min<qsizetype>(room, fresh.size() - at));
        const qsizetype end = header_.indexOf("\r\n\r\n", std::max<qsizetype>(0, before - 3));
        if (end < 0) {
            if (header_.size() > guard_->limits().headerBytes)
                refuse(431, "request line and headers longer than the limit");
            return fresh.size();
        }
        const qsizetype used = end + 4 - before;
        if (end + 4 > guard_->limits().headerBytes + 4) {
            refuse(431, "request line and headers longer than the limit");
            return fresh.size();
        }
        headerDone(header_.left(end));
        return at + used;
    }

    void headerDone(const QByteArray &head)
    {
        header_.clear();
        qint64 length = 0;
        bool upgrade = false;
        const QList<QByteArray> lines = head.split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length") {
                bool ok = false;
                length = value.toLongLong(&ok);
                if (!ok || length < 0)
                    return refuse(400, "a Content-Length that is no length");
            } else if (name == "transfer-encoding") {
                return refuse(411, "a body must come with its Content-Length");
            } else if (name == "upgrade" && value.toLower() == "websocket") {
                upgrade = true;
            }
        }
        if (length > guard_->limits().bodyBytes)
            return refuse(413, "a body over the limit of " + QByteArray::number(guard_->limits().bodyBytes) + " bytes");
        if (upgrade) {
            state_ = State::Upgraded;
            timer_.stop();
            socket_->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, guard_->limits().liveSendBuffer);
            return;
        }
        bodyLeft_ = length;
        state_ = State::Body;
        if (bodyLeft_ == 0)
            requestDone();
    }

    qsizetype body(const QByteArray &fresh, qsizetype at)
    {
        const qsizetype take = std::min<qint64>(bodyLeft_, fresh.size() - at);
        bodyLeft_ -= take;
        if (bodyLeft_ == 0)
            requestDone();
        return at + take;
    }

    void requestDone()
    {
        state_ = State::Header;
        timer_.start(guard_->limits().requestTime); // silent between requests as long at most
    }

    void tooSlow()
    {
        if (!guard_ || state_ == State::Upgraded || state_ == State::Refused)
            return;
        emit guard_->refused(408, QStringLiteral("a client silent for too long"));
        socket_->abort();
    }

    void refuse(int status, const char *why) { refuse(status, QByteArray(why)); }
    void refuse(int status, const QByteArray &why)
    {
        state_ = State::Refused;
        timer_.stop();
        emit guard_->refused(status, QString::fromLatin1(why));
        ConnectionGuard::refuse(socket_, status, why);
    }

    QPointer<ConnectionGuard> guard_;
    QTcpSocket *socket_;
    QTimer timer_;
    State state_ = State::Header;
    QByteArray header_;
    qint64 bodyLeft_ = 0;
};

} // namespace

ConnectionGuard::ConnectionGuard(const ConnectionLimits &limits, QObject *parent) : QObject(parent), limits_(limits) { }

namespace {

// Holds a place in the cap for a TLS connection while its handshake goes on.
class HandshakeHold : public QObject {
public:
    HandshakeHold(ConnectionGuard *guard, QTcpSocket *socket) : QObject(socket), guard_(guard) { }
    ~HandshakeHold() override
    {
        if (guard_)
            guard_->closed();
    }

private:
    QPointer<ConnectionGuard> guard_;
};

} // namespace

void ConnectionGuard::handshaking(QTcpSocket *socket)
{
    if (open_ >= limits_.connections) {
        emit refused(503, QStringLiteral("past the cap of %1 connections (TLS handshake)").arg(limits_.connections));
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++open_;
    new HandshakeHold(this, socket);
}

bool ConnectionGuard::admit(QTcpSocket *socket)
{
    // its handshake's place passes to the connection
    for (QObject *child : socket->children())
        if (auto *hold = dynamic_cast<HandshakeHold *>(child)) {
            delete hold;
            break;
        }
    if (open_ >= limits_.connections) {
        emit refused(503, QStringLiteral("past the cap of %1 connections").arg(limits_.connections));
        refuse(socket, 503, "too many connections");
        return false;
    }
    // counted until the socket goes (the HTTP server drops every other
    // connection of a socket it hands to the WebSocket server)
    ++open_;
    // replies go out whole at once, not held back for the peer's ACK
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto *followed = new FollowedConnection(this, socket);
    if (socket->bytesAvailable() > 0)
        followed->arrived();
    return true;
}

void ConnectionGuard::refuse(QTcpSocket *socket, int status, const QByteArray &reason)
{
    // Whatever is read from here on is thrown away, also by the HTTP server.
    socket->readAll();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    QByteArray escaped = reason;
    escaped.replace('\\', "\\\\").replace('"', "\\\"");
    const QByteArray body = "{\"ok\":false,\"error\":\"" + escaped + "\"}";
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText(status)
                  + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
                  + "\r\nConnection: close\r\n\r\n" + body);
    QTimer::singleShot(kRefusalGraceMs, socket, [socket] { socket->disconnectFromHost(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

} // namespace tervalo::remote
