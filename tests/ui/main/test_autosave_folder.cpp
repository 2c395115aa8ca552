// Where Auto Save writes: the program's folder when it can be written, the
// user's pictures folder otherwise, and a clear notice when neither can.
#include "ui/main/Form2Fixture.h"

#include <QCoreApplication>

class AutoSaveFolder : public Form2Fixture { };

TEST_F(AutoSaveFolder, TooltipNamesTheFolderInUse)
{
    const QString folder = form->autoSaveChoice().folder;
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(ctl(*form).Mygraph1->saveFolder(), folder);
    EXPECT_TRUE(ctl(*form).Check1->toolTip().contains(folder));
}

TEST_F(AutoSaveFolder, NoWritableFolderTurnsAutoSaveOffWithOneNotice)
{
    form->setAutoSaveChoice(
        tervalo::UserFolders({"/proc/tervalo-program", QString(), "/proc/tervalo-pictures", QString(), QString()})
            .autoSaveFolder());
    ctl(*form).Check1->setChecked(true);
    form->Check1_Click();
    EXPECT_FALSE(ctl(*form).Check1->isChecked());
    EXPECT_FALSE(ctl(*form).Mygraph1->AutoSaveGraph());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains("/proc/tervalo-program"));
    EXPECT_TRUE(notices[0].contains("/proc/tervalo-pictures/Tervalo"));
}
