// Experiment files: a round trip, and every kind of file that is refused
// whole with the key and the reason.

#include "store/ExperimentFile.h"

#include "engine/FuzzyController.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace tervalo;

namespace {

Experiment sample()
{
    Experiment e;
    e.mode = RunMode::Kit;
    e.controller = "fuzzy";
    e.kp = 0.123;
    e.ki = 0.5;
    e.kd = 0.05;
    e.errorDivisor = 3;
    e.outputDivisor = 17;
    e.reference = 1350;
    for (std::size_t k = 0; k < 49; ++k)
        e.rules[k] = static_cast<int>((k * 5) % 7);
    e.program.add({120, TestEvent::Kind::Load, 25});
    e.program.add({50, TestEvent::Kind::Reference, 1800});
    e.program.add({50, TestEvent::Kind::Load, 2});
    return e;
}

QJsonObject sampleObject()
{
    return QJsonDocument::fromJson(ExperimentFile::toJson(sample())).object();
}

TEST(ExperimentFile, RoundTripThroughAFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lab4.json"));
    ASSERT_FALSE(ExperimentFile::write(sample(), path));
    Experiment back;
    ExperimentError why;
    ASSERT_TRUE(ExperimentFile::read(path, back, why)) << why.message().toStdString();
    EXPECT_TRUE(back == sample());
    // the events in cycle order, one cycle's in the order given
    ASSERT_EQ(back.program.events().size(), 3u);
    EXPECT_EQ(back.program.events()[0], (TestEvent{50, TestEvent::Kind::Reference, 1800}));
    EXPECT_EQ(back.program.events()[1], (TestEvent{50, TestEvent::Kind::Load, 2}));
    EXPECT_EQ(back.program.events()[2].cycle, 120);

    const QJsonObject o = sampleObject();
    EXPECT_EQ(o.value(QStringLiteral("format")).toString(), QStringLiteral("tervalo-experiment"));
    EXPECT_EQ(o.value(QStringLiteral("version")).toInt(), 1);
    EXPECT_EQ(o.value(QStringLiteral("rules")).toArray()[0].toArray()[1].toString(),
              QString::fromLatin1(std::array<const char *, 7>{
                  "NB", "NM", "NS", "ZE", "PS", "PM",
                  "PB"}[static_cast<std::size_t>(sample().rules[FuzzyController::cellIndex(0, 1)])]));
}

// The file reads as a student sets up an experiment: format and version
// first, one line a rule-table row and a test event; an empty program
// round-trips too.
TEST(ExperimentFile, LaidOutInTheOrderOfTheSetUp)
{
    const QString text = QString::fromUtf8(ExperimentFile::toJson(sample()));
    QStringList keys;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("    \"")))
            keys << line.mid(5, line.indexOf(QLatin1Char('"'), 5) - 5);
    EXPECT_EQ(keys,
              (QStringList{"format", "version", "mode", "controller", "gains", "divisors", "reference", "rules",
                           "test_program"}));
    EXPECT_TRUE(text.contains(QStringLiteral("\"gains\": {\"kp\": 0.123, \"ki\": 0.5, \"kd\": 0.05},")));
    EXPECT_TRUE(text.contains(QStringLiteral("        {\"cycle\": 50, \"reference\": 1800},\n")));
    EXPECT_EQ(text.count(QStringLiteral("        [\"")), 7);

    Experiment e = sample();
    e.program.clear();
    Experiment back;
    ExperimentError why;
    const QByteArray json = ExperimentFile::toJson(e);
    EXPECT_TRUE(json.contains("\"test_program\": []\n}"));
    ASSERT_TRUE(ExperimentFile::fromJson(ExperimentFile::toJson(e), back, why)) << why.message().toStdString();
    EXPECT_TRUE(back == e);
}

TEST(ExperimentFile, TurkishTermNamesAreRead)
{
    QJsonObject o = sampleObject();
    QJsonArray rules = o.value(QStringLiteral("rules")).toArray();
    QJsonArray row = rules[0].toArray();
    row[0] = QStringLiteral("SS"); // ZE in Turkish
    rules[0] = row;
    o[QStringLiteral("rules")] = rules;
    Experiment e;
    ExperimentError why;
    ASSERT_TRUE(ExperimentFile::fromJson(QJsonDocument(o).toJson(), e, why)) << why.message().toStdString();
    EXPECT_EQ(e.rules[static_cast<std::size_t>(FuzzyController::cellIndex(0, 0))], 3);
}

struct RefusedCase {
    const char *what;
    std::function<QByteArray()> contents;
    const char *key;
    const char *reason; // a part of the reason
};

QByteArray edited(const std::function<void(QJsonObject &)> &edit)
{
    QJsonObject o = sampleObject();
    edit(o);
    return QJsonDocument(o).toJson();
}

void setIn(QJsonObject &o, const char *object, const char *key, const QJsonValue &v)
{
    QJsonObject inner = o.value(QLatin1String(object)).toObject();
    inner[QLatin1String(key)] = v;
    o[QLatin1String(object)] = inner;
}

void setRule(QJsonObject &o, int r, int c, const QJsonValue &v)
{
    QJsonArray rules = o.value(QStringLiteral("rules")).toArray();
    QJsonArray row = rules[r].toArray();
    row[c] = v;
    rules[r] = row;
    o[QStringLiteral("rules")] = rules;
}

void setEvent(QJsonObject &o, int k, const QJsonObject &ev)
{
    QJsonArray p = o.value(QStringLiteral("test_program")).toArray();
    p[k] = ev;
    o[QStringLiteral("test_program")] = p;
}

// The sample file's text with one part written otherwise.
QByteArray rewritten(const char *from, const char *to)
{
    QByteArray text = ExperimentFile::toJson(sample());
    EXPECT_TRUE(text.contains(from)) << from;
    return text.replace(from, to);
}

TEST(ExperimentFile, BadFilesAreRefusedWholeWithTheKeyAndTheReason)
{
    const RefusedCase cases[] = {
        {"not JSON", [] { return QByteArray("{\"format\": \"tervalo-experiment\", "); }, "", "not JSON"},
        {"an array", [] { return QByteArray("[1, 2]"); }, "", "not a JSON object"},
        {"another format",
         [] { return edited([](QJsonObject &o) { o[QStringLiteral("format")] = QStringLiteral("tervalo-run"); }); },
         "format", "not \"tervalo-experiment\""},
        {"no format", [] { return edited([](QJsonObject &o) { o.remove(QStringLiteral("format")); }); }, "format",
         "not a text"},
        {"a newer version", [] { return edited([](QJsonObject &o) { o[QStringLiteral("version")] = 2; }); }, "version",
         "unknown version"},
        {"a missing key", [] { return edited([](QJsonObject &o) { o.remove(QStringLiteral("reference")); }); },
         "reference", "missing"},
        {"a missing gain",
         [] {
             return edited([](QJsonObject &o) {
                 QJsonObject g = o.value(QStringLiteral("gains")).toObject();
                 g.remove(QStringLiteral("ki"));
                 o[QStringLiteral("gains")] = g;
             });
         },
         "gains.ki", "missing"},
        {"an unknown key", [] { return edited([](QJsonObject &o) { o[QStringLiteral("refrence")] = 900; }); },
         "refrence", "unknown key"},
        {"an unknown mode",
         [] { return edited([](QJsonObject &o) { o[QStringLiteral("mode")] = QStringLiteral("closed"); }); }, "mode",
         "none of"},
        {"an unknown controller",
         [] { return edited([](QJsonObject &o) { o[QStringLiteral("controller")] = QStringLiteral("PIDD"); }); },
         "controller", "none of"},
        {"a reference below the bar",
         [] { return edited([](QJsonObject &o) { o[QStringLiteral("reference")] = 499; }); }, "reference",
         "outside 500..2000"},
        {"a reference that is no whole number",
         [] { return edited([](QJsonObject &o) { o[QStringLiteral("reference")] = 1000.5; }); }, "reference",
         "not a whole number"},
        {"a reference as text",
         [] { return edited([](QJsonObject &o) { o[QStringLiteral("reference")] = QStringLiteral("1000"); }); },
         "reference", "not a number"},
        {"an error divisor of 0", [] { return edited([](QJsonObject &o) { setIn(o, "divisors", "error", 0); }); },
         "divisors.error", "outside 1..20"},
        {"an output divisor of 1", [] { return edited([](QJsonObject &o) { setIn(o, "divisors", "output", 1); }); },
         "divisors.output", "outside 2..20"},
        {"a negative gain", [] { return edited([](QJsonObject &o) { setIn(o, "gains", "kd", -0.001); }); }, "gains.kd",
         "outside"},
        {"a gain above the selected panel's bar",
         [] {
             return edited([](QJsonObject &o) {
                 o[QStringLiteral("controller")] = QStringLiteral("PD");
                 setIn(o, "gains", "kp", 0.5); // the PD bar ends at 0.2
             });
         },
         "gains.kp", "0..0.2"},
        {"a gain above every bar", [] { return edited([](QJsonObject &o) { setIn(o, "gains", "ki", 5.5); }); },
         "gains.ki", "0..5"},
        {"a gain between the bar's steps",
         [] { return edited([](QJsonObject &o) { setIn(o, "gains", "kp", 0.1234); }); }, "gains.kp", "steps of 0.001"},
        {"an unknown rule term", [] { return edited([](QJsonObject &o) { setRule(o, 2, 5, QStringLiteral("XX")); }); },
         "rules: row NS, column PM", "no term name"},
        {"a rule that is no text", [] { return edited([](QJsonObject &o) { setRule(o, 6, 6, 3); }); },
         "rules: row PB, column PB", "not a text"},
        {"a rule row of six terms",
         [] {
             return edited([](QJsonObject &o) {
                 QJsonArray rules = o.value(QStringLiteral("rules")).toArray();
                 QJsonArray row = rules[0].toArray();
                 row.removeLast();
                 rules[0] = row;
                 o[QStringLiteral("rules")] = rules;
             });
         },
         "rules: row NB", "not seven term names"},
        {"six rule rows",
         [] {
             return edited([](QJsonObject &o) {
                 QJsonArray r = o.value(QStringLiteral("rules")).toArray();
                 r.removeLast();
                 o[QStringLiteral("rules")] = r;
             });
         },
         "rules", "seven rows"},
        {"a step to 2500",
         [] {
             return edited([](QJsonObject &o) {
                 setEvent(o, 0, {{QStringLiteral("cycle"), 50}, {QStringLiteral("reference"), 2500}});
             });
         },
         "test_program[0].reference", "outside 500..2000"},
        {"a load of 31",
         [] {
             return edited([](QJsonObject &o) {
                 setEvent(o, 2, {{QStringLiteral("cycle"), 50}, {QStringLiteral("load"), 31}});
             });
         },
         "test_program[2].load", "outside 1..30"},
        {"an event at cycle 0",
         [] {
             return edited([](QJsonObject &o) {
                 setEvent(o, 1, {{QStringLiteral("cycle"), 0}, {QStringLiteral("load"), 3}});
             });
         },
         "test_program[1].cycle", "outside"},
        {"an event of no kind",
         [] {
             return edited([](QJsonObject &o) {
                 setEvent(o, 1, {{QStringLiteral("cycle"), 9}, {QStringLiteral("speed"), 3}});
             });
         },
         "test_program[1].load", "missing"},
        {"a second load at one cycle",
         [] {
             return edited([](QJsonObject &o) {
                 setEvent(o, 2, {{QStringLiteral("cycle"), 50}, {QStringLiteral("load"), 9}});
             });
         },
         "test_program[2]", "cycle 50: a second load event at this cycle"},
        // a key given twice: JSON readers keep one value silently
        {"a key given twice",
         [] { return rewritten("\"reference\": 1350", "\"reference\": 1350, \"reference\": 900"); }, "reference",
         "given twice"},
        {"a gain given twice, once escaped",
         [] { return rewritten("\"kp\": 0.123", "\"kp\": 0.123, \"k\\u0070\": 0.2"); }, "gains.kp", "given twice"},
        {"an event's cycle given twice",
         [] { return rewritten("{\"cycle\": 120, \"load\": 25}", "{\"cycle\": 120, \"load\": 25, \"cycle\": 12}"); },
         "test_program[2].cycle", "given twice"},
    };
    for (const RefusedCase &c : cases) {
        Experiment e = sample();
        e.reference = 777;
        const Experiment before = e;
        ExperimentError why;
        EXPECT_FALSE(ExperimentFile::fromJson(c.contents(), e, why)) << c.what;
        EXPECT_EQ(why.place().toStdString(), c.key) << c.what;
        EXPECT_TRUE(why.reason().contains(QLatin1String(c.reason))) << c.what << ": " << why.reason().toStdString();
        EXPECT_TRUE(e == before) << c.what << ": nothing of a refused file is taken";
    }
}

// A syntax error is placed as an editor shows it: line and column from 1,
// the column counted in characters, whatever the line ends with.
TEST(ExperimentFile, AJsonSyntaxErrorNamesItsLineAndColumn)
{
    const struct {
        const char *what;
        QByteArray contents;
        const char *at;
    } cases[] = {
        {"an empty file", "", "line 1, column 1"},
        {"on the first line", "{\"reference\": x}", "line 1, column 15"},
        {"on a later line", "{\n  \"reference\": 1000,\n  \"mode\": x\n}", "line 3, column 11"},
        {"after Windows line ends", "{\r\n  \"reference\": 1000,\r\n  \"mode\": x\r\n}", "line 3, column 11"},
        {"after letters of two bytes", "{\"\xc4\x9f\xc3\xbc\": x}", "line 1, column 8"},
        {"a file cut short", "{\n  \"mode\": ", "line 2, column 11"},
    };
    for (const auto &c : cases) {
        Experiment e;
        ExperimentError why;
        EXPECT_FALSE(ExperimentFile::fromJson(c.contents, e, why)) << c.what;
        EXPECT_EQ(why.kind, ExperimentError::Reason::NotJson) << c.what;
        EXPECT_TRUE(why.message().contains(QLatin1String(c.at))) << c.what << ": " << why.message().toStdString();
        EXPECT_FALSE(why.message().contains(QLatin1String("byte"))) << c.what;
    }
}

TEST(ExperimentFile, AFileThatCannotBeReadNamesItsPath)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.json"));
    Experiment e;
    ExperimentError why;
    EXPECT_FALSE(ExperimentFile::read(missing, e, why));
    EXPECT_TRUE(why.reason().startsWith(missing));
    EXPECT_TRUE(why.reason().contains(QLatin1String("No such file"))) << why.reason().toStdString();

    const QString big = dir.filePath(QStringLiteral("big.json"));
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1024 * 1024 + 1, ' '));
    f.close();
    EXPECT_FALSE(ExperimentFile::read(big, e, why));
    EXPECT_TRUE(why.reason().contains(QLatin1String("megabyte")));
}

TEST(ExperimentFile, TheReasonInEitherLanguage)
{
    struct Case {
        const char *what;
        QByteArray contents;
        const char *english; // the whole message
        const char *turkish;
    };
    const Case cases[] = {
        {"a missing key", edited([](QJsonObject &o) { o.remove(QStringLiteral("reference")); }), "reference: missing",
         "reference: eksik"},
        {"a reference below the bar", edited([](QJsonObject &o) { o[QStringLiteral("reference")] = 499; }),
         "reference: 499 is outside 500..2000", "reference: 499, 500..2000 aralığının dışında"},
        {"an unknown controller",
         edited([](QJsonObject &o) { o[QStringLiteral("controller")] = QStringLiteral("PIDD"); }),
         "controller: \"PIDD\" is none of P, I, PI, PD, PID, fuzzy",
         "controller: \"PIDD\" P, I, PI, PD, PID, fuzzy değerlerinden biri değil"},
        {"a gain between the bar's steps", edited([](QJsonObject &o) { setIn(o, "gains", "kp", 0.1234); }),
         "gains.kp: 0.1234 is not on the bar's steps of 0.001",
         "gains.kp: 0.1234, çubuğun 0,001'lik adımlarına denk gelmiyor"},
        {"a newer version", edited([](QJsonObject &o) { o[QStringLiteral("version")] = 2; }),
         "version: unknown version (this program reads version 1)",
         "version: bilinmeyen sürüm (bu program 1. sürümü okur)"},
        {"an array", "[1, 2]", "not a JSON object", "bir JSON nesnesi değil"},
        {"an unknown rule term", edited([](QJsonObject &o) { setRule(o, 2, 5, QStringLiteral("XX")); }),
         "rules: row NS, column PM: \"XX\" is no term name", "rules: satır NK, sütun PO: \"XX\" bir terim adı değil"},
        {"a JSON syntax error", "{\n  \"mode\": x\n}", "not JSON (illegal number at line 2, column 11)",
         "JSON değil (2. satırın 11. sütununda illegal number)"},
        {"a key given twice", rewritten("\"ki\": 0.5", "\"ki\": 0.5, \"ki\": 0.5"), "gains.ki: given twice",
         "gains.ki: iki kez verilmiş"},
        {"a second reference step at one cycle", edited([](QJsonObject &o) {
             setEvent(o, 1, {{QStringLiteral("cycle"), 50}, {QStringLiteral("reference"), 700}});
         }),
         "test_program[1]: cycle 50: a second reference event at this cycle",
         "test_program[1]: çevrim 50: bu çevrimde ikinci bir referans olayı"},
    };
    for (const Case &c : cases) {
        Experiment e;
        ExperimentError why;
        EXPECT_FALSE(ExperimentFile::fromJson(c.contents, e, why)) << c.what;
        EXPECT_EQ(why.message().toStdString(), c.english) << c.what;
        EXPECT_EQ(why.message(false).toStdString(), c.turkish) << c.what;
    }

    // every reason has both; a test event's English is the test program's own
    for (int k = 0; k < static_cast<int>(ExperimentError::Reason::Count); ++k) {
        const ExperimentError why{{}, static_cast<ExperimentError::Reason>(k), {"31", "1", "30"}};
        EXPECT_FALSE(why.reason(true).isEmpty()) << k;
        EXPECT_FALSE(why.reason(false).isEmpty()) << k;
        EXPECT_FALSE(why.reason(false).contains(QLatin1Char('%'))) << k;
    }
    const ExperimentError load{QStringLiteral("test_program[0]"), ExperimentError::Reason::EventLoad, {"31"}};
    EXPECT_EQ(load.reason().toStdString(), TestProgram::check({5, TestEvent::Kind::Load, 31}));
    EXPECT_EQ(load.reason(false), QStringLiteral("yük 31: yük 1 ile 30 arasında olmalı"));
    const ExperimentError cycle{{}, ExperimentError::Reason::EventCycle, {"0"}};
    EXPECT_EQ(cycle.reason().toStdString(), "cycle 0: cycles count from 1");

    // a value is put in as it is, even one that looks like a placeholder
    Experiment e;
    ExperimentError why;
    QTemporaryDir dir;
    const QString odd = dir.filePath(QStringLiteral("lab %2 %1.json"));
    EXPECT_FALSE(ExperimentFile::read(odd, e, why));
    EXPECT_TRUE(why.reason().startsWith(odd + QStringLiteral(": No such file"))) << why.reason().toStdString();
    EXPECT_TRUE(why.reason(false).startsWith(odd + QStringLiteral(": "))) << why.reason(false).toStdString();
}

} // namespace
