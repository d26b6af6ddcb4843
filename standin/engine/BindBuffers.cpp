#include "engine/BindBuffers.h"

#include "engine/OraErrors.h"
#include "engine/Values.h"

namespace qdsi::engine {

using namespace qdsi::oci;
using plsql::NamedValue;
using plsql::Value;

void BindBuffers::add(Statement &statement, const NamedValue &bind)
{
    const int index = statement.placeholderIndex(bind.name);
    if (index == 0)
        return;
    Slot &slot = m_slots.emplace_back();
    ClientBuffer &b = slot.buffer;
    b.indicator = &slot.indicator;
    const Value &v = bind.value;
    switch (v.kind) {
    case Value::Kind::Null:
        slot.indicator = -1;
        b.type = SQLT_CHR;
        b.data = slot.text.data();
        break;
    case Value::Kind::Integer:
    case Value::Kind::Boolean:
        slot.integer = v.kind == Value::Kind::Boolean ? (v.boolean ? 1 : 0) : v.integer;
        b.type = SQLT_INT;
        b.data = &slot.integer;
        b.size = sizeof slot.integer;
        break;
    case Value::Kind::Real:
        slot.real = v.real;
        b.type = SQLT_FLT;
        b.data = &slot.real;
        b.size = sizeof slot.real;
        break;
    case Value::Kind::Date:
        if (dateToBytes(v.text, slot.date)) {
            b.type = SQLT_DAT;
            b.data = slot.date;
            b.size = sizeof slot.date;
            break;
        }
        [[fallthrough]];
    case Value::Kind::Text:
        slot.text = v.text;
        b.type = SQLT_CHR;
        b.data = slot.text.data();
        b.size = static_cast<sb4>(slot.text.size());
        break;
    default:
        throw oraFail(932, "-");
    }
    m_values.push_back({ index, b });
}

} // namespace qdsi::engine
