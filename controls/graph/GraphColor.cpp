#include "controls/graph/GraphColor.h"

#include "controls/common/OleColor.h"

namespace tervalo {

QRgb GraphColor::toRgb(std::uint32_t colour)
{
    return OleColor::toQColor(colour).rgb();
}

} // namespace tervalo
