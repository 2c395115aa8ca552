// Saving the picture: file name from the UTC clock, folder, bitmap content
// and failures.

#include "GraphTestSupport.h"

#include "runtime/RuntimeError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtEndian>

using namespace tervalo;
using namespace tervalo::graphtest;

namespace {

TEST(MygraphSaveName, MonthDayYearHourMinuteSecondOfUtc)
{
    struct Case {
        QDateTime when;
        const char *name;
    };
    const Case cases[] = {
        {QDateTime(QDate(2026, 3, 9), QTime(14, 5, 7), Qt::UTC), "3_9_2026_14_5_7.jpeg"},
        {QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0), Qt::UTC), "1_1_2027_0_0_0.jpeg"},
        {QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), Qt::UTC), "12_31_2026_23_59_59.jpeg"},
        // a time given in another zone is named after its UTC time
        {QDateTime(QDate(2026, 3, 9), QTime(17, 5, 7), QTimeZone(3 * 3600)), "3_9_2026_14_5_7.jpeg"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Mygraph::saveFileName(c.when), QString::fromLatin1(c.name));
}

class Saving : public MainGraph {
protected:
    void SetUp() override
    {
        MainGraph::SetUp();
        ASSERT_TRUE(dir.isValid());
        g.setSaveFolder(dir.path());
        g.setClock([] { return QDateTime(QDate(2026, 3, 9), QTime(14, 5, 7), Qt::UTC); });
    }
    QString savedPath() const { return dir.filePath(QStringLiteral("3_9_2026_14_5_7.jpeg")); }
    QTemporaryDir dir;
};

TEST_F(Saving, WritesTheWholePictureAsA24BitBitmap)
{
    plot(5, -1, 2);
    plot(7, 1, 2);
    g.setGraph1Caption(QStringLiteral("Ref"));
    g.SaveGraph();

    QFile f(savedPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_GE(bytes.size(), 54);
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(qFromLittleEndian<quint32>(b + 2), static_cast<quint32>(bytes.size()));
    EXPECT_EQ(qFromLittleEndian<qint32>(b + 18), 333);
    EXPECT_EQ(qFromLittleEndian<qint32>(b + 22), 275);
    EXPECT_EQ(qFromLittleEndian<quint16>(b + 28), 24) << "bits per pixel";

    const QImage back = QImage::fromData(bytes); // a bitmap, whatever the name says
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), g.picture());
}

TEST_F(Saving, ASecondSaveInTheSameSecondReplacesTheFirst)
{
    g.SaveGraph();
    plot(5);
    g.SaveGraph();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("3_9_2026_14_5_7.jpeg")});
    EXPECT_EQ(QImage(savedPath(), "BMP").convertToFormat(QImage::Format_RGB32), g.picture());
}

TEST_F(Saving, FailureNamesThePathAndTheReason)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const QString folder = file.fileName() + QStringLiteral("/sub");
    g.setSaveFolder(folder);
    try {
        g.SaveGraph();
        FAIL() << "no error";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), RuntimeError::FileAccess);
        const std::string what = e.what();
        EXPECT_NE(what.find((folder + QStringLiteral("/3_9_2026_14_5_7.jpeg")).toStdString()), std::string::npos)
            << what;
        EXPECT_GT(what.size(), what.find(".jpeg: ") + 8) << "a reason follows the path: " << what;
    }
    EXPECT_EQ(QFile(file.fileName()).size(), 0) << "the regular file is untouched";
}

TEST(MygraphSaveFolder, DefaultsToTheProgramsFolder)
{
    Mygraph g;
    EXPECT_EQ(g.saveFolder(), QCoreApplication::applicationDirPath());
    g.setSaveFolder(QStringLiteral("/tmp/x"));
    EXPECT_EQ(g.saveFolder(), QStringLiteral("/tmp/x"));
    g.setSaveFolder(QString());
    EXPECT_EQ(g.saveFolder(), QCoreApplication::applicationDirPath());
}

} // namespace
