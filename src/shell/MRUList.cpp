#include "shell/MRUList.h"

#include "classlib/Exception.h"
#include "classlib/TextFile.h"
#include "platform/ProgramDirectory.h"
#include "shell/FixedRecord.h"

#include <QFileInfo>
#include <QMenu>

namespace qd {

namespace {

constexpr int KindAt = 0;
constexpr int CaptionAt = 1, CaptionRoom = 255;
constexpr int PathAt = 257, PathRoom = 255;
constexpr int Text1At = 513, Text2At = 546, Text3At = 579, ShortRoom = 32;
constexpr int LongTextAt = 612, LongTextRoom = 255;
constexpr int CodeAt = 868, CodeRoom = 10;
static_assert(CodeAt + 1 + CodeRoom == TMRUList::RecordSize);

// Trimmed again after the cut, so a stored entry reads back the same.
QString fit(const QString &text, int maxBytes)
{
    return QString::fromUtf8(FixedRecord::fitText(text.trimmed(), maxBytes)).trimmed();
}

TMRUItem normalised(const TMRUItem &in)
{
    TMRUItem out;
    out.Kind = in.Kind;
    out.Caption = fit(in.Caption, CaptionRoom);
    out.Path = fit(in.Path, PathRoom);
    out.Text1 = fit(in.Text1, ShortRoom);
    out.Text2 = fit(in.Text2, ShortRoom);
    out.Text3 = fit(in.Text3, ShortRoom);
    out.LongText = fit(in.LongText.toUpper(), LongTextRoom);
    out.Code = fit(in.Code.toUpper(), CodeRoom);
    return out;
}

QString fileError(const QString &fileName, const QString &why)
{
    return QStringLiteral("The recent list file \"%1\" is damaged: %2. It was not read.")
        .arg(fileName, why);
}

} // namespace

// ---- TMRUMenuItem

TMRUMenuItem::TMRUMenuItem(const TMRUItem &item, QObject *parent)
    : QAction(parent)
    , m_item(item)
{
    // A file name may hold "&", which a menu would take as a mnemonic.
    setText(QString(item.Caption).replace(u'&', QStringLiteral("&&")));
}

QByteArray TMRUMenuItem::Record() const
{
    return TMRUList::recordBytes(m_item);
}

// ---- TMRUList

QString TMRUList::recentFilesFileName()
{
    return ProgramDirectory::filePath(QStringLiteral("MRU.dat"));
}

QString TMRUList::recentLogonsFileName()
{
    return ProgramDirectory::filePath(QStringLiteral("LogonMRU.dat"));
}

TMRUList::~TMRUList()
{
    if (!m_saveOnDestroy)
        return;
    try {
        SaveToFile();
    } catch (const Exception &e) {
        qWarning("%s", qPrintable(e.Message()));
    }
}

const TMRUItem &TMRUList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items[size_t(index)];
}

void TMRUList::SetMaxCount(int value)
{
    m_maxCount = qMax(value, 0);
    if (Count() > m_maxCount)
        m_items.resize(size_t(m_maxCount));
}

int TMRUList::findMatch(const TMRUItem &item) const
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        const TMRUItem &e = m_items[i];
        if (e.Kind != item.Kind)
            continue;
        const bool samePath = e.Path.compare(item.Path, Qt::CaseInsensitive) == 0;
        switch (item.Kind) {
        case 0:
            if (samePath)
                return int(i);
            break;
        case 1:
            if (e.Text1 == item.Text1 && e.Text2 == item.Text2)
                return int(i);
            break;
        case 2:
            if (samePath && e.Text3 == item.Text3 && e.LongText == item.LongText)
                return int(i);
            break;
        default:
            break;
        }
    }
    return -1;
}

void TMRUList::addItem(const TMRUItem &given, bool addToTop, bool keepFirst)
{
    const TMRUItem item = normalised(given);
    const int match = findMatch(item);
    if (match >= 0) {
        m_items.erase(m_items.begin() + match);
        m_items.insert(m_items.begin(), item);
        return;
    }
    if (Count() >= m_maxCount) {
        // A list with room for nothing keeps nothing; a file's later entries give way to its
        // first ones.
        if (keepFirst || m_maxCount == 0)
            return;
        m_items.resize(size_t(m_maxCount - 1));
    }
    if (addToTop)
        m_items.insert(m_items.begin(), item);
    else
        m_items.push_back(item);
}

void TMRUList::Add(quint8 kind, const QString &caption, const QString &path, const QString &text1,
    const QString &text2, const QString &text3, const QString &longText, const QString &code,
    bool addToTop)
{
    addItem(TMRUItem { kind, caption, path, text1, text2, text3, longText, code }, addToTop, false);
    if (m_autoSave)
        SaveToFile();
}

QByteArray TMRUList::recordBytes(const TMRUItem &item)
{
    FixedRecord record(RecordSize);
    record.putByte(KindAt, item.Kind);
    record.putText(CaptionAt, CaptionRoom, item.Caption);
    record.putText(PathAt, PathRoom, item.Path);
    record.putText(Text1At, ShortRoom, item.Text1);
    record.putText(Text2At, ShortRoom, item.Text2);
    record.putText(Text3At, ShortRoom, item.Text3);
    record.putText(LongTextAt, LongTextRoom, item.LongText);
    record.putText(CodeAt, CodeRoom, item.Code);
    return record.bytes();
}

bool TMRUList::parseRecord(const QByteArray &bytes, TMRUItem &item)
{
    if (bytes.size() != RecordSize)
        return false;
    const FixedRecord record = FixedRecord::fromBytes(bytes);
    const struct {
        int at, room;
    } fields[] = { { CaptionAt, CaptionRoom }, { PathAt, PathRoom }, { Text1At, ShortRoom },
        { Text2At, ShortRoom }, { Text3At, ShortRoom }, { LongTextAt, LongTextRoom },
        { CodeAt, CodeRoom } };
    for (const auto &f : fields)
        if (!record.fieldValid(f.at, f.room))
            return false;
    item.Kind = record.getByte(KindAt);
    item.Caption = record.getText(CaptionAt, CaptionRoom);
    item.Path = record.getText(PathAt, PathRoom);
    item.Text1 = record.getText(Text1At, ShortRoom);
    item.Text2 = record.getText(Text2At, ShortRoom);
    item.Text3 = record.getText(Text3At, ShortRoom);
    item.LongText = record.getText(LongTextAt, LongTextRoom);
    item.Code = record.getText(CodeAt, CodeRoom);
    return true;
}

void TMRUList::LoadFromFile()
{
    if (m_fileName.isEmpty() || !QFileInfo(m_fileName).isFile())
        return;
    const QByteArray bytes = ReadFileBytes(m_fileName);
    if (bytes.size() % RecordSize != 0)
        throw Exception(fileError(m_fileName,
            QStringLiteral("its size of %1 bytes is not a whole number of %2-byte records")
                .arg(bytes.size())
                .arg(RecordSize)));
    if (bytes.size() / RecordSize > MaxFileRecords)
        throw Exception(fileError(
            m_fileName, QStringLiteral("it holds more than %1 records").arg(MaxFileRecords)));
    std::vector<TMRUItem> records(size_t(bytes.size() / RecordSize));
    for (size_t i = 0; i < records.size(); ++i) {
        if (!parseRecord(bytes.mid(qsizetype(i) * RecordSize, RecordSize), records[i]))
            throw Exception(fileError(m_fileName,
                QStringLiteral("record %1 has a field longer than its room").arg(i + 1)));
    }
    Clear();
    for (const TMRUItem &item : records)
        addItem(item, false, true);
}

void TMRUList::SaveToFile() const
{
    if (m_fileName.isEmpty())
        return;
    QByteArray bytes;
    bytes.reserve(qsizetype(m_items.size()) * RecordSize);
    for (const TMRUItem &item : m_items)
        bytes += recordBytes(item);
    WriteFileAtomically(m_fileName, bytes);
}

void TMRUList::BuildMenu(
    QMenu *menu, QAction *anchor, const std::function<void(TMRUMenuItem *sender)> &onClick) const
{
    const QList<QAction *> actions = menu->actions();
    const qsizetype start = anchor ? actions.indexOf(anchor) + 1 : 0;
    for (qsizetype i = actions.size() - 1; i >= start; --i) {
        QAction *action = actions[i];
        menu->removeAction(action);
        // Items the menu owns (the previous recent entries) go; shared actions only leave it.
        // Later, not now: the menu may be rebuilt from the click handler of one of them.
        if (action->parent() == menu)
            action->deleteLater();
    }
    for (const TMRUItem &item : m_items) {
        auto *menuItem = new TMRUMenuItem(item, menu);
        QObject::connect(menuItem, &QAction::triggered, menuItem, [menuItem, onClick] {
            if (onClick)
                onClick(menuItem);
        });
        menu->addAction(menuItem);
    }
}

} // namespace qd
