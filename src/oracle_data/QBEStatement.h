#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace qd {

// Rewriting a SELECT statement to carry a query-by-example condition, and undoing it.
//
// The dataset's ApplyQBE and RemoveQBE are thin callers of TQBEStatement. The dataset adds what
// only it knows: it executes its query first when no fields are described yet, passes the
// statement with substitution variables in place, collects one QBECondition per field (column
// from Origin or FieldName, qualified with the updating table's alias for an object attribute;
// term and Negate from TranslateQBEValue over the field's QBE text), deletes its variables named
// by IsQBEVariableName when it removes a condition, and stores the lines it gets back as its
// SQL.

// The line that ends a statement carrying a QBE condition.
inline constexpr const char16_t QBEMarkerLine[] = u"/* Modified for QBE */";
// Bind variables whose names start with this belong to a QBE condition.
inline constexpr const char16_t QBEVariablePrefix[] = u":ZEB__QBE";

// One field's part of the condition: the column (possibly wrapped by the translation), the term
// that follows it, and whether a leading NOT negated it.
struct QBECondition {
    QString column;
    QString term;
    bool negate = false;
};

// Appends one predicate: "(column term)", or for a negated one "not (column term)" followed by
// " or column is null" (unless the term is exactly "is null", so a NOT NULL criterion does not
// also admit nulls). Predicates are joined by a line break and "and ". An empty term adds nothing.
void AddQBEPredicate(QString &condition, const QBECondition &item);
QString BuildQBECondition(const std::vector<QBECondition> &items);

// The lines of the statement with the condition merged in at the outermost level: the head, the
// condition (after the existing one as "where (old)", "and", "(new)", or as a new "where"/"having"
// clause), the ORDER BY / FOR UPDATE tail (an empty line without one), and the marker line.
// Comments are dropped from the rewritten text; the original is kept by TQBEStatement.
QStringList MergeQBECondition(const QString &statement, const QString &condition);

// True when the last line is exactly the marker line.
bool HasQBEMarker(const QStringList &lines);

// True when the variable name starts with ":ZEB__QBE" (exact compare).
bool IsQBEVariableName(const QString &name);

// Applying and removing the condition for one dataset: it keeps the statement as written so that
// removing gives it back exactly, and applying again never piles conditions up.
class TQBEStatement {
public:
    // Whether the statement currently carries a condition.
    bool Applied() const { return m_applied; }
    const QStringList &SavedSQL() const { return m_saved; }

    // Undoes a previous application (the lines may be changed back), remembers the lines as
    // written and merges the condition into the statement. statementOf gives the text the server
    // would see of the restored lines (substitution variables in place); without it the lines
    // are joined as they stand. Returns false, leaving the lines as written and the flag down,
    // when the condition is empty.
    bool Apply(QStringList &sql, const QString &condition,
        const std::function<QString(const QStringList &)> &statementOf = {});

    // Gives back the lines as written when they still end with the marker line (lines changed
    // by the user since, or marked lines this object never rewrote, are left alone). Returns
    // whether the lines were restored.
    bool Remove(QStringList &sql);

private:
    bool m_applied = false;
    bool m_hasSaved = false;
    QStringList m_saved;
};

} // namespace qd
