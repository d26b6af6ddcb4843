#pragma once

#include "DataSetTypes.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace qd {

class TDataSource;

// A Qt table model over a data source: one column per visible field (header: DisplayName,
// DisplayWidthRole: DisplayWidth in characters), one row per record in dataset order, the
// field's DisplayText (null shown empty), editing through the field's Text.
//
// Threads. The model lives on the GUI thread and answers the view only from its own copy of
// the rows (texts and bookmarks), never from the dataset. The copy is made on the thread that
// drives the dataset, when a data event arrives there:
// - on the GUI thread the model reads the dataset and updates itself at once;
// - on any other thread it reads the rows there (the dataset is that thread's at that moment)
//   and hands the copy to the GUI thread through a queued call, so Qt is touched on the GUI
//   thread only.
// While a worker drives the dataset the GUI thread must not read it: call Detach() before
// handing the dataset to the worker and Reattach() after the worker is done (a data event
// arriving from another thread also detaches). While detached the view shows the latest copy,
// editing and fetch-more are off. Do not destroy the model or change its data source while a
// worker drives the dataset. Bulk work should run between DisableControls and EnableControls:
// the copy is then made once.
//
// Rows are read BatchSize at a time; the view's fetch-more reads the next batch, so a dataset
// that fetches lazily fetches only what is shown. Editing a cell moves the dataset to the row
// (posting a pending edit there), puts it in edit state and sets the field's Text; the edit is
// posted when the dataset moves on or is posted. A record being inserted is shown as a row.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { DisplayWidthRole = Qt::UserRole + 1 };

    explicit DataSetModel(QObject *parent = nullptr);
    ~DataSetModel() override;

    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    int BatchSize() const { return m_batchSize.load(); }
    void SetBatchSize(int rows) { m_batchSize = rows < 1 ? 1 : rows; }

    bool Detached() const { return m_detached.load(); }
    void Detach() { m_detached.store(true); }
    void Reattach();

    // Row of the dataset's active record (or of the record being inserted); -1 when none.
    int CurrentRow() const { return m_currentRow; }
    // Moves the dataset to the row's record; false (and errorOccurred) when that fails.
    bool SetCurrentRow(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    void currentRowChanged(int row);
    void errorOccurred(const QString &message);

private:
    class Link;
    friend class Link;
    struct Column {
        QString title;
        int width = 0;
        bool editable = false;
        bool rightAligned = false;
        TField *field = nullptr;
        bool operator==(const Column &) const = default;
    };
    struct Row {
        TBookmark bookmark; // empty for a record being inserted
        QStringList display;
        QStringList edit;
    };
    struct Snapshot {
        std::vector<Column> columns;
        std::vector<Row> rows;
        bool atEnd = true;
        int currentRow = -1;
        QString error;
    };
    enum class Change { Active, Data, Scroll, Record };

    void dataEvent(Change change);
    std::shared_ptr<Snapshot> build(int minRows);
    void readRow(Row &row, const std::vector<Column> &columns);
    void apply(const Snapshot &snapshot);
    void rebuild();
    void setCurrent(int row);
    void showCurrent(const TBookmark &bookmark);
    TDataSet *dataSet() const;

    std::unique_ptr<Link> m_link;
    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    bool m_atEnd = true;
    int m_currentRow = -1;
    std::atomic<int> m_batchSize { 256 };
    std::atomic<bool> m_detached { false };
    std::atomic<int> m_generation { 0 };
    std::atomic<int> m_knownRows { 0 };
    // A copy made on a worker is on its way to the GUI thread; while it is, a worker's scroll
    // sends only the current record's bookmark (the latest one, one message at a time).
    std::atomic<bool> m_snapshotPending { false };
    std::atomic<bool> m_currentPending { false };
    std::mutex m_latestMutex;
    TBookmark m_latestCurrent;
};

} // namespace qd
