#pragma once
// The seven linguistic terms of the fuzzy sets and rules, in list order
// NB .. PB, in each language the window speaks.

#include <array>
#include <string>

namespace tervalo {

class Terms {
public:
    static constexpr int English = 0;
    static constexpr int Turkish = 1;

    // NB NM NS ZE PS PM PB in English, NB NO NK SS PK PO PB in Turkish;
    // any other language index is a subscript error (9).
    static const std::array<const char *, 7> &names(int language);
    // A cell's text as a term index 0..6: a term name of the given language
    // first, then of the other; -1 for any other text.
    static int indexOf(const std::string &text, int language);
};

} // namespace tervalo
