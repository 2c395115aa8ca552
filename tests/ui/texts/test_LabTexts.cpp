#include "ui/texts/LabTexts.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tervalo;

TEST(LabTexts, ThreeSignificantDigitsNeverInExponentFormNorRoundingTheWholePart)
{
    struct Case {
        double value;
        const char *shown;
    };
    for (const Case &c :
         {Case{1013, "1013"}, Case{0.6318, "0.632"}, Case{24, "24.0"}, Case{999.6, "1000"}, Case{99.96, "100"},
          Case{0.0999, "0.0999"}, Case{0.00012345, "0.000123"}, Case{-42.26, "-42.3"}, Case{123456, "123456"},
          Case{-4095.4, "-4095"}, Case{0, "0"}, Case{9.996, "10.0"}, Case{1.5, "1.50"}})
        EXPECT_EQ(LabTexts::significant(c.value).toStdString(), c.shown) << c.value;
    EXPECT_EQ(LabTexts::significant(NAN), QStringLiteral("nan"));
}

TEST(LabTexts, AFigureCarriesItsUnitInTheOutputsUnit)
{
    struct Case {
        Metric m;
        double v;
        bool simulation, english;
        const char *shown;
    };
    for (const Case &c :
         {Case{Metric::RiseTime, 0.6318, false, true, "0.632 s"}, Case{Metric::Peak, 1013, false, true, "1013 rpm"},
          Case{Metric::Peak, 1013, false, false, "1013 d/dk"}, Case{Metric::Iae, 251.2, true, true, "251 Volt·s"},
          Case{Metric::Ise, 12345, false, true, "12345 rpm²·s"}, Case{Metric::Overshoot, 4.8412, true, false, "4.84 %"},
          Case{Metric::ActuatorMax, 4095, false, true, "4095"}})
        EXPECT_EQ(LabTexts::figureValue(c.m, c.v, c.simulation, c.english).toStdString(), c.shown);
}
