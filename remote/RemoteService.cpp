#include "remote/RemoteService.h"

#include "remote/LabAdapter.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QUrl>

namespace tervalo::remote {

bool parseServeAddress(const QString &text, ServeSettings &out, QString *why)
{
    QString host;
    QString port = text;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QStringLiteral("]:"));
        if (close < 0) {
            if (why)
                *why = QStringLiteral("%1: an IPv6 address is written [ADDRESS]:PORT").arg(text);
            return false;
        }
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
    } else if (const int colon = text.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
    }
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number > 65535) {
        if (why)
            *why = QStringLiteral("%1: the port is a number from 0 to 65535").arg(text);
        return false;
    }
    QHostAddress address = QHostAddress::LocalHost;
    if (!host.isEmpty() && !address.setAddress(host)) {
        if (why)
            *why = QStringLiteral("%1: %2 is no IP address").arg(text, host);
        return false;
    }
    out.address = address;
    out.port = static_cast<quint16>(number);
    return true;
}

namespace {

bool readAll(const QString &path, QByteArray &out, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    out = f.read(1024 * 1024);
    return true;
}

} // namespace

RemoteService::RemoteService(Lab &lab, QObject *parent)
    : QObject(parent), lab_(lab), adapter_(std::make_unique<LabAdapter>(lab))
{ }

RemoteService::~RemoteService()
{
    stop();
}

bool RemoteService::start(const ServeSettings &settings, QString *why)
{
    stop();
    RemoteConfig config;
    if (!settings.configPath.isEmpty()) {
        ConfigError refused;
        if (!readRemoteConfig(settings.configPath, config, refused)) {
            if (why)
                *why = QStringLiteral("%1: %2").arg(settings.configPath, refused.message());
            return false;
        }
        generated_ = false;
    } else {
        if (!generatedConfig_)
            generatedConfig_ = RemoteConfig::generated();
        config = *generatedConfig_;
        generated_ = true;
    }
    ServerOptions options;
    options.address = settings.address;
    options.port = settings.port;
    if (!settings.certPath.isEmpty() || !settings.keyPath.isEmpty()) {
        if (settings.certPath.isEmpty() || settings.keyPath.isEmpty()) {
            if (why)
                *why = QStringLiteral("TLS needs both a certificate and its key");
            return false;
        }
        QByteArray cert, key;
        if (!readAll(settings.certPath, cert, why) || !readAll(settings.keyPath, key, why))
            return false;
        const QList<QSslCertificate> chain = QSslCertificate::fromData(cert, QSsl::Pem);
        if (chain.isEmpty()) {
            if (why)
                *why = QStringLiteral("%1: no PEM certificate in it").arg(settings.certPath);
            return false;
        }
        QSslKey privateKey(key, QSsl::Rsa, QSsl::Pem);
        if (privateKey.isNull())
            privateKey = QSslKey(key, QSsl::Ec, QSsl::Pem);
        if (privateKey.isNull()) {
            if (why)
                *why = QStringLiteral("%1: no PEM private key (RSA or EC) in it").arg(settings.keyPath);
            return false;
        }
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificateChain(chain);
        tls.setPrivateKey(privateKey);
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        options.tls = tls;
    }
    auto server = std::make_unique<RemoteServer>(*adapter_, std::move(config), options);
    if (!server->listen(why))
        return false;
    server_ = std::move(server);
    settings_ = settings;
    connect(server_.get(), &RemoteServer::controlChanged, this, &RemoteService::controlChanged);
    connect(server_.get(), &RemoteServer::watchersChanged, this, &RemoteService::watchersChanged);
    connect(server_.get(), &RemoteServer::logged, this, &RemoteService::logged);
    emit servingChanged();
    emit controlChanged();
    return true;
}

void RemoteService::stop()
{
    if (!server_)
        return;
    // a remote driver's run stops with the serving, as at a slot's end
    if (!server_->driver().isEmpty())
        server_->takeBack();
    server_.reset();
    emit servingChanged();
    emit controlChanged();
}

QByteArray RemoteService::viewerCode() const
{
    return server_ ? server_->config().viewerCode : QByteArray();
}

QByteArray RemoteService::driverCode() const
{
    if (!server_ || !generated_)
        return {};
    for (const Person &p : server_->config().people)
        if (p.role == Role::Student)
            return p.code;
    return {};
}

QString RemoteService::url() const
{
    return server_ ? server_->url() : QString();
}

QString RemoteService::viewerLink() const
{
    if (!server_)
        return {};
    const QByteArray code = viewerCode();
    if (server_->config().openViewing || code.isEmpty())
        return url();
    return url() + QStringLiteral("?code=") + QString::fromLatin1(code);
}

} // namespace tervalo::remote
