// Sweeping traces: rows, sweep positions, sweep starts, saving at the end of
// a sweep and the errors that stop a call.

#include "GraphTestSupport.h"

#include "runtime/RuntimeError.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cmath>
#include <limits>

using namespace tervalo;
using namespace tervalo::graphtest;

namespace {

const QDateTime kSaveTime(QDate(2026, 3, 9), QTime(14, 5, 7), Qt::UTC);

TEST_F(MainGraph, ValuesMapToRowsOfTheValueAxis)
{
    struct Case {
        double value;
        int row;
    };
    const Case cases[] = {{10, 0}, {0, 196}, {-2.5, 245}, {20, -196}, {5, 98}, {7.5, 49}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        g.Resetle();
        plot(c.value);
        EXPECT_EQ(g.lastPointOf(1), QPoint(31, c.row));
        if (c.row >= 0) {
            EXPECT_EQ(at(30, c.row), trace1);
        }
    }
}

TEST_F(MainGraph, SamplesStepAcrossThePlotArea)
{
    plot(5);
    EXPECT_EQ(g.sweepsStarted(), 1);
    EXPECT_EQ(g.lastPointOf(1), QPoint(31, 98));
    EXPECT_EQ(at(30, 98), trace1);
    EXPECT_NE(at(31, 98), trace1) << "the end point of a segment is not drawn";
    plot(5);
    EXPECT_EQ(g.lastPointOf(1), QPoint(34, 98));
    EXPECT_EQ(at(31, 98), trace1);
    EXPECT_EQ(at(33, 98), trace1);
    plot(5);
    EXPECT_EQ(g.lastPointOf(1).x(), 37);
    EXPECT_EQ(g.sweepsStarted(), 1);

    // a steep segment covers every row between its ends (below the value
    // axis title, which has trace 1's colour here)
    plot(10);
    for (int y = 12; y <= 98; ++y)
        EXPECT_EQ(countColour(g.picture(), QRect(37, y, 4, 1), trace1), 1) << y;
    EXPECT_EQ(g.lastPointOf(1), QPoint(40, 0));
}

struct SweepCase {
    bool autoSave;
};

class SweepEnd : public MainGraph, public ::testing::WithParamInterface<SweepCase> { };

TEST_P(SweepEnd, HundredAndFirstCallStartsTheSecondSweep)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    g.setSaveFolder(dir.path());
    g.setClock([] { return kSaveTime; });
    g.setAutoSaveGraph(GetParam().autoSave);

    for (int call = 1; call <= 100; ++call) {
        plot(5, -1, 2);
        ASSERT_EQ(g.sweepsStarted(), 1) << call;
    }
    EXPECT_EQ(g.lastPointOf(1).x(), nearest(1 + 99 * 3.03 + 30));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    const QImage firstSweep = g.picture();

    plot(5, -1, 2);
    EXPECT_EQ(g.sweepsStarted(), 2);
    EXPECT_EQ(g.lastPointOf(1), QPoint(31, 98));
    EXPECT_EQ(g.lastPointOf(2), QPoint(31, nearest(1.1 * 196)));
    EXPECT_EQ(at(100, 98), grid) << "the first sweep's trace is cleared";

    // the time axis now reads from 20 to 40
    const double th = GraphFont::lineHeightPx();
    const double tw20 = GraphFont::textWidthPx(QStringLiteral("20"));
    const double tw40 = GraphFont::textWidthPx(QStringLiteral("40"));
    EXPECT_TRUE(
        showsText(g.picture(), QStringLiteral("20"), QPoint(nearest(29.5 - tw20 / 2), nearest(275 - th)), label));
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("40"), QPoint(nearest(332.5 - tw40), nearest(275 - th)), label));

    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    if (GetParam().autoSave) {
        ASSERT_EQ(files, QStringList{QStringLiteral("3_9_2026_14_5_7.jpeg")});
        const QImage saved(dir.filePath(files.front()), "BMP");
        EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), firstSweep);
    } else {
        EXPECT_TRUE(files.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(AutoSave, SweepEnd, ::testing::Values(SweepCase{true}, SweepCase{false}));

TEST_F(MainGraph, FirstCallAfterResetleSavesNothingAndRestartsTheTimeAxis)
{
    QTemporaryDir dir;
    g.setSaveFolder(dir.path());
    g.setAutoSaveGraph(true);
    for (int i = 0; i < 120; ++i)
        plot(1);
    ASSERT_EQ(g.sweepsStarted(), 2);
    const int filesBefore = static_cast<int>(QDir(dir.path()).entryList(QDir::Files).size());
    g.Resetle();
    EXPECT_EQ(g.sweepPosition(), 0.0);
    EXPECT_EQ(g.sweepsStarted(), 0);
    plot(1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), filesBefore);
    EXPECT_EQ(g.sweepsStarted(), 1);
    EXPECT_EQ(g.lastPointOf(1).x(), 31);
    const double tw = GraphFont::textWidthPx(QStringLiteral("0"));
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("0"),
                          QPoint(nearest(29.5 - tw / 2), nearest(275 - GraphFont::lineHeightPx())), label));
}

TEST_F(MainGraph, NumberOfTracesDrawn)
{
    const std::uint32_t colours[9] = {0x00000011, 0x00000022, 0x00000033, 0x00000044, 0x00000055,
                                      0x00000066, 0x00000077, 0x00000088, 0x00000099};
    for (int k = 1; k <= 9; ++k)
        g.setGraphColor(k, colours[k - 1]);
    // trace k at value k; trace 9 on trace 8's row, so the later one shows
    const double values[9] = {1, 2, 3, 4, 5, 6, 7, 8, 8};
    for (int n : {0, 1, 10, -1, 2, 5, 9}) {
        SCOPED_TRACE(n);
        g.Resetle();
        g.PlotGraph1(values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7], values[8],
                     static_cast<std::int16_t>(n));
        const int shown = n >= 2 && n <= 9 ? n : 1;
        for (int k = 1; k <= 9; ++k) {
            const int row = nearest((1 - values[k - 1] / 10) * 196);
            // every trace's first point is placed, drawn or not
            EXPECT_EQ(g.lastPointOf(k), QPoint(k <= shown ? 31 : 30, row)) << k;
            if (k == 9)
                continue;
            QRgb expected = rgb(colours[k - 1]);
            if (k == 8 && shown == 9)
                expected = rgb(colours[8]);
            if (k <= shown)
                EXPECT_EQ(at(30, row), expected) << k;
            else
                EXPECT_NE(at(30, row), rgb(colours[k - 1])) << k;
        }
    }
}

TEST_F(MainGraph, RaisedTraceCountStartsFromTheSweepsFirstPoint)
{
    plot(5, 2, 1);
    plot(5, 2, 1);
    EXPECT_EQ(g.lastPointOf(2), QPoint(30, nearest(0.8 * 196)));
    plot(5, 2, 2);
    EXPECT_EQ(g.lastPointOf(2), QPoint(37, nearest(0.8 * 196)));
    EXPECT_EQ(at(30, nearest(0.8 * 196)), trace2);
    EXPECT_EQ(at(36, nearest(0.8 * 196)), trace2);
}

TEST_F(MainGraph, ScaleChangeDuringASweep)
{
    plot(5, 5, 2);
    plot(5, 5, 2);
    ASSERT_EQ(g.lastPointOf(1), QPoint(34, 98));
    g.setYmax(20);
    EXPECT_EQ(g.lastPointOf(1), QPoint(34, 147)) << "trace 1 is re-mapped";
    EXPECT_EQ(g.lastPointOf(2), QPoint(34, 98)) << "other traces keep their pixel point";
    EXPECT_EQ(at(32, 98), grid) << "the redraw cleared the traces";
    plot(5, 5, 2);
    EXPECT_EQ(g.sweepsStarted(), 1) << "the sweep goes on";
    EXPECT_EQ(at(34, 147), trace1);
    EXPECT_EQ(g.lastPointOf(1), QPoint(37, 147));
    EXPECT_EQ(g.lastPointOf(2), QPoint(37, 147));
}

TEST_F(MainGraph, AReferenceStepMovesTheLineFromTheLastSampleOn)
{
    // before a sweep's first sample the value is only kept: the sweep's
    // start draws it
    ASSERT_FALSE(g.picture().isNull()); // the first resize has drawn the grid
    g.stepRefValue(2.5);                // row 147, a grid row
    EXPECT_EQ(countColour(g.picture(), QRect(30, 147, 303, 1), refLine), 0);
    plot(-1);
    plot(-1); // the last sample at x = 34, below the zero line
    EXPECT_EQ(countColour(g.picture(), QRect(30, 147, 303, 1), refLine), 303);

    g.stepRefValue(7.5); // row 49, a grid row
    EXPECT_EQ(g.sweepsStarted(), 1);
    EXPECT_EQ(countColour(g.picture(), QRect(30, 147, 4, 1), refLine), 4) << "kept left of the step";
    EXPECT_EQ(countColour(g.picture(), QRect(35, 147, 298, 1), refLine), 0);
    EXPECT_EQ(at(200, 147), grid) << "the grid is back where the line was";
    EXPECT_EQ(at(90, 147), grid);
    EXPECT_EQ(countColour(g.picture(), QRect(34, 49, 299, 1), refLine), 299);
    EXPECT_EQ(countColour(g.picture(), QRect(30, 49, 4, 1), refLine), 0);
    for (int y = 50; y <= 147; ++y)
        EXPECT_EQ(at(34, y), refLine) << "the step, row " << y;
    EXPECT_EQ(at(32, 216), trace1) << "the traces drawn stay";

    // the same value again changes nothing
    const QImage before = g.picture().copy();
    g.stepRefValue(7.5);
    EXPECT_TRUE(g.picture() == before);
}

TEST_F(MainGraph, TimeDivisionZeroStartsASweepAtEveryCall)
{
    QTemporaryDir dir;
    g.setSaveFolder(dir.path());
    int tick = 0;
    g.setClock([&tick] { return kSaveTime.addSecs(tick++); });
    g.setAutoSaveGraph(true);
    g.setTimeDivision(0);
    for (int i = 0; i < 4; ++i)
        plot(5);
    EXPECT_EQ(g.sweepsStarted(), 4);
    EXPECT_EQ(g.lastPointOf(1).x(), 31);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST_F(MainGraph, TimeScaleErrorsStopBeforeDrawing)
{
    struct Case {
        std::int32_t xaxisMax;
        int error;
    };
    const Case cases[] = {
        {0, RuntimeError::DivisionByZero}, {3000000, RuntimeError::Overflow}, {-3000000, RuntimeError::Overflow}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xaxisMax);
        g.setXaxisMax(c.xaxisMax);
        const QImage before = g.picture();
        try {
            plot(5);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), c.error);
        }
        EXPECT_EQ(g.picture(), before);
        EXPECT_EQ(g.sweepsStarted(), 0);
        EXPECT_EQ(g.sweepPosition(), 0.0);
    }
}

TEST_F(MainGraph, ValuesBeyondThePixelRangeAreAnOverflowAndChangeNothing)
{
    plot(5, 1, 2);
    const QImage before = g.picture();
    const double bad[] = {1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()};
    for (double v : bad) {
        SCOPED_TRACE(v);
        for (int trace : {1, 2}) {
            try {
                plot(trace == 1 ? v : 5, trace == 2 ? v : 1, 2);
                ADD_FAILURE() << "no error";
            } catch (const RuntimeError &e) {
                EXPECT_EQ(e.number(), RuntimeError::Overflow);
            }
            EXPECT_EQ(g.picture(), before);
            EXPECT_EQ(g.lastPointOf(1), QPoint(31, 98));
            EXPECT_DOUBLE_EQ(g.sweepPosition(), 1.0 + 3.03);
        }
    }
    g.setYmax(10); // a redraw still works
    plot(5, 1, 2);
    EXPECT_EQ(g.lastPointOf(1), QPoint(34, 98));
    // far outside the control, but within the pixel range, is drawn clipped
    plot(1e8, -1e8, 2);
    EXPECT_EQ(g.lastPointOf(1).x(), 37);
    EXPECT_EQ(at(34, 50), trace1);
}

TEST_F(MainGraph, FailingSaveHoldsTheSweepUntilSavingWorks)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const QString folder = file.fileName() + QStringLiteral("/pictures"); // under a regular file
    g.setSaveFolder(folder);
    g.setClock([] { return kSaveTime; });
    g.setAutoSaveGraph(true);
    for (int i = 0; i < 100; ++i)
        plot(5);
    const QImage full = g.picture();
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            plot(5);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), RuntimeError::FileAccess);
            EXPECT_NE(std::string(e.what()).find((folder + QStringLiteral("/3_9_2026_14_5_7.jpeg")).toStdString()),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(g.sweepPosition(), 1.0);
        EXPECT_EQ(g.sweepsStarted(), 1);
        EXPECT_EQ(g.picture(), full) << "the picture is not cleared";
    }
    g.setAutoSaveGraph(false);
    plot(5);
    EXPECT_EQ(g.sweepsStarted(), 2);
    EXPECT_EQ(g.lastPointOf(1), QPoint(31, 98));
}

} // namespace
