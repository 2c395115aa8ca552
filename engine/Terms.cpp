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

} // namespace tervalo
