#include "runtime/Long.h"

#include "runtime/RuntimeError.h"

namespace tervalo {

Long::Long(long long v)
{
    if (v < INT32_MIN || v > INT32_MAX)
        raiseError(RuntimeError::Overflow);
    v_ = static_cast<std::int32_t>(v);
}

} // namespace tervalo
