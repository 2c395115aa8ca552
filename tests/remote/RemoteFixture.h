#pragma once
// The remote lab's server on a free port of 127.0.0.1 over a MemoryLab,
// with Qt's own HTTP and WebSocket clients and a raw TCP socket for what
// those clients would never send. Its timings are short so that the
// slot, heartbeat and idle-request limits are reached in a fraction of a
// second.

#include "MemoryLab.h"
#include "remote/RemoteServer.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>

namespace tervalo::remote {

// A config with an instructor, two students and a viewer code.
inline QByteArray labConfig(const char *extra = "")
{
    return QByteArray(R"({"format": "tervalo-remote", "version": 1, "viewing": "code",
        "viewerCode": "viewer-code-0123456789",
        "instructor": {"name": "Ada", "code": "ada-code-0123456789"},
        "students": [{"name": "Bora", "code": "bora-code-0123456789"},
                     {"name": "Cem", "code": "cem-code-0123456789"}])")
        + extra + "}";
}

constexpr const char *kViewer = "viewer-code-0123456789";
constexpr const char *kAda = "ada-code-0123456789";
constexpr const char *kBora = "bora-code-0123456789";
constexpr const char *kCem = "cem-code-0123456789";

struct Http {
    int status = 0;
    QByteArray raw;
    QJsonObject body() const { return QJsonDocument::fromJson(raw).object(); }
    QJsonArray list() const { return QJsonDocument::fromJson(raw).array(); }
};

class RemoteFixture : public ::testing::Test {
protected:
    MemoryLab lab;
    RemoteConfig config;
    ServerOptions options;
    std::unique_ptr<RemoteServer> server;
    QNetworkAccessManager net;

    void SetUp() override
    {
        lab.nested = false;
        ConfigError why;
        ASSERT_TRUE(parseRemoteConfig(labConfig(), config, why)) << why.message().toStdString();
        options.requestTime = std::chrono::milliseconds(400);
        options.pingEvery = std::chrono::milliseconds(50);
        options.silence = std::chrono::milliseconds(300);
        options.tickEvery = std::chrono::milliseconds(20);
        net.setProxy(QNetworkProxy::NoProxy);
    }

    void serve()
    {
        server = std::make_unique<RemoteServer>(lab, config, options);
        QString why;
        ASSERT_TRUE(server->listen(&why)) << why.toStdString();
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server->port()).arg(path));
    }

    Http finish(QNetworkReply *reply)
    {
        if (!reply->isFinished()) { // an event loop, not qWaitFor's 10 ms naps
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        EXPECT_TRUE(reply->isFinished());
        Http h;
        h.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        h.raw = reply->readAll();
        reply->deleteLater();
        return h;
    }

    Http get(const QString &path, const char *code = nullptr)
    {
        QNetworkRequest r(url(path));
        if (code)
            r.setRawHeader("Authorization", QByteArray("Bearer ") + code);
        return finish(net.get(r));
    }

    Http postRaw(const char *code, const QByteArray &body)
    {
        QNetworkRequest r(url(QStringLiteral("/api/command")));
        r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        if (code)
            r.setRawHeader("Authorization", QByteArray("Bearer ") + code);
        return finish(net.post(r, body));
    }

    Http post(const char *code, const QJsonObject &command)
    {
        return postRaw(code, QJsonDocument(command).toJson(QJsonDocument::Compact));
    }

    Http act(const char *code, const char *action, QJsonObject args = {})
    {
        args.insert(QStringLiteral("action"), QLatin1String(action));
        return post(code, args);
    }

    QJsonObject state(const char *code = kViewer) { return get(QStringLiteral("/api/state"), code).body(); }

    // Bytes written on a raw connection, and all it got back until the
    // server closed it or waitMs passed.
    QByteArray raw(const QByteArray &bytes, int waitMs = 2000, bool *closed = nullptr)
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, server->port());
        EXPECT_TRUE(s.waitForConnected(2000));
        s.write(bytes);
        QByteArray got;
        QTest::qWaitFor(
            [&] {
                got += s.readAll();
                return s.state() == QAbstractSocket::UnconnectedState;
            },
            waitMs);
        got += s.readAll();
        if (closed)
            *closed = s.state() == QAbstractSocket::UnconnectedState;
        return got;
    }

    // A live socket; waits for the handshake and the first state message.
    struct Live {
        std::unique_ptr<QWebSocket> socket;
        std::vector<QJsonObject> messages;
        int closeCode = -1;
        int count(const char *type) const
        {
            int n = 0;
            for (const QJsonObject &m : messages)
                n += m.value(QLatin1String("type")) == QLatin1String(type);
            return n;
        }
    };
    std::unique_ptr<Live> live(const char *code, const QString &origin = QString())
    {
        auto l = std::make_unique<Live>();
        l->socket = std::make_unique<QWebSocket>(origin);
        l->socket->setProxy(QNetworkProxy::NoProxy);
        Live *p = l.get();
        QObject::connect(p->socket.get(), &QWebSocket::textMessageReceived, [p](const QString &m) {
            p->messages.push_back(QJsonDocument::fromJson(m.toUtf8()).object());
        });
        QObject::connect(p->socket.get(), &QWebSocket::disconnected, [p] { p->closeCode = p->socket->closeCode(); });
        QUrl u(QStringLiteral("ws://127.0.0.1:%1/api/live").arg(server->port()));
        if (code)
            u.setQuery(QStringLiteral("code=") + QLatin1String(code));
        p->socket->open(u);
        QTest::qWaitFor([p] { return !p->messages.empty() || p->closeCode >= 0; }, 5000);
        return l;
    }
};

} // namespace tervalo::remote
