#include "ui/texts/LabTexts.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tervalo;

TEST(LabTexts, ThreeSignificantDigitsNeverInExponentForm)
{
    struct Case {
        double value;
        const char *shown;
    };
    for (const Case &c : {Case{1013, "1010"}, Case{0.6318, "0.632"}, Case{24, "24.0"}, Case{999.6, "1000"},
                          Case{0.0999, "0.0999"}, Case{0.00012345, "0.000123"}, Case{-42.26, "-42.3"},
                          Case{123456, "123000"}, Case{0, "0.00"}, Case{9.996, "10.0"}, Case{1.5, "1.50"}})
        EXPECT_EQ(LabTexts::significant(c.value).toStdString(), c.shown) << c.value;
    EXPECT_EQ(LabTexts::significant(NAN), QStringLiteral("nan"));
}
