#include "engine/Terms.h"

#include "runtime/RuntimeError.h"

#include <string>

namespace tervalo {

const std::array<const char *, 7> &Terms::names(int language)
{
    static const std::array<const char *, 7> english = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
    static const std::array<const char *, 7> turkish = {"NB", "NO", "NK", "SS", "PK", "PO", "PB"};
    if (language == English)
        return english;
    if (language == Turkish)
        return turkish;
    raiseError(RuntimeError::SubscriptOutOfRange, "language index " + std::to_string(language));
}

int Terms::indexOf(const std::string &text, int language)
{
    for (int l : {language, language == English ? Turkish : English}) {
        const auto &list = names(l);
        for (int k = 0; k < 7; ++k)
            if (text == list[static_cast<std::size_t>(k)])
                return k;
    }
    return -1;
}

} // namespace tervalo
