#pragma once

#include "DataSetTypes.h"

#include <vector>

namespace qd {

class TDataSource;

// A consumer of a data source's events: a control, a grid model, a master/detail link. A link
// sees a window of BufferCount records of the dataset; the dataset keeps as many buffers as
// its largest link asks for. Events arrive on the thread that drives the dataset.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink &) = delete;
    TDataLink &operator=(const TDataLink &) = delete;

    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source);
    TDataSet *DataSet() const;
    bool Active() const { return m_active; }
    bool Editing() const { return m_editing; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    int BufferCount() const { return m_bufferCount; }
    void SetBufferCount(int count);
    // The active record's place in this link's window; setting it makes another record of
    // the window the one that fields read (for drawing rows), without moving the cursor.
    int ActiveRecord() const;
    void SetActiveRecord(int index);
    // Records of this link's window that hold data.
    int RecordCount() const;
    // Puts the dataset in edit state (through the data source's AutoEdit); true when editing.
    bool Edit();
    // Asks this link's control to write its pending change (deUpdateRecord).
    void UpdateRecord();

protected:
    virtual void ActiveChanged() { }
    virtual void CheckBrowseMode() { }
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance)
    {
        (void)distance;
        DataSetChanged();
    }
    virtual void EditingChanged() { }
    virtual void FocusControl(TField *field) { (void)field; }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField *field) { (void)field; }
    virtual void UpdateData() { }

private:
    friend class TDataSource;
    friend class TDataSet;

    void DataEvent(TDataEvent event, qintptr info);
    void UpdateState();
    void UpdateRange();
    void SetActive(bool value);
    void SetEditing(bool value);

    TDataSource *m_dataSource = nullptr;
    bool m_active = false;
    bool m_editing = false;
    bool m_readOnly = false;
    bool m_updating = false;
    int m_bufferCount = 1;
    int m_firstRecord = 0;
};

// Links a detail dataset to its master's data source: the fields named in FieldNames are the
// master's link fields, and OnMasterChange runs when the master moves to another record or
// one of those fields changes; OnMasterDisable when the master closes or has no link fields.
class TMasterDataLink : public TDataLink {
public:
    explicit TMasterDataLink(TDataSet *detail)
        : m_detail(detail)
    {
    }

    TDataSet *DetailDataSet() const { return m_detail; }
    const QString &FieldNames() const { return m_fieldNames; }
    void SetFieldNames(const QString &names);
    const std::vector<TField *> &Fields() const { return m_fields; }

    std::function<void(TMasterDataLink *)> OnMasterChange;
    std::function<void(TMasterDataLink *)> OnMasterDisable;

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override { ActiveChanged(); }
    void RecordChanged(TField *field) override;

private:
    TDataSet *m_detail;
    QString m_fieldNames;
    std::vector<TField *> m_fields;
};

} // namespace qd
