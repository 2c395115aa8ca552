#include "ui/windows/RemoteWindow.h"

#include "session/Lab.h"
#include "ui/texts/TextPair.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <qrencode.h>

#include <memory>

namespace tervalo {

namespace {

const TextPair kTexts[] = {
    {"Remote lab…", "Uzaktan laboratuvar…"},
    {"Remote lab", "Uzaktan laboratuvar"},
    {"Address:", "Adres:"},
    {"Start serving", "Yayını başlat"},
    {"Stop serving", "Yayını durdur"},
    {"Not serving.", "Yayın yok."},
    {"Serving at %1", "Yayın adresi: %1"},
    {"Viewer code: %1", "İzleyici kodu: %1"},
    {"Driver code: %1", "Sürücü kodu: %1"},
    {"The codes are those of the configuration file.", "Kodlar yapılandırma dosyasındakilerdir."},
    {"Anyone may watch without a code.", "Herkes kodsuz izleyebilir."},
    {"Driving: %1", "Süren: %1"},
    {"Nobody drives remotely.", "Uzaktan süren yok."},
    {"Waiting:", "Sırada bekleyenler:"},
    {"Watching:", "İzleyenler:"},
    {"Commands:", "Komutlar:"},
    {"Take back control", "Denetimi geri al"},
    {"Hand back control", "Denetimi geri ver"},
    {"Control is held at this PC: remote drivers wait.", "Denetim bu bilgisayarda: uzaktaki sürücüler bekler."},
    {"Not served: %1", "Yayınlanamadı: %1"},
};
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<std::size_t>(RemoteWindow::Text::Count));

QString addressText(const remote::ServeSettings &s)
{
    QString host = s.address.toString();
    if (s.address.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return host + QLatin1Char(':') + QString::number(s.port ? s.port : 8080);
}

} // namespace

QString RemoteWindow::text(Text t, bool english)
{
    return kTexts[static_cast<std::size_t>(t)].in(english);
}

RemoteWindow *RemoteWindow::attach(Lab &lab, const MenuHost &host, remote::RemoteService &service,
                                   const remote::ServeSettings &initial)
{
    auto *w = new RemoteWindow(lab, service, initial, host.window);
    w->action_ = host.graphMenu->addAction(text(Text::Menu, lab.english()));
    QObject::connect(w->action_, &QAction::triggered, w, [w] {
        w->refresh();
        w->show();
        w->raise();
        w->activateWindow();
    });
    return w;
}

RemoteWindow::RemoteWindow(Lab &lab, remote::RemoteService &service, const remote::ServeSettings &initial,
                           QWidget *parent)
    : QWidget(parent, Qt::Window), lab_(lab), service_(service), settings_(initial)
{
    addressLabel_ = new QLabel(this);
    address_ = new QLineEdit(addressText(initial), this);
    start_ = new QPushButton(this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    qr_ = new QLabel(this);
    qr_->setFixedSize(200, 200);
    qr_->setAlignment(Qt::AlignCenter);
    codes_ = new QLabel(this);
    codes_->setWordWrap(true);
    codes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    driver_ = new QLabel(this);
    driver_->setWordWrap(true);
    queueLabel_ = new QLabel(this);
    queue_ = new QListWidget(this);
    watchersLabel_ = new QLabel(this);
    watchers_ = new QListWidget(this);
    logLabel_ = new QLabel(this);
    log_ = new QPlainTextEdit(this);
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(500);
    takeBack_ = new QPushButton(this);

    auto *top = new QHBoxLayout;
    top->addWidget(addressLabel_);
    top->addWidget(address_, 1);
    top->addWidget(start_);
    auto *info = new QVBoxLayout;
    info->addWidget(status_);
    info->addWidget(codes_);
    info->addWidget(driver_);
    info->addWidget(takeBack_, 0, Qt::AlignLeft);
    info->addStretch(1);
    auto *middle = new QHBoxLayout;
    middle->addWidget(qr_, 0, Qt::AlignTop);
    middle->addLayout(info, 1);
    auto *lists = new QGridLayout;
    lists->addWidget(queueLabel_, 0, 0);
    lists->addWidget(watchersLabel_, 0, 1);
    lists->addWidget(queue_, 1, 0);
    lists->addWidget(watchers_, 1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addLayout(lists, 1);
    layout->addWidget(logLabel_);
    layout->addWidget(log_, 1);
    resize(720, 640);

    connect(start_, &QPushButton::clicked, this, [this] {
        if (service_.serving())
            stopServing();
        else
            startServing();
    });
    connect(takeBack_, &QPushButton::clicked, this, [this] { takeBack(); });
    connect(&service_, &remote::RemoteService::servingChanged, this, [this] { refresh(); });
    connect(&service_, &remote::RemoteService::controlChanged, this, [this] { refresh(); });
    connect(&service_, &remote::RemoteService::watchersChanged, this, [this] { refresh(); });
    connect(&service_, &remote::RemoteService::logged, this, [this](const remote::LogEntry &e) { logged(e); });
    connect(&lab_, &Lab::languageChanged, this, [this](bool english) { setLanguage(english); });
    setLanguage(lab_.english());
}

void RemoteWindow::setLanguage(bool english)
{
    english_ = english;
    setWindowTitle(text(Text::Title, english));
    if (action_)
        action_->setText(text(Text::Menu, english));
    addressLabel_->setText(text(Text::Address, english));
    queueLabel_->setText(text(Text::Queue, english));
    watchersLabel_->setText(text(Text::Watchers, english));
    logLabel_->setText(text(Text::Log, english));
    refresh();
}

bool RemoteWindow::startServing()
{
    remote::ServeSettings s = settings_;
    QString why;
    if (!remote::parseServeAddress(address_->text().trimmed(), s, &why) || !service_.start(s, &why)) {
        problem_ = why;
        refresh();
        return false;
    }
    problem_.clear();
    settings_ = s;
    refresh();
    return true;
}

void RemoteWindow::stopServing()
{
    service_.stop();
    refresh();
}

void RemoteWindow::takeBack()
{
    remote::RemoteServer *server = service_.server();
    if (!server)
        return;
    if (server->heldByPc())
        server->handBack();
    else
        server->takeBack();
    refresh();
}

QImage RemoteWindow::qrCode(const QString &text, int moduleSize)
{
    const QByteArray utf8 = text.toUtf8();
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M),
                                                         &QRcode_free);
    if (!code)
        return {};
    const int quiet = 4; // the margin the readers need, in modules
    const int side = (code->width + 2 * quiet) * moduleSize;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                p.fillRect((x + quiet) * moduleSize, (y + quiet) * moduleSize, moduleSize, moduleSize, Qt::black);
    return image;
}

void RemoteWindow::refresh()
{
    const bool serving = service_.serving();
    remote::RemoteServer *server = service_.server();
    start_->setText(text(serving ? Text::Stop : Text::Start, english_));
    address_->setEnabled(!serving);
    if (!serving) {
        status_->setText(problem_.isEmpty() ? text(Text::NotServing, english_)
                                            : text(Text::Refused, english_).arg(problem_));
        qr_->clear();
        codes_->clear();
        driver_->clear();
        queue_->clear();
        watchers_->clear();
        takeBack_->setEnabled(false);
        takeBack_->setText(text(Text::TakeBack, english_));
        return;
    }
    status_->setText(text(Text::Serving, english_).arg(service_.url()));
    const QImage code = qrCode(service_.viewerLink());
    qr_->setPixmap(QPixmap::fromImage(code).scaled(qr_->size(), Qt::KeepAspectRatio, Qt::FastTransformation));
    QStringList lines;
    if (server->config().openViewing)
        lines << text(Text::OpenViewing, english_);
    else if (service_.generatedCodes())
        lines << text(Text::ViewerCode, english_).arg(QString::fromLatin1(service_.viewerCode()));
    if (service_.generatedCodes())
        lines << text(Text::DriverCode, english_).arg(QString::fromLatin1(service_.driverCode()));
    else
        lines << text(Text::CodesFromFile, english_);
    codes_->setText(lines.join(QLatin1Char('\n')));
    const QString driving = server->driver();
    driver_->setText(server->heldByPc()      ? text(Text::HeldHere, english_)
                         : driving.isEmpty() ? text(Text::NoDriver, english_)
                                             : text(Text::Driver, english_).arg(driving));
    queue_->clear();
    queue_->addItems(server->queue());
    watchers_->clear();
    for (const remote::Watcher &w : server->watchers())
        watchers_->addItem(w.name + QStringLiteral(" (") + w.address + QLatin1Char(')'));
    takeBack_->setEnabled(true);
    takeBack_->setText(text(server->heldByPc() ? Text::HandBack : Text::TakeBack, english_));
}

void RemoteWindow::logged(const remote::LogEntry &e)
{
    log_->appendPlainText(QStringLiteral("%1  %2  %3  %4 %5")
                              .arg(e.at.toLocalTime().toString(QStringLiteral("HH:mm:ss")), e.who, e.what)
                              .arg(e.status)
                              .arg(e.detail));
}

} // namespace tervalo
