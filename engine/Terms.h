#pragma once
// The seven linguistic terms of the fuzzy sets and rules, in list order
// NB .. PB, in each language the window speaks.

#include <array>

namespace tervalo {

class Terms {
public:
    static constexpr int English = 0;
    static constexpr int Turkish = 1;

    // NB NM NS ZE PS PM PB in English, NB NO NK SS PK PO PB in Turkish;
    // any other language index is a subscript error (9).
    static const std::array<const char *, 7> &names(int language);
};

} // namespace tervalo
