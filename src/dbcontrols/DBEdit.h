#pragma once

#include "DataAwareControl.h"

#include <QLineEdit>

#include <memory>

namespace qd {

class TField;

// A line edit bound to one field of a data source's dataset: it shows the field's text on the
// current record, puts the dataset in edit state when the user types (as the data source's
// AutoEdit allows), and writes the text into the field when editing finishes or when the dataset
// asks its controls for their pending changes.
class TDBEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(qd::TDataSource *DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)

public:
    explicit TDBEdit(QWidget *parent = nullptr);
    ~TDBEdit() override;

    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    const QString &DataField() const { return m_dataField; }
    void SetDataField(const QString &name);
    // The bound field, null while the dataset is closed or has no such field.
    TField *Field() const;

private:
    class Link;
    friend class Link;

    void showField();
    void writeField();
    void userEdited();
    void editingDone();

    std::unique_ptr<Link> m_link;
    QString m_dataField;
    bool m_modified = false;
};

} // namespace qd
