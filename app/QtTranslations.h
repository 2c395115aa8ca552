#pragma once
// Qt's own texts (the buttons and labels of file dialogs and message boxes)
// in the window's language: with Turkish chosen, Qt's Turkish translations
// are installed, when the system has them (Debian: qt6-translations-l10n);
// with English, they are taken out again.

class QTranslator;

namespace tervalo {

class Lab;

class QtTranslations {
public:
    // Follows form's language switch for as long as form lives.
    static void follow(Lab &lab);

    // Installs (true) or removes Qt's Turkish texts; false when Turkish was
    // asked for and the system has no translation of Qt's texts.
    static bool useTurkish(bool turkish);
};

} // namespace tervalo
