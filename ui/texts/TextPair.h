#pragma once
// A text of the windows in both languages. Each window keeps its texts in
// one table of these, in the order of its own enum of texts.

#include <QString>

namespace tervalo {

struct TextPair {
    const char *english;
    const char *turkish;

    QString in(bool inEnglish) const { return QString::fromUtf8(inEnglish ? english : turkish); }
};

} // namespace tervalo
