#pragma once

// Environment variables held in a table, so a test decides exactly what the code under test sees.

#include "platform/Environment.h"

#include <QHash>
#include <QString>

namespace qd::test {

class MapEnvironment : public Environment {
public:
    MapEnvironment() = default;
    explicit MapEnvironment(QHash<QString, QString> values) : m_values(std::move(values)) {}

    QString value(const QString &name) const override { return m_values.value(name); }
    bool contains(const QString &name) const override { return m_values.contains(name); }
    void setValue(const QString &name, const QString &value) override { m_values[name] = value; }
    void remove(const QString &name) override { m_values.remove(name); }

private:
    QHash<QString, QString> m_values;
};

} // namespace qd::test
