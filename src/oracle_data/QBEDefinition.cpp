#include "oracle_data/QBEDefinition.h"

#include "classlib/Exception.h"

#include <atomic>

namespace qd {

namespace {

// The field whose text last came through FieldSetText, so that the change it causes is not
// copied into the QBE text a second time. Query-by-example runs on the main thread only.
std::atomic<const void *> lastFieldSet { nullptr };

bool sameFieldName(const QString &a, const QString &b)
{
    return QString::localeAwareCompare(a.toUpper(), b.toUpper()) == 0;
}

// Bounds-checked little-endian reader over one "QBEFieldDefs" block.
class BlockReader {
public:
    explicit BlockReader(QByteArrayView data)
        : m_data(data)
    {
    }

    qsizetype remaining() const { return m_data.size() - m_pos; }

    std::int32_t int32(const char *what)
    {
        need(4, what);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | std::uint8_t(m_data[m_pos + i]);
        m_pos += 4;
        return std::int32_t(v);
    }
    bool byte(const char *what)
    {
        need(1, what);
        return m_data[m_pos++] != 0;
    }
    QString latin1(qsizetype length, const char *what)
    {
        need(length, what);
        const QString s = QString::fromLatin1(m_data.sliced(m_pos, length));
        m_pos += length;
        return s;
    }

private:
    void need(qsizetype bytes, const char *what) const
    {
        if (remaining() < bytes)
            throw Exception(QStringLiteral("QBEFieldDefs is truncated: the data ends inside %1")
                                .arg(QLatin1StringView(what)));
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

void appendInt32(QByteArray &out, std::int32_t value)
{
    const auto v = std::uint32_t(value);
    const char bytes[4]
        = { char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF) };
    out.append(bytes, 4);
}

} // namespace

// --- TQBEField ---

TQBEDataSetLink *TQBEField::dataSet() const
{
    return m_owner ? m_owner->DataSet() : nullptr;
}

bool TQBEField::allowOperators() const
{
    return m_owner && m_owner->AllowOperators();
}

bool TQBEField::Enabled() const
{
    if (const TQBEDataSetLink *ds = dataSet(); ds && ds->QBEFieldDefIsBlobLike(m_fieldName))
        return false;
    return m_enabled;
}

void TQBEField::SetEnabled(bool Value)
{
    m_enabled = Value;
    m_enabled = Enabled();
}

QString TQBEField::GetQBEText() const
{
    if (allowOperators())
        return m_qbeText;
    if (const TQBEDataSetLink *ds = dataSet())
        return ds->QBEFieldAsString(m_fieldName).value_or(QString());
    return QString();
}

void TQBEField::SetQBEText(const QString &Text)
{
    if (allowOperators()) {
        m_qbeText = Text;
        return;
    }
    TQBEDataSetLink *ds = dataSet();
    if (!ds)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(m_fieldName));
    ds->QBESetFieldText(m_fieldName, Text);
}

void TQBEField::FieldGetText(const void * /*Sender*/, QString &Text, bool /*DisplayText*/)
{
    const TQBEDataSetLink *ds = dataSet();
    const QString value = ds ? ds->QBEFieldAsString(m_fieldName).value_or(QString()) : QString();
    if (allowOperators()) {
        if (!value.isEmpty())
            m_qbeText = value;
        Text = m_qbeText;
    } else {
        Text = value;
    }
}

void TQBEField::FieldSetText(const void *Sender, const QString &Text)
{
    lastFieldSet = Sender;
    if (allowOperators()) {
        m_qbeText = Text;
        return;
    }
    if (TQBEDataSetLink *ds = dataSet())
        ds->QBESetFieldText(m_fieldName, Text);
}

void TQBEField::FieldChange(const void *Sender)
{
    if (m_owner && m_owner->Loading())
        return;
    if (Sender != lastFieldSet) {
        const TQBEDataSetLink *ds = dataSet();
        m_qbeText = ds ? ds->QBEFieldAsString(m_fieldName).value_or(QString()) : QString();
    }
    lastFieldSet = nullptr;
}

// --- TQBEDefinition ---

const void *TQBEDefinition::LastFieldSet()
{
    return lastFieldSet;
}

TQBEField *TQBEDefinition::Add()
{
    m_items.push_back(std::make_unique<TQBEField>(this));
    return m_items.back().get();
}

void TQBEDefinition::Delete(int Index)
{
    if (Index < 0 || Index >= Count())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(Index));
    m_items.erase(m_items.begin() + Index);
}

void TQBEDefinition::Clear()
{
    m_items.clear();
}

TQBEField *TQBEDefinition::FindField(const QString &Name) const
{
    for (const auto &item : m_items)
        if (sameFieldName(item->FieldName(), Name))
            return item.get();
    return nullptr;
}

bool TQBEDefinition::SyncWithFieldDefs()
{
    if (!m_dataSet)
        return false;
    bool added = false;
    for (const auto &item : m_items)
        item->SetInUse(false);
    for (const QString &name : m_dataSet->QBEFieldDefNames()) {
        TQBEField *item = FindField(name);
        if (!item) {
            item = Add();
            item->SetFieldName(name);
            item->SetEnabled(true);
            added = true;
        }
        item->SetInUse(true);
    }
    for (int i = Count() - 1; i >= 0; --i)
        if (!m_items[size_t(i)]->InUse())
            Delete(i);
    return added;
}

void TQBEDefinition::AssignTo(TQBEDefinition &Dest) const
{
    if (&Dest == this)
        return;
    Dest.m_saveQBEValues = m_saveQBEValues;
    Dest.m_allowFileWildCards = m_allowFileWildCards;
    Dest.m_fontColor = m_fontColor;
    Dest.m_backgroundColor = m_backgroundColor;
    Dest.m_allowOperators = m_allowOperators;
    Dest.Clear();
    for (const auto &source : m_items) {
        TQBEField *item = Dest.Add();
        item->m_fieldName = source->m_fieldName;
        item->m_enabled = source->Enabled();
        item->m_partialMatch = source->m_partialMatch;
        item->m_matchAnywhere = source->m_matchAnywhere;
        item->m_soundex = source->m_soundex;
        item->m_caseInsensitive = source->m_caseInsensitive;
        item->m_wholeDay = source->m_wholeDay;
        item->m_qbeText = source->GetQBEText();
    }
}

bool TQBEDefinition::QBEFieldDefsHasData(const TQBEDefinition *Ancestor) const
{
    if (!Ancestor)
        return !m_items.empty();
    if (Ancestor->Count() != Count())
        return true;
    for (int i = 0; i < Count(); ++i) {
        const TQBEField &a = *Items(i);
        const TQBEField &b = *Ancestor->Items(i);
        if (a.m_fieldName != b.m_fieldName || a.m_enabled != b.m_enabled
            || a.m_partialMatch != b.m_partialMatch || a.m_caseInsensitive != b.m_caseInsensitive
            || a.m_wholeDay != b.m_wholeDay || a.m_matchAnywhere != b.m_matchAnywhere
            || a.m_soundex != b.m_soundex)
            return true;
    }
    return false;
}

QByteArray TQBEDefinition::WriteQBEFieldDefs() const
{
    QByteArray out;
    appendInt32(out, QBEFieldDefsVersion);
    appendInt32(out, std::int32_t(m_items.size()));
    for (const auto &item : m_items) {
        const QByteArray name = item->m_fieldName.toLatin1();
        appendInt32(out, std::int32_t(name.size()));
        out.append(name);
        out.append(char(item->m_enabled));
        out.append(char(item->m_partialMatch));
        out.append(char(item->m_caseInsensitive));
        out.append(char(item->m_wholeDay));
        out.append(char(item->m_matchAnywhere));
        out.append(char(item->m_soundex));
    }
    return out;
}

void TQBEDefinition::ReadQBEFieldDefs(QByteArrayView Data)
{
    Clear();
    BlockReader in(Data);
    const std::int32_t version = in.int32("its version");
    if (version > QBEFieldDefsVersion)
        throw Exception(QStringLiteral("Invalid version of QBEDefinition"));
    const std::int32_t count = in.int32("its item count");
    // Versions below 1 (never written) read like version 1.
    const qsizetype minRecord = 4 + 3 + (version > 1) + (version > 2) + (version > 3);
    if (count < 0 || count > in.remaining() / minRecord)
        throw Exception(QStringLiteral("QBEFieldDefs is corrupt: it claims %1 items, but its "
                                       "%2 remaining bytes cannot hold them")
                            .arg(count)
                            .arg(in.remaining()));

    std::vector<std::unique_ptr<TQBEField>> items;
    items.reserve(size_t(count));
    for (std::int32_t i = 0; i < count; ++i) {
        auto item = std::make_unique<TQBEField>(this);
        const std::int32_t length = in.int32("a field name length");
        if (length < 0)
            throw Exception(QStringLiteral("QBEFieldDefs is corrupt: item %1 has a negative "
                                           "name length")
                                .arg(i + 1));
        item->m_fieldName = in.latin1(length, "a field name");
        item->m_enabled = in.byte("an item's switches");
        item->m_partialMatch = in.byte("an item's switches");
        item->m_caseInsensitive = in.byte("an item's switches");
        if (version > 1)
            item->m_wholeDay = in.byte("an item's switches");
        if (version > 2)
            item->m_matchAnywhere = in.byte("an item's switches");
        if (version > 3)
            item->m_soundex = in.byte("an item's switches");
        items.push_back(std::move(item));
    }
    m_items = std::move(items);
}

} // namespace qd
