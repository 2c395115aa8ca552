// A rule cell's text read as a term: the window's language first, then the
// other one, so that a table typed in either language reads the same.
#include "engine/Terms.h"

#include <gtest/gtest.h>

using tervalo::Terms;

TEST(Terms, ACellsTextIsReadInEitherLanguage)
{
    struct Case {
        const char *text;
        int language;
        int term;
    };
    const Case cases[] = {
        {"ZE", Terms::English, 3},  {"SS", Terms::English, 3}, // the Turkish name in an English window
        {"NO", Terms::Turkish, 1},  {"NM", Terms::Turkish, 1}, {"PB", Terms::Turkish, 6},
        {"ze", Terms::English, -1}, {"", Terms::Turkish, -1},  {"ZE ", Terms::English, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Terms::indexOf(c.text, c.language), c.term) << '"' << c.text << '"';
}
