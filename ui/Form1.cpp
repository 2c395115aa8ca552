#include "ui/Form1.h"

#include "ui/ClickLabel.h"
#include "ui/Fonts.h"
#include "ui/Pictures.h"

#include <QLabel>
#include <QTimer>

namespace tervalo {

namespace {
constexpr int kWidth = 320;
constexpr int kHeight = 230;
constexpr int kStripTop = 170;
constexpr int kStripHeight = 20;
constexpr int kStep = 1; // pixels per tick
} // namespace

Form1::Form1(bool english, QWidget *parent) : QDialog(parent)
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
    kit->setGeometry(160, 72, 150, 60);

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
