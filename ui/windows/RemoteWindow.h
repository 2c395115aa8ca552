#pragma once
// "Remote lab…": serving the lab to browsers, from the graph's menu. It
// starts and stops serving at an address, shows the page's address with a
// QR code of the viewer's link, the codes, who watches, who drives and who
// waits, the log of commands, and "Take back control", which ends a remote
// driver's slot at once and stops the run; "Hand back" lets remote drivers
// in again.

#include "remote/RemoteService.h"
#include "ui/windows/MenuHost.h"

#include <QImage>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tervalo {

class Lab;

class RemoteWindow : public QWidget {
public:
    // Builds the (hidden) window and its entry in the graph's menu; the
    // address field starts at the given one (127.0.0.1:8080 when none).
    static RemoteWindow *attach(Lab &lab, const MenuHost &host, remote::RemoteService &service,
                                const remote::ServeSettings &initial);

    RemoteWindow(Lab &lab, remote::RemoteService &service, const remote::ServeSettings &initial,
                 QWidget *parent = nullptr);

    enum class Text {
        Menu,
        Title,
        Address,
        Start,
        Stop,
        NotServing,
        Serving,
        ViewerCode,
        DriverCode,
        CodesFromFile,
        OpenViewing,
        Driver,
        NoDriver,
        Queue,
        Watchers,
        Log,
        TakeBack,
        HandBack,
        HeldHere,
        Refused,
        Count
    };
    static QString text(Text t, bool english);
    void setLanguage(bool english);

    // Starts serving at the address field's address; false when refused
    // (the reason is shown in the window).
    bool startServing();
    void stopServing();
    void takeBack();

    // For tests: the QR code of the viewer's link as drawn, and the labels.
    static QImage qrCode(const QString &text, int moduleSize = 4);
    QLabel *status() const { return status_; }
    QLabel *codes() const { return codes_; }
    QLabel *driver() const { return driver_; }
    QLabel *qr() const { return qr_; }
    QPlainTextEdit *log() const { return log_; }
    QPushButton *takeBackButton() const { return takeBack_; }

private:
    void refresh();
    void logged(const remote::LogEntry &entry);

    Lab &lab_;
    remote::RemoteService &service_;
    remote::ServeSettings settings_;
    bool english_ = true;
    QString problem_;
    QAction *action_ = nullptr;
    QLabel *addressLabel_ = nullptr;
    QLineEdit *address_ = nullptr;
    QPushButton *start_ = nullptr;
    QLabel *status_ = nullptr;
    QLabel *qr_ = nullptr;
    QLabel *codes_ = nullptr;
    QLabel *driver_ = nullptr;
    QLabel *queueLabel_ = nullptr;
    QListWidget *queue_ = nullptr;
    QLabel *watchersLabel_ = nullptr;
    QListWidget *watchers_ = nullptr;
    QLabel *logLabel_ = nullptr;
    QPlainTextEdit *log_ = nullptr;
    QPushButton *takeBack_ = nullptr;
};

} // namespace tervalo
