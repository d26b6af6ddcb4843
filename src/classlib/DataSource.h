#pragma once

#include "DataSetTypes.h"

#include <vector>

namespace qd {

class TDataLink;
class TDataSource;

using TDataChangeEvent = std::function<void(TDataSource *, TField *)>;
using TNotifyEvent = std::function<void(TDataSource *)>;

// Connects data links (grids, controls, master/detail links) to a dataset and passes the
// dataset's data events on to them.
class TDataSource {
public:
    TDataSource() = default;
    ~TDataSource();
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // When true, editing through a control puts the dataset in edit state by itself.
    bool AutoEdit() const { return m_autoEdit; }
    void SetAutoEdit(bool value) { m_autoEdit = value; }
    // The dataset's state, dsInactive while disabled or without a dataset.
    TDataSetState State() const { return m_state; }
    // Puts the dataset in edit state when AutoEdit allows it; true when it is editing.
    bool Edit();

    // Field is nullptr unless a single field changed.
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnUpdateData;

private:
    friend class TDataSet;
    friend class TDataLink;

    void DataEvent(TDataEvent event, qintptr info);
    void UpdateState();
    void NotifyLinks(TDataEvent event, qintptr info);

    TDataSet *m_dataSet = nullptr;
    bool m_enabled = true;
    bool m_autoEdit = true;
    TDataSetState m_state = dsInactive;
    std::vector<TDataLink *> m_dataLinks;
};

} // namespace qd
