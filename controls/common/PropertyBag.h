#pragma once
// Named property storage of the reusable controls, as kept with the window
// that holds them. Names are matched without regard to letter case; an entry
// whose value equals its default is left out on writing, and a missing entry
// reads as its default.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace tervalo {

class PropertyBag {
public:
    QVariant ReadProperty(const QString &name, const QVariant &defaultValue = QVariant()) const;
    void WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue = QVariant());

    bool contains(const QString &name) const;
    int count() const { return static_cast<int>(entries_.size()); }
    QStringList names() const; // in the order written
    void clear() { entries_.clear(); }

private:
    struct Entry {
        QString name;
        QVariant value;
    };
    int indexOf(const QString &name) const;
    std::vector<Entry> entries_;
};

} // namespace tervalo
