// The filter language's parser: text to a tree of typed nodes.
#include "OracleFilter.h"

#include "FilterSupport.h"

namespace qd {

using namespace FilterSupport;

namespace {

struct Parsed {
    std::unique_ptr<TExpression> node;
    int depth = 1;
};

enum class Word { None, Operator, True, False, Identifier };

class FilterParser {
public:
    FilterParser(QString text, const TResolveIdentifierEvent &onIdentifier)
        : m_text(std::move(text))
        , m_onIdentifier(onIdentifier)
        , m_separator(filterFormatSettings().decimalSeparator)
    {
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text.at(m_pos); }

    void skipBlanks()
    {
        while (!atEnd() && m_text.at(m_pos).unicode() >= 1 && m_text.at(m_pos).unicode() <= 32)
            ++m_pos;
    }

    Parsed parseExpression()
    {
        Parsed left = parseSimple();
        skipBlanks();
        if (!isComparisonChar(peek()))
            return left;
        const Op op = readComparison();
        Parsed right = parseSimple();
        Parsed result = combine(
            std::make_unique<TRelationalOp>(op, std::move(left.node), std::move(right.node)),
            std::max(left.depth, right.depth));
        skipBlanks();
        if (isComparisonChar(peek()))
            raise(QStringLiteral("Syntax error"));
        return result;
    }

private:
    static bool isComparisonChar(QChar c) { return c == u'<' || c == u'=' || c == u'>'; }
    static bool isLetter(QChar c)
    {
        const char16_t u = c.unicode();
        return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_';
    }
    static bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

    Parsed combine(std::unique_ptr<TExpression> node, int childDepth)
    {
        if (childDepth + 1 > MaxFilterTreeDepth)
            raise(QStringLiteral("Filter expression nested too deeply (more than %1 levels)")
                      .arg(MaxFilterTreeDepth));
        return Parsed { std::move(node), childDepth + 1 };
    }

    Op readComparison()
    {
        QString chars(m_text.at(m_pos++));
        if (isComparisonChar(peek()))
            chars += m_text.at(m_pos++);
        if (chars == u"=")
            return Op::opEq;
        if (chars == u"<>")
            return Op::opNEQ;
        if (chars == u"<")
            return Op::opLT;
        if (chars == u">")
            return Op::opGT;
        if (chars == u"<=")
            return Op::opLTE;
        if (chars == u">=")
            return Op::opGTE;
        raise(QStringLiteral("%1 not a valid operator").arg(chars));
    }

    // Reads a word at the current position, upper-cased (ASCII letters only).
    QString readWord()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && (isLetter(peek()) || isDigit(peek())))
            ++m_pos;
        return asciiCase(m_text.mid(start, m_pos - start), true);
    }

    static std::optional<Op> operatorWord(const QString &word)
    {
        if (word == u"NOT")
            return Op::opNot;
        if (word == u"DIV")
            return Op::opDiv;
        if (word == u"MOD")
            return Op::opMod;
        if (word == u"AND")
            return Op::opAnd;
        if (word == u"SHL")
            return Op::opShl;
        if (word == u"SHR")
            return Op::opShr;
        if (word == u"OR")
            return Op::opOr;
        if (word == u"XOR")
            return Op::opXor;
        return std::nullopt;
    }

    Parsed parseSimple()
    {
        Parsed left = parseTerm();
        for (;;) {
            skipBlanks();
            const QChar c = peek();
            Op op;
            if (c == u'+') {
                op = Op::opPlus;
                ++m_pos;
            } else if (c == u'-') {
                op = Op::opMinus;
                ++m_pos;
            } else if (isLetter(c)) {
                // The term loop lets only OR and XOR through to this level.
                const qsizetype start = m_pos;
                const QString word = readWord();
                const std::optional<Op> wordOp = operatorWord(word);
                if (!wordOp || (*wordOp != Op::opOr && *wordOp != Op::opXor)) {
                    m_pos = start;
                    return left;
                }
                op = *wordOp;
            } else {
                return left;
            }
            Parsed right = parseTerm();
            left = combine(
                std::make_unique<TBinaryOp>(op, std::move(left.node), std::move(right.node)),
                std::max(left.depth, right.depth));
        }
    }

    Parsed parseTerm()
    {
        Parsed left = parseFactor();
        for (;;) {
            skipBlanks();
            if (atEnd())
                return left;
            const QChar c = peek();
            Op op;
            if (c == u')' || c == u',' || c == u'+' || c == u'-' || isComparisonChar(c)) {
                return left;
            } else if (c == u'*') {
                op = Op::opMult;
                ++m_pos;
            } else if (c == u'/') {
                op = Op::opDivide;
                ++m_pos;
            } else if (isLetter(c)) {
                const qsizetype start = m_pos;
                const QString word = readWord();
                const std::optional<Op> wordOp = operatorWord(word);
                if (!wordOp) {
                    if (word == u"TRUE" || word == u"FALSE")
                        raise(QStringLiteral("Boolean literal not allowed here"));
                    raise(QStringLiteral("Identifier %1 not allowed here").arg(word));
                }
                if (*wordOp == Op::opOr || *wordOp == Op::opXor) {
                    m_pos = start;
                    return left;
                }
                // NOT cannot follow a complete operand: "[A] NOT [B]" has no meaning.
                if (*wordOp == Op::opNot)
                    raise(QStringLiteral("Syntax error"));
                op = *wordOp;
            } else {
                raise(QStringLiteral("char %1 in input stream").arg(c));
            }
            Parsed right = parseFactor();
            left = combine(
                std::make_unique<TBinaryOp>(op, std::move(left.node), std::move(right.node)),
                std::max(left.depth, right.depth));
        }
    }

    struct NestingGuard {
        explicit NestingGuard(int &level, int limit, const char *what)
            : m_level(level)
        {
            if (++m_level > limit) {
                --m_level;
                raise(QStringLiteral("%1 nested too deeply (more than %2 levels)")
                          .arg(QLatin1String(what))
                          .arg(limit));
            }
        }
        ~NestingGuard() { --m_level; }
        int &m_level;
    };

    Parsed parseFactor()
    {
        NestingGuard guard(m_nesting, MaxFilterNesting, "Filter expression");
        skipBlanks();
        if (atEnd())
            raise(QStringLiteral("Unexpected end of factor"));
        const QChar c = peek();
        if (c == u'+' || c == u'-') {
            ++m_pos;
            Parsed operand = parseFactor();
            return combine(std::make_unique<TUnaryOp>(
                               c == u'+' ? Op::opPlus : Op::opMinus, std::move(operand.node)),
                operand.depth);
        }
        if (c == u'[')
            return Parsed { resolveField(readFieldName()) };
        if (c == u'\'')
            return Parsed { std::make_unique<TStringLiteral>(readString()) };
        if (isDigit(c))
            return Parsed { readNumber() };
        if (c == u'(') {
            ++m_pos;
            skipBlanks();
            if (peek() == u')')
                raise(QStringLiteral("invalid sub-expression"));
            Parsed inner = parseExpression();
            skipBlanks();
            if (peek() != u')')
                raise(QStringLiteral(" ) expected"));
            ++m_pos;
            return inner;
        }
        if (isLetter(c))
            return parseWordFactor();
        if (c == u')' || c == u',')
            raise(QStringLiteral("Unexpected end of factor"));
        raise(QStringLiteral("Syntax error"));
    }

    Parsed parseWordFactor()
    {
        const QString word = readWord();
        if (const std::optional<Op> op = operatorWord(word)) {
            if (*op != Op::opNot)
                raise(QStringLiteral("%1 not allowed here").arg(ExpressionOperatorName(*op)));
            Parsed operand = parseFactor();
            return combine(
                std::make_unique<TUnaryOp>(Op::opNot, std::move(operand.node)), operand.depth);
        }
        if (word == u"TRUE" || word == u"FALSE")
            return Parsed { std::make_unique<TBooleanLiteral>(word == u"TRUE") };
        skipBlanks();
        std::unique_ptr<TParameterList> params;
        int depth = 0;
        if (peek() == u'(') {
            ++m_pos;
            params = std::make_unique<TParameterList>();
            depth = readParameters(*params, word == u"IF");
        }
        std::unique_ptr<TExpression> node = CreateFunctionNode(word, params);
        if (!node && m_onIdentifier)
            node = m_onIdentifier(word, params);
        if (!node)
            raise(QStringLiteral("Unknown Identifier %1").arg(word));
        return combine(std::move(node), depth);
    }

    int readParameters(TParameterList &params, bool ifCall)
    {
        int depth = 0;
        for (;;) {
            skipBlanks();
            if (peek() == u',' || peek() == u')') {
                params.Add(nullptr);
            } else {
                // Reading an IF reads its condition twice (for the kind check and for the
                // value), so the cost doubles with every IF nested inside a condition. Branches
                // are read once and may nest freely.
                std::optional<NestingGuard> conditionGuard;
                if (ifCall && params.Count() == 0)
                    conditionGuard.emplace(m_ifNesting, MaxFilterIfNesting, "IF conditions");
                Parsed p = parseExpression();
                depth = std::max(depth, p.depth);
                params.Add(std::move(p.node));
            }
            skipBlanks();
            if (peek() == u',') {
                ++m_pos;
                continue;
            }
            if (peek() == u')') {
                ++m_pos;
                return depth;
            }
            raise(QStringLiteral("Incorrectly formed parameters"));
        }
    }

    QString readFieldName()
    {
        ++m_pos;
        QString name;
        for (;;) {
            if (atEnd())
                raise(QStringLiteral("Unterminated fieldname"));
            const QChar c = m_text.at(m_pos++);
            if (c == u']')
                return name;
            name += c;
            if (name.size() > 256)
                raise(QStringLiteral("Fieldname too long"));
        }
    }

    std::unique_ptr<TExpression> resolveField(const QString &name)
    {
        // A field name needs a resolver that answers it; without one it is unknown rather than
        // a missing node.
        std::unique_ptr<TParameterList> none;
        std::unique_ptr<TExpression> node;
        if (m_onIdentifier)
            node = m_onIdentifier(name, none);
        if (!node)
            raise(QStringLiteral("Unknown Identifier %1").arg(name));
        return node;
    }

    QString readString()
    {
        ++m_pos;
        QString value;
        for (;;) {
            if (atEnd())
                raise(QStringLiteral("Unterminated string"));
            const QChar c = m_text.at(m_pos++);
            if (c == u'\'') {
                if (peek() != u'\'')
                    return value;
                ++m_pos;
            }
            value += c;
            if (value.size() > 256)
                raise(QStringLiteral("String too long"));
        }
    }

    std::unique_ptr<TExpression> readNumber()
    {
        QString buffer;
        bool isFloat = false;
        auto append = [&](QChar c) {
            buffer += c;
            if (buffer.size() > 28)
                raise(QStringLiteral("Bad numeric format"));
        };
        while (isDigit(peek()))
            append(m_text.at(m_pos++));
        if (peek() == m_separator) {
            ++m_pos;
            isFloat = true;
            append(u'.');
            while (isDigit(peek()))
                append(m_text.at(m_pos++));
        }
        if (peek() == u'e' || peek() == u'E') {
            ++m_pos;
            isFloat = true;
            append(u'E');
            if (peek() == u'-') {
                ++m_pos;
                append(u'-');
            }
            if (!isDigit(peek()))
                raise(QStringLiteral("Bad numeric format"));
            while (isDigit(peek()))
                append(m_text.at(m_pos++));
        }
        if (peek() == m_separator || peek() == u'e' || peek() == u'E')
            raise(QStringLiteral("Bad numeric format"));
        if (!isFloat && buffer.size() <= 10) {
            const qint64 value = buffer.toLongLong();
            if (value <= std::numeric_limits<qint32>::max())
                return std::make_unique<TIntegerLiteral>(static_cast<qint32>(value));
        }
        bool ok = false;
        const double value = buffer.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            raise(QStringLiteral("Bad numeric format"));
        return std::make_unique<TFloatLiteral>(value);
    }

    QString m_text;
    const TResolveIdentifierEvent &m_onIdentifier;
    QChar m_separator;
    qsizetype m_pos = 0;
    int m_nesting = 0;
    int m_ifNesting = 0;
};

// Sets the options of a parse for this thread and restores the previous ones afterwards, so a
// callback that parses a text of its own does not disturb the outer parse.
class OptionScope {
public:
    explicit OptionScope(int options)
        : m_saved(currentOptions())
    {
        currentOptions().caseInsensitive = (options & FilterParseCaseInsensitive) != 0;
        currentOptions().partialCompare = (options & FilterParseNoPartialCompare) == 0;
    }
    ~OptionScope() { currentOptions() = m_saved; }

private:
    ParseOptions m_saved;
};

} // namespace

std::unique_ptr<TExpression> ParseFilterExpression(
    const QString &text, int options, const TResolveIdentifierEvent &onIdentifier)
{
    QString source = text;
    const qsizetype nul = source.indexOf(QChar(u'\0'));
    if (nul >= 0)
        source.truncate(nul);
    OptionScope scope(options);
    FilterParser parser(source, onIdentifier);
    parser.skipBlanks();
    if (parser.atEnd())
        return nullptr;
    Parsed result = parser.parseExpression();
    parser.skipBlanks();
    if (!parser.atEnd())
        raise(QStringLiteral("%1 not appropriate").arg(parser.peek()));
    return std::move(result.node);
}

} // namespace qd
