#pragma once

#include <QString>

#include <exception>

namespace qd {

// Root of every exception the program raises: an English message built by the raising code.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    ~Exception() override = default;

    const QString &Message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Record-level conditions of a dataset (no records, bookmark not found, constraint violated, ...).
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A value that cannot be converted to the type asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace qd
