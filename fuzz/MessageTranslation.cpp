// Server error texts met while applying a change: the constraint name read from them is a piece
// of the text without parentheses, only the constraint errors name one, and the translated
// message (no message table) is the text itself, or for an application error a beginning of it.
// The first byte picks the error code, the second the action letter; the rest is the text.
#include "oracle_data/MessageTranslation.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const int codes[] = { 1, 2290, 2291, 2292, 20000, 20999, 20500, 1400, 6512, 942, 0 };
    const int code = codes[data[0] % (sizeof codes / sizeof codes[0])];
    static const char actions[] = { 'I', 'U', 'D', 'L', 'C', 'R' };
    const QChar action = QLatin1Char(actions[data[1] % sizeof actions]);
    const QString message
        = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    const QString constraint = qd::ConstraintNameFromMessage(code, message);
    const bool constraintError = code == 1 || code == 2290 || code == 2291 || code == 2292;
    if (!constraint.isEmpty()) {
        if (!constraintError || !message.contains(constraint) || constraint.contains(u')'))
            __builtin_trap();
    }

    int calls = 0;
    const QString translated = qd::TranslateMessage(nullptr, true, action, code, message,
        [&](int hookCode, const QString &hookConstraint, QChar hookAction, QString &msg) {
            ++calls;
            if (hookCode != code || hookConstraint != constraint || hookAction != action)
                __builtin_trap();
            msg += QStringLiteral("!");
        });
    if (calls != 1 || !translated.endsWith(u'!'))
        __builtin_trap();
    const QString plain = translated.chopped(1);
    if (code >= 20000 && code <= 20999) {
        if (!message.startsWith(plain) || plain.contains(QLatin1String("ORA-06512")))
            __builtin_trap();
    } else if (plain != message) {
        __builtin_trap();
    }
    return 0;
}
