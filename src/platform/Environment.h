#pragma once

#include <QString>

namespace qd {

// Access to environment variables behind an interface, so that code reading the
// environment can be driven by a fake in tests instead of the process's variables.
class Environment {
public:
    virtual ~Environment() = default;

    // The variable's value; an unset variable gives an empty string.
    virtual QString value(const QString &name) const = 0;
    virtual bool contains(const QString &name) const = 0;
    virtual void setValue(const QString &name, const QString &value) = 0;
    virtual void remove(const QString &name) = 0;

    // The environment of this process.
    static Environment &process();
};

// The real process environment (qgetenv/qputenv, which Qt serialises).
class ProcessEnvironment : public Environment {
public:
    QString value(const QString &name) const override;
    bool contains(const QString &name) const override;
    void setValue(const QString &name, const QString &value) override;
    void remove(const QString &name) override;
};

} // namespace qd
