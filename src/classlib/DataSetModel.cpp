#include "DataSetModel.h"

#include "DataLink.h"
#include "DataSet.h"
#include "DataSource.h"
#include "ThreadHandOver.h"

#include <QThread>

#include <mutex>

#include <algorithm>

#include <limits>
#include <optional>

namespace qd {

// Receives the data source's events on whatever thread drives the dataset.
class DataSetModel::Link : public TDataLink {
public:
    explicit Link(DataSetModel *model)
        : m_model(model)
    {
    }

protected:
    void ActiveChanged() override { m_model->dataEvent(Change::Active); }
    void DataSetChanged() override { m_model->dataEvent(Change::Data); }
    void LayoutChanged() override { m_model->dataEvent(Change::Active); }
    void DataSetScrolled(int) override { m_model->dataEvent(Change::Scroll); }
    void RecordChanged(TField *) override { m_model->dataEvent(Change::Record); }

private:
    DataSetModel *m_model;
};

DataSetModel::DataSetModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_link(std::make_unique<Link>(this))
{
}

DataSetModel::~DataSetModel()
{
    m_link->SetDataSource(nullptr);
}

TDataSource *DataSetModel::DataSource() const
{
    return m_link->DataSource();
}

void DataSetModel::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
    rebuild();
}

TDataSet *DataSetModel::dataSet() const
{
    return m_link->Active() ? m_link->DataSet() : nullptr;
}

void DataSetModel::Reattach()
{
    m_detached.store(false);
    rebuild();
}

void DataSetModel::rebuild()
{
    ++m_generation;
    auto snapshot = build(std::max(m_knownRows.load(), m_batchSize.load()));
    apply(*snapshot);
}

void DataSetModel::dataEvent(Change change)
{
    if (QThread::currentThread() != thread()) {
        // A worker drives the dataset: copy the rows here, show them on the GUI thread.
        m_detached.store(true);
        TDataSet *ds = dataSet();
        if (change == Change::Scroll && ds && m_snapshotPending.load()) {
            // A copy is still on its way: only where the current record now is follows it.
            // (A copy holds every row up to the current one: one per step of a long fetch would
            // cost the square of its rows.)
            {
                std::lock_guard<std::mutex> lock(m_latestMutex);
                m_latestCurrent = ds->GetBookmark();
            }
            if (!m_currentPending.exchange(true)) {
                const int generation = m_generation.load();
                PostCall(this, [this, generation] {
                    m_currentPending.store(false);
                    TBookmark current;
                    {
                        std::lock_guard<std::mutex> lock(m_latestMutex);
                        current = m_latestCurrent;
                    }
                    if (generation == m_generation.load())
                        showCurrent(current);
                });
            }
            return;
        }
        m_snapshotPending.store(true);
        const int generation = m_generation.load();
        std::shared_ptr<Snapshot> snapshot
            = build(std::max(m_knownRows.load(), m_batchSize.load()));
        PostCall(this, [this, snapshot, generation] {
            m_snapshotPending.store(false);
            if (generation == m_generation.load())
                apply(*snapshot);
        });
        return;
    }
    // The GUI thread drives the dataset again; copies still queued from a worker are stale.
    m_detached.store(false);
    TDataSet *ds = dataSet();
    if (ds && change == Change::Scroll) {
        const TBookmark current = ds->GetBookmark();
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (!current.isEmpty() && m_rows[i].bookmark == current) {
                setCurrent(static_cast<int>(i));
                return;
            }
        }
    } else if (ds && change == Change::Record && m_currentRow >= 0
        && m_currentRow < static_cast<int>(m_rows.size())) {
        try {
            readRow(m_rows[static_cast<size_t>(m_currentRow)], m_columns);
        } catch (const std::exception &e) {
            emit errorOccurred(QString::fromUtf8(e.what()));
        }
        emit dataChanged(index(m_currentRow, 0),
            index(m_currentRow, std::max(0, static_cast<int>(m_columns.size()) - 1)));
        return;
    }
    rebuild();
}

void DataSetModel::showCurrent(const TBookmark &bookmark)
{
    if (bookmark.isEmpty())
        return;
    // Mostly a few rows on from the current one.
    const int count = static_cast<int>(m_rows.size());
    const int from = std::max(m_currentRow, 0);
    for (int i = 0; i < count; ++i) {
        const int row = (from + i) % count;
        if (m_rows[static_cast<size_t>(row)].bookmark == bookmark) {
            setCurrent(row);
            return;
        }
    }
}

void DataSetModel::readRow(Row &row, const std::vector<Column> &columns)
{
    row.display.clear();
    row.edit.clear();
    // The edit text is kept only for columns that can be edited: a read-only result (a
    // worksheet's grid) holds one text per cell, not two.
    const bool anyEditable = std::any_of(
        columns.begin(), columns.end(), [](const Column &column) { return column.editable; });
    for (const Column &column : columns) {
        const bool isNull = column.field->IsNull();
        row.display.append(isNull ? QString() : column.field->DisplayText());
        if (anyEditable)
            row.edit.append(isNull || !column.editable ? QString() : column.field->Text());
    }
}

// Runs on the thread that drives the dataset.
std::shared_ptr<DataSetModel::Snapshot> DataSetModel::build(int minRows)
{
    auto snapshot = std::make_shared<Snapshot>();
    TDataSet *ds = dataSet();
    if (!ds)
        return snapshot;
    try {
        for (TField *field : ds->Fields()) {
            if (!field->Visible())
                continue;
            const TFieldType type = field->DataType();
            const bool numeric = type == ftSmallint || type == ftInteger || type == ftWord
                || type == ftAutoInc || type == ftLargeint || type == ftFloat || type == ftCurrency
                || type == ftBCD;
            snapshot->columns.push_back({ field->DisplayName(), field->DisplayWidth(),
                field->CanModify() && !field->IsBlob(), numeric, field });
        }
        const TDataSetState state = ds->State();
        const TBookmark current = ds->GetBookmark();
        std::optional<Row> inserted;
        TBookmarkFlag insertFlag = bfCurrent;
        TBookmark insertBefore;
        if (state == dsInsert) {
            inserted.emplace();
            readRow(*inserted, snapshot->columns);
            insertFlag = ds->ActiveBookmarkFlag();
            insertBefore = ds->InsertedBeforeBookmark();
        }
        if (ds->IsEmpty() && state != dsInsert)
            return snapshot;
        // Read at least minRows, and on until the rows hold the current or the insert place.
        const TBookmark &wanted = state == dsInsert ? insertBefore : current;
        const bool toEnd = state == dsInsert && insertFlag == bfEOF;
        int wantedRow = -1;
        TBookmark last;
        bool more = true;
        auto visit = [&](const TBookmark &bookmark) {
            Row row;
            row.bookmark = bookmark;
            readRow(row, snapshot->columns);
            if (wantedRow < 0 && !wanted.isEmpty() && bookmark == wanted)
                wantedRow = static_cast<int>(snapshot->rows.size());
            snapshot->rows.push_back(std::move(row));
            last = bookmark;
        };
        more = ds->ReadRecords({}, minRows, visit);
        while (more && ((wantedRow < 0 && !wanted.isEmpty()) || toEnd))
            more = ds->ReadRecords(last, m_batchSize.load(), visit);
        snapshot->atEnd = !more;
        // The row being edited shows the edit, not the stored record.
        if (state == dsEdit && wantedRow >= 0)
            readRow(snapshot->rows[static_cast<size_t>(wantedRow)], snapshot->columns);
        if (inserted) {
            int at = insertFlag == bfBOF ? 0
                : insertFlag == bfEOF    ? static_cast<int>(snapshot->rows.size())
                                         : std::max(wantedRow, 0);
            snapshot->rows.insert(snapshot->rows.begin() + at, std::move(*inserted));
            snapshot->currentRow = at;
        } else {
            snapshot->currentRow = wantedRow;
        }
    } catch (const std::exception &e) {
        snapshot->rows.clear();
        snapshot->currentRow = -1;
        snapshot->atEnd = true;
        snapshot->error = QString::fromUtf8(e.what());
    }
    return snapshot;
}

void DataSetModel::apply(const Snapshot &snapshot)
{
    if (snapshot.columns != m_columns) {
        beginResetModel();
        m_columns = snapshot.columns;
        m_rows = snapshot.rows;
        endResetModel();
    } else {
        const int oldCount = static_cast<int>(m_rows.size());
        const int newCount = static_cast<int>(snapshot.rows.size());
        if (newCount < oldCount) {
            beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
            m_rows.resize(static_cast<size_t>(newCount));
            endRemoveRows();
        } else if (newCount > oldCount) {
            beginInsertRows(QModelIndex(), oldCount, newCount - 1);
            m_rows.insert(m_rows.end(), snapshot.rows.begin() + oldCount, snapshot.rows.end());
            endInsertRows();
        }
        const int common = std::min(oldCount, newCount);
        std::copy(snapshot.rows.begin(), snapshot.rows.begin() + common, m_rows.begin());
        if (common > 0 && !m_columns.empty())
            emit dataChanged(
                index(0, 0), index(common - 1, static_cast<int>(m_columns.size()) - 1));
    }
    m_atEnd = snapshot.atEnd;
    m_knownRows.store(static_cast<int>(m_rows.size()));
    setCurrent(snapshot.currentRow);
    if (!snapshot.error.isEmpty())
        emit errorOccurred(snapshot.error);
}

void DataSetModel::setCurrent(int row)
{
    if (row == m_currentRow)
        return;
    m_currentRow = row;
    emit currentRowChanged(row);
}

bool DataSetModel::SetCurrentRow(int row)
{
    TDataSet *ds = dataSet();
    if (m_detached.load() || !ds || row < 0 || row >= static_cast<int>(m_rows.size()))
        return false;
    if (row == m_currentRow)
        return true;
    const TBookmark bookmark = m_rows[static_cast<size_t>(row)].bookmark;
    if (bookmark.isEmpty())
        return false;
    try {
        ds->GotoBookmark(bookmark);
    } catch (const std::exception &e) {
        emit errorOccurred(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())
        || index.column() >= static_cast<int>(m_columns.size()))
        return {};
    const Row &row = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.display.value(index.column());
    case Qt::EditRole:
        return m_columns[static_cast<size_t>(index.column())].editable
            ? row.edit.value(index.column())
            : row.display.value(index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(
            (m_columns[static_cast<size_t>(index.column())].rightAligned ? Qt::AlignRight
                                                                         : Qt::AlignLeft)
            | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0
        && section < static_cast<int>(m_columns.size())) {
        const Column &column = m_columns[static_cast<size_t>(section)];
        if (role == Qt::DisplayRole)
            return column.title;
        if (role == DisplayWidthRole)
            return column.width;
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!m_detached.load() && index.column() < static_cast<int>(m_columns.size())
        && m_columns[static_cast<size_t>(index.column())].editable)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    TDataSet *ds = dataSet();
    if (!ds || index.row() >= static_cast<int>(m_rows.size()))
        return false;
    TField *field = m_columns[static_cast<size_t>(index.column())].field;
    try {
        if (!SetCurrentRow(index.row()))
            return false;
        if (!m_link->Edit())
            return false;
        field->SetText(value.toString());
    } catch (const std::exception &e) {
        emit errorOccurred(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

bool DataSetModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd && !m_detached.load() && dataSet();
}

void DataSetModel::fetchMore(const QModelIndex &parent)
{
    TDataSet *ds = dataSet();
    if (!canFetchMore(parent) || !ds)
        return;
    TBookmark last;
    for (auto it = m_rows.rbegin(); it != m_rows.rend() && last.isEmpty(); ++it)
        last = it->bookmark;
    std::vector<Row> rows;
    bool more = false;
    try {
        more = ds->ReadRecords(last, m_batchSize.load(), [&](const TBookmark &bookmark) {
            Row row;
            row.bookmark = bookmark;
            readRow(row, m_columns);
            rows.push_back(std::move(row));
        });
    } catch (const std::exception &e) {
        m_atEnd = true;
        emit errorOccurred(QString::fromUtf8(e.what()));
        return;
    }
    m_atEnd = !more;
    if (rows.empty())
        return;
    // A record being appended stays the last row.
    int at = static_cast<int>(m_rows.size());
    if (!m_rows.empty() && m_rows.back().bookmark.isEmpty())
        --at;
    const int added = static_cast<int>(rows.size());
    const bool currentMoves = m_currentRow >= at;
    beginInsertRows(QModelIndex(), at, at + added - 1);
    m_rows.insert(m_rows.begin() + at, std::make_move_iterator(rows.begin()),
        std::make_move_iterator(rows.end()));
    endInsertRows();
    if (currentMoves)
        setCurrent(m_currentRow + added);
    m_knownRows.store(static_cast<int>(m_rows.size()));
}

} // namespace qd
