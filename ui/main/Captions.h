#pragma once
// The window's texts in English and Turkish: the language switch's caption
// table, the block-diagram captions that depend on the loop mode, and the
// names of the seven linguistic terms.

#include <QStringList>

namespace tervalo {

struct ExperimentState;
struct Form2Controls;

class Captions {
public:
    // Index 0 English, 1 Turkish (any other index raises error 9). Sets the
    // captions of the language table (the mode-dependent rows by whether
    // simulation is selected), the graph's axis labels, the seven term
    // names of the state record and the rule table's fourteen headings.
    static void applyLanguage(Form2Controls &form, ExperimentState &state, int index);

    // The block-diagram captions of the kit modes or of simulation, in
    // English when Dil(0) is selected and in Turkish otherwise.
    static void applyModeCaptions(Form2Controls &form, bool simulation);

    // The seven term names in list order: NB NM NS ZE PS PM PB in English,
    // NB NO NK SS PK PO PB in Turkish. Index as for applyLanguage.
    static QStringList termNames(int index);

    // The window's notice when the kit's port fails while the program runs:
    // the device and the system's reason as the driver gave them.
    static QString portFailureNotice(bool english, const QString &reason);
};

} // namespace tervalo
