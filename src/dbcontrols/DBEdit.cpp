#include "DBEdit.h"

#include "classlib/DataLink.h"
#include "classlib/DataSet.h"
#include "oracle/ScreenServices.h"

namespace qd {

class TDBEdit::Link : public TDataLink {
public:
    explicit Link(TDBEdit &edit)
        : m_edit(edit)
    {
    }

protected:
    void ActiveChanged() override { m_edit.showField(); }
    void LayoutChanged() override { m_edit.showField(); }
    void RecordChanged(TField *field) override
    {
        if (!field || field == m_edit.Field())
            m_edit.showField();
    }
    void UpdateData() override { m_edit.writeField(); }

private:
    TDBEdit &m_edit;
};

TDBEdit::TDBEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_link(std::make_unique<Link>(*this))
{
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::userEdited);
    connect(this, &QLineEdit::editingFinished, this, &TDBEdit::editingDone);
}

TDBEdit::~TDBEdit()
{
    m_link->SetDataSource(nullptr);
}

TDataSource *TDBEdit::DataSource() const
{
    return m_link->DataSource();
}

void TDBEdit::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
    showField();
}

void TDBEdit::SetDataField(const QString &name)
{
    m_dataField = name;
    showField();
}

TField *TDBEdit::Field() const
{
    TDataSet *dataSet = m_link->DataSet();
    if (!m_link->Active() || !dataSet || m_dataField.isEmpty())
        return nullptr;
    return dataSet->FindField(m_dataField);
}

void TDBEdit::showField()
{
    TField *field = Field();
    setText(field ? field->Text() : QString());
    m_modified = false;
}

void TDBEdit::writeField()
{
    TField *field = Field();
    if (!field || !m_modified)
        return;
    field->SetText(text());
    m_modified = false;
}

void TDBEdit::userEdited()
{
    // Typing is only kept when the dataset accepts an edit; otherwise the field's text returns.
    const QString typed = text();
    const int cursor = cursorPosition();
    try {
        // Starting the edit may redisplay the record; what was typed is put back.
        if (Field() && m_link->Edit()) {
            if (text() != typed) {
                setText(typed);
                setCursorPosition(cursor);
            }
            m_modified = true;
            return;
        }
    } catch (...) {
        ShowCurrentException();
    }
    showField();
}

void TDBEdit::editingDone()
{
    if (!m_modified)
        return;
    try {
        m_link->UpdateRecord();
    } catch (...) {
        // The text stays for the user to correct.
        ShowCurrentException();
    }
}

} // namespace qd
