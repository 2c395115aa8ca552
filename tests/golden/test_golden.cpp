// Golden runs: the simulator's CSV and graph picture for a table of sessions
// (every controller, gains on and off their sliders, references, start
// values, load steps, rule files, divisors, saturation, wrapped sweeps) must
// stay exactly as they were when the table was written.
//
// TERVALO_GOLDEN_UPDATE=1 writes the files anew instead of comparing; do that
// only for a deliberate change of behaviour.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

const QString kDir = QStringLiteral(TERVALO_GOLDEN_DIR);

struct GoldenRun {
    std::string name;
    int status = 0;
    QStringList args;
};

std::vector<GoldenRun> loadTable()
{
    std::vector<GoldenRun> runs;
    QFile f(kDir + QStringLiteral("/runs.tsv"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return runs;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList cols = line.split('\t');
        if (cols.size() != 3)
            continue;
        GoldenRun r;
        r.name = cols[0].toStdString();
        r.status = cols[1].toInt();
        for (QString a : cols[2].split(' ', Qt::SkipEmptyParts)) {
            if (a.startsWith('@'))
                a = kDir + '/' + a.mid(1);
            r.args << a;
        }
        runs.push_back(r);
    }
    return runs;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void PrintTo(const GoldenRun &run, std::ostream *os)
{
    *os << run.name;
}

class Golden : public ::testing::TestWithParam<GoldenRun> { };

TEST_P(Golden, CsvAndPictureUnchanged)
{
    const GoldenRun &run = GetParam();
    const QString base = kDir + '/' + QString::fromStdString(run.name);
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString picture = tmp.filePath(QStringLiteral("graph.bmp"));
    QStringList args = run.args;
    if (run.status == 0)
        args << QStringLiteral("--picture") << picture;

    QProcess p;
    p.start(QStringLiteral(TERVALO_SIM), args);
    ASSERT_TRUE(p.waitForFinished(120000));
    const QByteArray out = p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    ASSERT_EQ(p.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(p.exitCode(), run.status) << err.toStdString();

    if (std::getenv("TERVALO_GOLDEN_UPDATE")) {
        QFile csv(base + QStringLiteral(".csv"));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write(out);
        if (run.status == 0)
            ASSERT_TRUE(QImage(picture).save(base + QStringLiteral(".png")));
        return;
    }

    EXPECT_EQ(out, readAll(base + QStringLiteral(".csv"))) << "CSV of " << run.name << " differs";
    if (run.status != 0)
        return;
    const QImage got = QImage(picture).convertToFormat(QImage::Format_RGB32);
    const QImage want = QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(want.isNull()) << "no golden picture for " << run.name;
    ASSERT_EQ(got.size(), want.size());
    int differing = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if (got.pixel(x, y) != want.pixel(x, y))
                ++differing;
    EXPECT_EQ(differing, 0) << "pixels of " << run.name << " differ";
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::ValuesIn(loadTable()),
                         [](const ::testing::TestParamInfo<GoldenRun> &info) {
                             std::string n = info.param.name;
                             for (char &c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

} // namespace
