#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace platform {

// One property of a WMI object; a null value is one the machine does not report.
struct WmiProperty {
    QString name;
    QVariant value;
};

// One object of a query's result: the selected properties in the class's order, named as the
// class spells them.
class WmiObject {
public:
    QList<WmiProperty> properties;

    // The value of a property, names compared without regard to case; nullopt when the
    // object has no such property.
    std::optional<QVariant> value(const QString& name) const;
};

// Machine data by WQL queries, as the Windows callers ask for it.
class Wmi {
public:
    virtual ~Wmi() = default;
    // The objects the query selects, possibly none; nullopt when the query is not understood
    // (its form, an unknown class or an unknown property), with `*error` saying which.
    // `reads` names the properties the caller will look at (empty: all it selects); the
    // others may be left null, which spares the machine data that is costly to read.
    virtual std::optional<QList<WmiObject>> query(const QString& wql, const QStringList& reads = {},
                                                  QString* error = nullptr) const = 0;
};

// This machine's WMI: the Linux one over the roots the environment gives.
std::shared_ptr<Wmi> systemWmi();

// The machine hive key (HKEY_LOCAL_MACHINE) where the installation keeps its snapshot of the
// DMI values, named as the sysfs files are; it answers for the files sysfs gives root only.
QString dmiSnapshotKey();

}  // namespace platform
