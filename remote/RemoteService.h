#pragma once
// Serving the remote lab next to the window: the adapter on the lab, the
// configuration (a file, or a random viewer code and driver code), TLS when
// a certificate is given, and the server itself, started and stopped as the
// "Remote lab…" window or --serve asks.
//
//   RemoteService service(lab);
//   ServeSettings s;
//   if (!parseServeAddress("0.0.0.0:8080", s, &why) || !service.start(s, &why)) ...

#include "remote/RemoteConfig.h"
#include "remote/RemoteServer.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>

namespace tervalo {
class Lab;
}

namespace tervalo::remote {

class LabAdapter;

struct ServeSettings {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;   // 0: any free port
    QString configPath; // empty: generated codes
    QString certPath, keyPath;
};

// "[ADDRESS:]PORT" (an IPv6 address in brackets); false and why otherwise.
bool parseServeAddress(const QString &text, ServeSettings &out, QString *why);

class RemoteService : public QObject {
    Q_OBJECT
public:
    explicit RemoteService(Lab &lab, QObject *parent = nullptr);
    ~RemoteService() override;

    // Reads the configuration and the certificate, then listens; false and
    // why (the file, the key and the reason) when it cannot: nothing is
    // served then. Codes made for a start without a file are kept for the
    // next start, so that a link handed out stays good.
    bool start(const ServeSettings &settings, QString *why);
    void stop();
    bool serving() const { return server_ && server_->listening(); }
    RemoteServer *server() const { return server_.get(); }
    const ServeSettings &settings() const { return settings_; }

    // The codes were made here, not read from a file.
    bool generatedCodes() const { return generated_; }
    QByteArray viewerCode() const;
    QByteArray driverCode() const; // the generated driver's; empty with a file
    // The page's address, with the viewer code for a viewer's link.
    QString url() const;
    QString viewerLink() const;

signals:
    void servingChanged();
    void controlChanged(); // the driver or the queue
    void watchersChanged();
    void logged(const tervalo::remote::LogEntry &entry);

private:
    Lab &lab_;
    std::unique_ptr<LabAdapter> adapter_;
    std::unique_ptr<RemoteServer> server_;
    ServeSettings settings_;
    std::optional<RemoteConfig> generatedConfig_;
    bool generated_ = false;
};

} // namespace tervalo::remote
