#include "controls/common/PropertyBag.h"

namespace tervalo {

int PropertyBag::indexOf(const QString &name) const
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

QVariant PropertyBag::ReadProperty(const QString &name, const QVariant &defaultValue) const
{
    const int i = indexOf(name);
    return i < 0 ? defaultValue : entries_[static_cast<std::size_t>(i)].value;
}

void PropertyBag::WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue)
{
    const int i = indexOf(name);
    const bool isDefault = defaultValue.isValid() && value == defaultValue;
    if (isDefault) {
        if (i >= 0)
            entries_.erase(entries_.begin() + i);
        return;
    }
    if (i >= 0)
        entries_[static_cast<std::size_t>(i)].value = value;
    else
        entries_.push_back({name, value});
}

bool PropertyBag::contains(const QString &name) const
{
    return indexOf(name) >= 0;
}

QStringList PropertyBag::names() const
{
    QStringList out;
    for (const auto &e : entries_)
        out << e.name;
    return out;
}

} // namespace tervalo
