// Window chrome: frameless window, rounded visible region, dragging by the
// title strip; and the About window.
#include "controls/form/ClickLabel.h"
#include "ui/main/Form1.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Probe.h"
#include "ui/main/WindowChrome.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "tervalo_contacts.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tervalo;

namespace {

TEST(Chrome, FramelessWindowOfItsStoredSize)
{
    Form2 form;
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.size(), QSize(667, 645)); // 10005 x 9675 twips
    EXPECT_EQ(form.mask().boundingRect(), QRect(0, 0, 668, 580));
}

TEST(Chrome, RoundedRegionCutsTheCornersAlongTheCornerEllipse)
{
    const QRegion r = WindowChrome::roundedRegion(668, 580, 15, 15);
    EXPECT_EQ(r.boundingRect(), QRect(0, 0, 668, 580));
    struct Pixel {
        int x, y;
        bool inside;
    };
    // the top left corner; the other three mirror it
    const Pixel corner[] = {{0, 0, false}, {4, 0, false}, {5, 0, true},  {1, 1, false}, {2, 1, false},
                            {3, 1, true},  {2, 2, true},  {0, 3, false}, {1, 3, true},  {0, 4, false},
                            {0, 5, true},  {7, 7, true},  {0, 7, true},  {7, 0, true}};
    for (const Pixel &p : corner) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_EQ(r.contains(QPoint(p.x, p.y)), p.inside);
        EXPECT_EQ(r.contains(QPoint(667 - p.x, p.y)), p.inside);
        EXPECT_EQ(r.contains(QPoint(p.x, 579 - p.y)), p.inside);
        EXPECT_EQ(r.contains(QPoint(667 - p.x, 579 - p.y)), p.inside);
    }
    // edges and the middle are whole; nothing outside the rectangle
    for (QPoint p : {QPoint(334, 0), QPoint(0, 290), QPoint(667, 290), QPoint(334, 579), QPoint(334, 290)})
        EXPECT_TRUE(r.contains(p));
    for (QPoint p : {QPoint(668, 290), QPoint(334, 580), QPoint(-1, 290)})
        EXPECT_FALSE(r.contains(p));
    // degenerate sizes give an empty or plain region
    EXPECT_TRUE(WindowChrome::roundedRegion(0, 10, 15, 15).isEmpty());
    EXPECT_EQ(WindowChrome::roundedRegion(10, 10, 0, 0), QRegion(0, 0, 10, 10));
}

class Drag : public ::testing::Test {
protected:
    std::unique_ptr<Form2> form = std::make_unique<Form2>();

    void SetUp() override
    {
        form->show();
        form->move(100, 50);
    }

    static void mouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    // Press at a point of w, move by (30, 20) with the button held, release.
    QPoint dragFrom(QWidget *w, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPoint before = form->pos();
        mouse(w, QEvent::MouseButtonPress, at, button, button);
        mouse(w, QEvent::MouseMove, at + QPoint(30, 20), Qt::NoButton, button);
        mouse(w, QEvent::MouseButtonRelease, at + QPoint(30, 20), button, Qt::NoButton);
        return form->pos() - before;
    }
};

TEST_F(Drag, TitleStripAndTitleMoveTheWindowWithAnyButton)
{
    EXPECT_EQ(dragFrom(ctl(*form).Picture9, {50, 10}), QPoint(30, 20));
    EXPECT_EQ(dragFrom(ctl(*form).Picture9, {590, 10}, Qt::RightButton), QPoint(30, 20));
    EXPECT_EQ(dragFrom(ctl(*form).Label47, {100, 10}), QPoint(30, 20));
    EXPECT_EQ(dragFrom(ctl(*form).Label47, {100, 10}, Qt::MiddleButton), QPoint(30, 20));
}

TEST_F(Drag, IconAndTitleButtonsAreNoGrips)
{
    for (QWidget *w : {static_cast<QWidget *>(ctl(*form).Image1), static_cast<QWidget *>(ctl(*form).Picture12),
                       static_cast<QWidget *>(ctl(*form).Picture14)}) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_EQ(dragFrom(w, {5, 5}), QPoint(0, 0));
    }
    // the strip, reached through a button, is no grip either
    EXPECT_EQ(dragFrom(ctl(*form).Picture9, ctl(*form).Picture14->geometry().center()), QPoint(0, 0));
}

TEST_F(Drag, MovesAfterTheReleaseDoNotDrag)
{
    dragFrom(ctl(*form).Picture9, {50, 10});
    const QPoint at = form->pos();
    mouse(ctl(*form).Picture9, QEvent::MouseMove, {90, 15}, Qt::NoButton, Qt::NoButton);
    mouse(ctl(*form).Picture9, QEvent::MouseMove, {95, 25}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form->pos(), at);
}

TEST_F(Drag, ButtonsStillClick)
{
    int minimised = 0;
    ctl(*form).Picture12->onClick = [&] { ++minimised; };
    mouse(ctl(*form).Picture12, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    mouse(ctl(*form).Picture12, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(minimised, 1);
}

// ---- About window

QString allTexts(const QWidget &w)
{
    QString all;
    for (const QLabel *l : w.findChildren<QLabel *>())
        all += l->text() + QLatin1Char('\n');
    return all;
}

TEST(About, NamesTheProgramAndTheKitInEitherLanguage)
{
    for (bool english : {true, false}) {
        Form1 about(english);
        const QString texts = allTexts(about);
        EXPECT_TRUE(texts.contains(QStringLiteral("Tervalo")));
        EXPECT_TRUE(texts.contains(QStringLiteral("Dervani")));
        auto *close = dynamic_cast<ClickLabel *>(about.findChild<QLabel *>(QStringLiteral("Label4")));
        ASSERT_NE(close, nullptr);
        EXPECT_EQ(close->text(), english ? QStringLiteral("Close") : QStringLiteral("Kapat"));
        EXPECT_TRUE(about.isModal());
    }
}

TEST(About, TextScrollsWhileShownAndTheTimerStopsOnClose)
{
    Form1 about(true);
    auto *timer = about.findChild<QTimer *>();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 20);
    EXPECT_FALSE(timer->isActive());
    about.show();
    EXPECT_TRUE(timer->isActive());

    const int start = about.scrollPosition();
    about.Timer1_Timer();
    about.Timer1_Timer();
    EXPECT_EQ(about.scrollPosition(), start - 2); // right to left
    // it comes round again from the right edge
    bool wrapped = false;
    for (int i = 0; i < 5000 && !wrapped; ++i) {
        const int before = about.scrollPosition();
        about.Timer1_Timer();
        wrapped = about.scrollPosition() > before;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(about.scrollPosition(), start);

    auto *close = dynamic_cast<ClickLabel *>(about.findChild<QLabel *>(QStringLiteral("Label4")));
    ASSERT_NE(close, nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(close->mapToGlobal(QPoint(5, 5))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(close->mapToGlobal(QPoint(5, 5))),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(close, &press);
    QApplication::sendEvent(close, &release);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(timer->isActive());
}

TEST(About, ClosingTheWindowOtherwiseStopsTheTimerToo)
{
    Form1 about(false);
    about.show();
    about.reject(); // Escape or the window's close
    EXPECT_FALSE(about.findChild<QTimer *>()->isActive());
    about.show();
    EXPECT_TRUE(about.findChild<QTimer *>()->isActive());
    about.hide();
    EXPECT_FALSE(about.findChild<QTimer *>()->isActive());
}

// The contact lines show what the build gave and hand a click to the
// desktop: the home page to the browser, the address to the mail program.
TEST(About, ContactTextsOpenTheirPagesAndAnEmptyOneHasNoLine)
{
    struct Case {
        AboutContacts contacts;
        const char *home; // expected URL, or nullptr for no line
        const char *mail;
    };
    const Case cases[] = {
        {{"https://tervalo.example/lab", "lab@tervalo.example"},
         "https://tervalo.example/lab",
         "mailto:lab@tervalo.example"},
        {{"/usr/share/doc/tervalo/README.md", ""}, "file:///usr/share/doc/tervalo/README.md", nullptr},
        {{"", "a@b.example"}, nullptr, "mailto:a@b.example"},
        {{"", ""}, nullptr, nullptr},
    };
    for (const Case &c : cases)
        for (bool english : {true, false}) {
            SCOPED_TRACE(c.contacts.homePage.toStdString() + " " + c.contacts.mail.toStdString());
            Form1 about(english, c.contacts);
            std::vector<QUrl> opened;
            about.openUrl = [&opened](const QUrl &u) { opened.push_back(u); };
            auto *home = dynamic_cast<ClickLabel *>(about.findChild<QLabel *>(QStringLiteral("Label5")));
            auto *mail = dynamic_cast<ClickLabel *>(about.findChild<QLabel *>(QStringLiteral("Label6")));
            ASSERT_EQ(home != nullptr, c.home != nullptr);
            ASSERT_EQ(mail != nullptr, c.mail != nullptr);
            if (home) {
                EXPECT_EQ(home->text(), english ? QStringLiteral("Home page") : QStringLiteral("Ana sayfa"));
                EXPECT_TRUE(home->toolTip().contains(QUrl(QLatin1String(c.home)).toDisplayString()));
                QTest::mouseClick(home, Qt::LeftButton);
                ASSERT_EQ(opened.size(), 1u);
                EXPECT_EQ(opened.back().toString(), QLatin1String(c.home));
            }
            if (mail) {
                EXPECT_EQ(mail->text(), c.contacts.mail);
                QTest::mouseClick(mail, Qt::LeftButton);
                ASSERT_FALSE(opened.empty());
                EXPECT_EQ(opened.back().toString(), QLatin1String(c.mail));
            }
        }
}

TEST(About, TheBuildGivesTheContactTexts)
{
    const AboutContacts built = AboutContacts::fromBuild();
    EXPECT_EQ(built.homePage, QString::fromUtf8(TERVALO_HOME_PAGE));
    EXPECT_EQ(built.mail, QString::fromUtf8(TERVALO_CONTACT_ADDRESS));
    // unless the build says otherwise, the home page is the installed README
    if (!built.homePage.isEmpty() && built.homePage.startsWith(QStringLiteral("file:"))) {
        EXPECT_TRUE(built.homePage.endsWith(QStringLiteral("/README.md")));
    }
    Form1 about(true);
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("Label5")) != nullptr, !built.homePage.isEmpty());
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("Label6")) != nullptr, !built.mail.isEmpty());
}

} // namespace
