#include "ui/main/Form2Controls.h"

#include "runtime/RuntimeError.h"

namespace tervalo {

namespace {
// An element of a control array; an index the window does not hold is a
// subscript error.
template <typename T, std::size_t N> T *element(const std::array<T *, N> &array, int i, const char *name)
{
    if (i < 0 || i >= static_cast<int>(N) || !array[static_cast<std::size_t>(i)])
        raiseError(RuntimeError::SubscriptOutOfRange, name);
    return array[static_cast<std::size_t>(i)];
}
} // namespace

QLabel *Form2Controls::Label48(int i) const
{
    return element(Label48Array, i, "Label48");
}
QLabel *Form2Controls::Label11(int i) const
{
    return element(Label11Array, i, "Label11");
}
Shape *Form2Controls::ShapeLed(int i) const
{
    return element(ShapeArray, i, "Shape");
}
RuleCell *Form2Controls::Combo1(int i) const
{
    return element(Combo1Array, i, "Combo1");
}
OptionButton *Form2Controls::Dil(int i) const
{
    return element(DilArray, i, "Dil");
}

} // namespace tervalo
