#include "runtime/Integer.h"

#include "runtime/RuntimeError.h"

namespace tervalo {

Integer::Integer(int v)
{
    if (v < INT16_MIN || v > INT16_MAX)
        raiseError(RuntimeError::Overflow);
    v_ = static_cast<std::int16_t>(v);
}

} // namespace tervalo
