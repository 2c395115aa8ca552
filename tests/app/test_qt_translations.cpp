#include "app/QtTranslations.h"
#include "ui/main/Form2Fixture.h"

#include <QDialogButtonBox>
#include <QPushButton>

using namespace tervalo;

namespace {

QString cancelText()
{
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

} // namespace

// Qt's own buttons follow the window's language switch, and go back to
// English with it.
TEST_F(Form2Fixture, QtsOwnTextsFollowTheLanguage)
{
    QtTranslations::follow(form->lab());
    const QString english = cancelText();
    ctl(*form).Dil(1)->setValue(true); // Turkish
    if (cancelText() == english) {
        QtTranslations::useTurkish(false);
        GTEST_SKIP() << "no Turkish translation of Qt's texts on this system (qt6-translations-l10n)";
    }
    EXPECT_EQ(cancelText(), QString::fromUtf8("İptal"));
    ctl(*form).Dil(0)->setValue(true); // English
    EXPECT_EQ(cancelText(), english);
}
