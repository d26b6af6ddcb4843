#pragma once

#include "FilterFieldSource.h"
#include "OracleFilter.h"

namespace qd {

// A filter leaf reading one field of the record being filtered. The field is looked up by name on
// every reading, so the leaf stays valid when the dataset's fields are re-created. The name
// "NULL" (as a bare word arrives, upper-cased) is the null pseudo-field: a String that is always
// null and never touches the dataset.
class TColumnExpression : public TExpression {
public:
    TColumnExpression(const FilterFieldSource &dataSet, QString fieldName);

    const QString &FieldName() const { return m_fieldName; }

    // Null fields read as empty text, 0, False and day 0.
    double AsDate() const override;
    QString AsString() const override;
    double AsFloat() const override;
    qint32 AsInteger() const override;
    bool AsBoolean() const override;
    bool IsNull() const override;
    TExpressionKind Kind() const override;

private:
    bool isNullField() const { return m_fieldName == QLatin1String("NULL"); }

    const FilterFieldSource &m_dataSet;
    QString m_fieldName;
};

// The dataset's identifier callback: a new leaf for every name, known or not, so an unknown name
// fails only when a record is read. Parameters (as in FOO(1)) are not used and are freed by the
// parser.
std::unique_ptr<TExpression> CreateColumnExpression(
    const FilterFieldSource &dataSet, const QString &name, std::unique_ptr<TParameterList> &params);

// Parses a dataset's filter text with its options, resolving names to field leaves over dataSet,
// which must outlive the tree. Null for an empty text.
std::unique_ptr<TExpression> ParseDataSetFilter(
    const QString &text, int options, const FilterFieldSource &dataSet);

// Whether the record being filtered passes: True without a tree, else the root read as a boolean.
bool FilterAccept(const TExpression *filter);

} // namespace qd
