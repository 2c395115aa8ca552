#include "ui/main/Form1.h"

#include "controls/form/ClickLabel.h"
#include "ui/main/Fonts.h"
#include "ui/main/Pictures.h"

#include "tervalo_contacts.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QLabel>
#include <QTimer>

namespace tervalo {

namespace {
constexpr int kWidth = 320;
constexpr int kHeight = 230;
constexpr int kStripTop = 170;
constexpr int kStripHeight = 20;
constexpr int kStep = 1; // pixels per tick

// A contact line: link-blue, underlined, the whole text in its tooltip and
// elided when it is longer than the line.
ClickLabel *contactLine(QWidget *parent, const char *name, const QString &text, const QString &tip, int top)
{
    auto *line = new ClickLabel(QString(), parent);
    line->setObjectName(QLatin1String(name));
    QFont f = Fonts::font(Fonts::Plain);
    f.setUnderline(true);
    line->setFont(f);
    line->setGeometry(160, top, 150, 18);
    line->setText(QFontMetrics(f).elidedText(text, Qt::ElideMiddle, line->width()));
    line->setToolTip(tip);
    line->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    line->setCursor(Qt::PointingHandCursor);
    QPalette pal = line->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    line->setPalette(pal);
    return line;
}

} // namespace

AboutContacts AboutContacts::fromBuild()
{
    return {QString::fromUtf8(TERVALO_HOME_PAGE), QString::fromUtf8(TERVALO_CONTACT_ADDRESS)};
}

QUrl AboutContacts::homePageUrl() const
{
    if (homePage.isEmpty())
        return QUrl();
    if (homePage.startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(homePage);
    return QUrl(homePage);
}

QUrl AboutContacts::mailUrl() const
{
    if (mail.isEmpty())
        return QUrl();
    return QUrl(QStringLiteral("mailto:") + mail);
}

Form1::Form1(bool english, QWidget *parent) : Form1(english, AboutContacts::fromBuild(), parent) { }

Form1::Form1(bool english, const AboutContacts &contacts, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(english ? QStringLiteral("About Tervalo") : QStringLiteral("Tervalo Hakkında"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 185, 207));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
    setPalette(pal);
    setAutoFillBackground(true);

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("Picture1"));
    picture_->setGeometry(10, 10, 140, 150);
    picture_->setPixmap(Pictures::aboutPicture(140, 150));

    auto *name = new QLabel(QStringLiteral("Tervalo"), this);
    name->setObjectName(QStringLiteral("Label1"));
    name->setFont(Fonts::font(Fonts::Title));
    name->setGeometry(160, 30, 150, 34);
    name->setAlignment(Qt::AlignCenter);

    auto *kit = new QLabel(english ? QStringLiteral("for the Dervani control-systems kit")
                                   : QStringLiteral("Dervani denetim sistemleri seti için"),
                           this);
    kit->setObjectName(QStringLiteral("Label2"));
    kit->setFont(Fonts::font(Fonts::Plain));
    kit->setWordWrap(true);
    kit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    kit->setGeometry(160, 72, 150, 40);

    openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    if (!contacts.homePage.isEmpty()) {
        const QUrl url = contacts.homePageUrl();
        home_ = contactLine(this, "Label5", english ? QStringLiteral("Home page") : QStringLiteral("Ana sayfa"),
                            url.toDisplayString(), 116);
        home_->onClick = [this, url] {
            if (openUrl)
                openUrl(url);
        };
    }
    if (!contacts.mail.isEmpty()) {
        const QUrl url = contacts.mailUrl();
        mail_ = contactLine(this, "Label6", contacts.mail,
                            (english ? QStringLiteral("Write to ") : QStringLiteral("E-posta: ")) + contacts.mail, 138);
        mail_->onClick = [this, url] {
            if (openUrl)
                openUrl(url);
        };
    }

    strip_ = new QWidget(this);
    strip_->setObjectName(QStringLiteral("Picture2"));
    strip_->setGeometry(0, kStripTop, kWidth, kStripHeight);
    QPalette stripPal = strip_->palette();
    stripPal.setColor(QPalette::Window, QColor(56, 32, 96));
    stripPal.setColor(QPalette::WindowText, QColor(255, 255, 255));
    strip_->setPalette(stripPal);
    strip_->setAutoFillBackground(true);

    scroller_ = new QLabel(english ? QStringLiteral("Tervalo - speed control of a DC motor with P, I, PI, PD, PID and "
                                                    "fuzzy-logic controllers - Dervani teaching kit")
                                   : QStringLiteral("Tervalo - DC motor hız denetimi: P, I, PI, PD, PID ve bulanık "
                                                    "mantık denetleyicileri - Dervani eğitim seti"),
                           strip_);
    scroller_->setObjectName(QStringLiteral("Label3"));
    scroller_->setFont(Fonts::font(Fonts::Standard));
    scroller_->adjustSize();
    scroller_->resize(scroller_->width(), kStripHeight);
    scroller_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    scrollX_ = kWidth;
    scroller_->move(scrollX_, 0);

    close_ = new ClickLabel(english ? QStringLiteral("Close") : QStringLiteral("Kapat"), this);
    close_->setObjectName(QStringLiteral("Label4"));
    close_->setFont(Fonts::font(Fonts::Standard));
    close_->setCursor(Qt::PointingHandCursor);
    close_->setAlignment(Qt::AlignCenter);
    close_->setGeometry(kWidth / 2 - 40, 198, 80, 22);
    close_->onClick = [this] { accept(); };

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(20);
    connect(timer_, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

void Form1::Timer1_Timer()
{
    scrollX_ -= kStep;
    if (scrollX_ + scroller_->width() < 0)
        scrollX_ = kWidth; // start again from the right
    scroller_->move(scrollX_, 0);
}

void Form1::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    timer_->start();
}

void Form1::hideEvent(QHideEvent *event)
{
    timer_->stop();
    QDialog::hideEvent(event);
}

void Form1::done(int result)
{
    timer_->stop();
    QDialog::done(result);
}

} // namespace tervalo
