#include "engine/BindBuffers.h"

#include "engine/DateBytes.h"
#include "engine/OraErrors.h"

namespace qdsi::engine {

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
        b.type = BufferType::Chars;
        b.data = slot.text.data();
        break;
    case Value::Kind::Integer:
    case Value::Kind::Boolean:
        slot.integer = v.kind == Value::Kind::Boolean ? (v.boolean ? 1 : 0) : v.integer;
        b.type = BufferType::Integer;
        b.data = &slot.integer;
        b.size = sizeof slot.integer;
        break;
    case Value::Kind::Real:
        slot.real = v.real;
        b.type = BufferType::Float;
        b.data = &slot.real;
        b.size = sizeof slot.real;
        break;
    case Value::Kind::Date:
        if (dateToBytes(v.text, slot.date)) {
            b.type = BufferType::Date;
            b.data = slot.date;
            b.size = sizeof slot.date;
            break;
        }
        [[fallthrough]];
    case Value::Kind::Text:
        slot.text = v.text;
        b.type = BufferType::Chars;
        b.data = slot.text.data();
        b.size = static_cast<int32_t>(slot.text.size());
        break;
    default:
        throw oraFail(932, "-");
    }
    m_values.push_back({ index, b });
}

} // namespace qdsi::engine
