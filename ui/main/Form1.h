#pragma once
// The About window: the program's and the kit's names, a picture, the
// program's contact texts (home page and mail address, each opened by the
// desktop when clicked), a line of text scrolling from right to left on a
// 20 ms timer, and a text that closes the window. Modal when opened with
// exec().

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QLabel;
class QTimer;

namespace tervalo {

class ClickLabel;

// The contact texts; an empty one has no line in the window.
struct AboutContacts {
    QString homePage; // a URL or a local file
    QString mail;     // a mail address

    // The texts the program was built with.
    static AboutContacts fromBuild();
    QUrl homePageUrl() const;
    QUrl mailUrl() const;
};

class Form1 : public QDialog {
public:
    explicit Form1(bool english, QWidget *parent = nullptr);
    Form1(bool english, const AboutContacts &contacts, QWidget *parent = nullptr);

    // Hands a clicked contact to the desktop (browser, mail program);
    // QDesktopServices::openUrl unless replaced.
    std::function<void(const QUrl &)> openUrl;

    // The scrolling text's left edge in the strip, in pixels.
    int scrollPosition() const { return scrollX_; }
    // One step of the scrolling text (what each tick does).
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void done(int result) override;

private:
    QLabel *picture_ = nullptr;
    QLabel *scroller_ = nullptr;
    ClickLabel *close_ = nullptr;
    ClickLabel *home_ = nullptr;
    ClickLabel *mail_ = nullptr;
    QTimer *timer_ = nullptr;
    QWidget *strip_ = nullptr;
    int scrollX_ = 0;
};

} // namespace tervalo
