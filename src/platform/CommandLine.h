#pragma once

#include <QString>
#include <QStringList>

namespace qd {

// The program's parameters (without the program name) and the name=value look-up
// that the program's options use ("OCIDLL=/opt/oracle/lib/libclntsh.so").
class CommandLine {
public:
    // Longest value a name=value parameter yields; longer values are cut.
    static constexpr int MaxValueLength = 255;

    CommandLine() = default;
    explicit CommandLine(QStringList parameters) : m_parameters(std::move(parameters)) {}

    // The parameters of this process (QCoreApplication::arguments() less the program
    // name); empty before the application object exists.
    static CommandLine process();

    const QStringList &parameters() const { return m_parameters; }

    // The first parameter that begins with name followed by "=" (compared without
    // regard to case) gives the rest of it, at most MaxValueLength characters.
    // No such parameter: an empty string.
    QString value(const QString &name) const;

private:
    QStringList m_parameters;
};

} // namespace qd
