// The remote lab over TLS, with a throw-away self-signed certificate made by
// openssl: a real HTTPS client and a real WSS client that trust only it,
// and TLS handshakes held to the connection cap.
#include "RemoteFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace tervalo::remote;

class RemoteTlsTest : public RemoteFixture {
protected:
    QTemporaryDir dir;
    QSslCertificate certificate;

    void SetUp() override
    {
        RemoteFixture::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            GTEST_SKIP() << "openssl is not installed";
        ASSERT_TRUE(QSslSocket::supportsSsl());
        ASSERT_TRUE(dir.isValid());
        const QString crt = dir.filePath(QStringLiteral("lab.crt")), key = dir.filePath(QStringLiteral("lab.key"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                       "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", crt});
        ASSERT_TRUE(openssl.waitForFinished(30000));
        ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
        QFile c(crt), k(key);
        ASSERT_TRUE(c.open(QIODevice::ReadOnly) && k.open(QIODevice::ReadOnly));
        certificate = QSslCertificate(&c, QSsl::Pem);
        const QSslKey privateKey(&k, QSsl::Rsa, QSsl::Pem);
        ASSERT_FALSE(certificate.isNull());
        ASSERT_FALSE(privateKey.isNull());
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate);
        tls.setPrivateKey(privateKey);
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        options.tls = tls;
    }

    // A client that trusts the lab's certificate and nothing else.
    QSslConfiguration trusting() const
    {
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setCaCertificates({certificate});
        c.setPeerVerifyMode(QSslSocket::VerifyPeer);
        return c;
    }

    Http getTls(const QString &path, const char *code)
    {
        QNetworkRequest r(QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(server->port()).arg(path)));
        r.setSslConfiguration(trusting());
        r.setRawHeader("Authorization", QByteArray("Bearer ") + code);
        return finish(net.get(r));
    }
};

TEST_F(RemoteTlsTest, HttpsAndWssWithTheGivenCertificate)
{
    serve();
    EXPECT_TRUE(server->url().startsWith(QStringLiteral("https://127.0.0.1:")));
    const Http page = getTls(QStringLiteral("/"), kViewer);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.raw.contains("id=\"plot\""));
    EXPECT_EQ(getTls(QStringLiteral("/api/state"), kViewer).body()["mode"].toString(), "simulation");

    QWebSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.setSslConfiguration(trusting());
    std::vector<QJsonObject> messages;
    QObject::connect(&socket, &QWebSocket::textMessageReceived,
                     [&](const QString &m) { messages.push_back(QJsonDocument::fromJson(m.toUtf8()).object()); });
    socket.open(QUrl(QStringLiteral("wss://127.0.0.1:%1/api/live?code=%2").arg(server->port()).arg(kBora)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 5000));
    EXPECT_EQ(messages[0]["type"].toString(), "state");
    ASSERT_EQ(act(kBora, "request-control").status, 0); // plain HTTP is not served on a TLS port
    lab.v.running = true;
    emit lab.sampled(LabSample{1, 0.02, 1000, 10, 990, 5});
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.back()["type"] == "sample"; }, 5000));
    EXPECT_EQ(messages.back()["output"].toDouble(), 10);
}

TEST_F(RemoteTlsTest, AClientThatDoesNotTrustTheCertificateIsRefused)
{
    serve();
    QNetworkRequest r(QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(server->port())));
    const Http h = finish(net.get(r)); // the system's authorities only
    EXPECT_EQ(h.status, 0);
    EXPECT_TRUE(h.raw.isEmpty());
}

TEST_F(RemoteTlsTest, HandshakesCountInTheConnectionCap)
{
    config.connections = 2;
    options.requestTime = std::chrono::milliseconds(3000);
    serve();
    // Two connections that begin a handshake and never finish it hold the
    // cap: a TLS record header of a ClientHello, and nothing more.
    QTcpSocket a, b;
    for (QTcpSocket *s : {&a, &b}) {
        s->connectToHost(QHostAddress::LocalHost, server->port());
        ASSERT_TRUE(s->waitForConnected(2000));
        s->write(QByteArray::fromHex("160301020001"));
    }
    QTest::qWait(100);
    EXPECT_EQ(getTls(QStringLiteral("/api/state"), kViewer).status, 0);
    a.abort();
    b.abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return getTls(QStringLiteral("/api/state"), kViewer).status == 200; }, 3000));
}

TEST_F(RemoteTlsTest, AHandshakeNeverFinishedIsDropped)
{
    options.requestTime = std::chrono::milliseconds(300);
    serve();
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, server->port());
    ASSERT_TRUE(s.waitForConnected(2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.state() == QAbstractSocket::UnconnectedState; }, 3000));
}
