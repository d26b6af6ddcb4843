#pragma once

// The dataset's master/detail links: the master it hangs on and the link fields on either side,
// the details that hang on it, the master values a detail's query is bound with, the detail walk
// that follows the master's record, and the protection of the master's link fields while details
// hold records. The dataset owns one and forwards its published master/detail calls to it.

#include "classlib/DataSetTypes.h"

#include <QString>

#include <vector>

namespace qd {

class TOracleDataSet;

class DataSetMasterDetail {
public:
    explicit DataSetMasterDetail(TOracleDataSet &dataSet);
    DataSetMasterDetail(const DataSetMasterDetail &) = delete;
    DataSetMasterDetail &operator=(const DataSetMasterDetail &) = delete;

    TOracleDataSet *master() const { return m_master; }
    const QString &masterFields() const { return m_masterFields; }
    const QString &detailFields() const { return m_detailFields; }
    const std::vector<TOracleDataSet *> &details() const { return m_details; }
    // Refuses a circular chain; closes the dataset and moves it to the new master's details.
    void setMaster(TOracleDataSet *value);
    void setMasterFields(const QString &value);
    void setDetailFields(const QString &value);
    // Lets go of the master and of every detail (the dataset is going away).
    void detach();

    // The bookmark number of the master record this detail last ran its query for; -1 = none.
    qint32 masterBookmark() const { return m_masterBookmark; }
    void setMasterBookmark(qint32 value) { m_masterBookmark = value; }
    // Every detail remembers bookmark as the master record it ran for.
    void setDetailsMasterBookmark(qint32 bookmark);
    // The master's current bookmark number, -1 without a master.
    qint32 masterCurrentBookmark() const;
    // Set at open: the next state update walks the details.
    void setDetailWalkPending(bool value) { m_detailWalkPending = value; }

    // The master is closed, empty or in QBE mode (false without a master).
    bool masterUnavailable() const;
    bool masterHasNoCurrentRecord() const;
    void setDetailVariables(TRecordBuffer masterBuffer);
    void checkMasterValues();
    void copyMasterValues();
    bool masterRecordMatches(TRecordBuffer buffer);
    bool hasCachedDetailChanges() const;

    void refreshDetails(bool forget);
    void forgetDetailBookmarks();
    void dataEvent(TDataEvent event);
    // A master field changed in edit: open details take the new link values.
    void masterFieldChanged();
    void protectMasterLinkFields();
    void protectLinkFields();

private:
    TOracleDataSet &m_dataSet;
    TOracleDataSet *m_master = nullptr;
    QString m_masterFields;
    QString m_detailFields;
    std::vector<TOracleDataSet *> m_details;
    qint32 m_masterBookmark = -1;
    bool m_detailWalkPending = false;
    bool m_protectingLinkFields = false;
};

} // namespace qd
