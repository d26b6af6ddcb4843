#include "SubstituteVariables.h"

namespace qd {

bool SubstituteVariables(TStringList &lines, TKXVars &substitutionVars, const TSubVarAsker &ask)
{
    TQDSubVar scanner;
    scanner.Scan(lines);
    if (scanner.Count() == 0)
        return true;
    // "&&" answers of this statement, kept apart until every occurrence has a value so that a
    // cancelled prompt changes nothing.
    TKXVars answers;
    for (int i = 1; i <= scanner.Count(); ++i) {
        const TQDSubVarRec rec = scanner.GetOccurrence(i);
        QString value;
        if (substitutionVars.Exists(rec.Name)) {
            value = substitutionVars.GetValue(rec.Name).AsString();
        } else if (answers.Exists(rec.Name)) {
            value = answers.GetValue(rec.Name).AsString();
        } else {
            const std::optional<QString> answer
                = ask(QStringLiteral("Enter a value for ") + rec.Name, rec.Name);
            if (!answer)
                return false;
            value = *answer;
            if (rec.Kind == svkDouble)
                answers.SetVar(rec.Name, kvkSubstitution, Variant(value));
        }
        scanner.Substitute(i, value);
    }
    for (int i = 0; i < answers.Count(); ++i)
        substitutionVars.SetVar(answers.Entry(i).Name, kvkSubstitution, answers.Entry(i).Value);
    lines.Clear();
    lines.AddStrings(scanner.Output());
    return true;
}

} // namespace qd
