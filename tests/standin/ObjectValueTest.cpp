// The stored text of object values: nested values survive the round trip, and text that is no
// encoded value is refused with ORA-00932 instead of being half read.
#include "engine/ObjectTypes.h"

#include <gtest/gtest.h>

namespace qdsi::engine {
namespace {

ObjectValue scalar(const std::string &text)
{
    ObjectValue v;
    v.isNull = false;
    v.isScalar = true;
    v.scalar = text;
    return v;
}

ObjectValue object(std::vector<ObjectValue> items)
{
    ObjectValue v;
    v.isNull = false;
    v.items = std::move(items);
    return v;
}

bool same(const ObjectValue &a, const ObjectValue &b)
{
    if (a.isNull != b.isNull || a.isScalar != b.isScalar || a.scalar != b.scalar
        || a.items.size() != b.items.size())
        return false;
    for (size_t i = 0; i < a.items.size(); ++i)
        if (!same(a.items[i], b.items[i]))
            return false;
    return true;
}

TEST(ObjectValues, NestedValuesRoundTrip)
{
    const ObjectValue person = object({ scalar("Ann"), scalar("0AFF"), ObjectValue(),
        object({ scalar("Main: 1"), ObjectValue() }), scalar(""), object({}) });
    const std::string text = encodeObjectValue(person);
    EXPECT_EQ(text, "O6:S3:AnnS4:0AFFNO2:S7:Main: 1NS0:O0:");
    EXPECT_TRUE(same(decodeObjectValue(text), person));
    EXPECT_TRUE(decodeObjectValue("N").isNull);
}

TEST(ObjectValues, MalformedTextIsRefused)
{
    for (const char *text :
        { "", "X", "S5:ab", "O2:N", "S:", "O1:NN", "S3ab", "S12345678901:x", "O999999:", "S-1:" }) {
        try {
            decodeObjectValue(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const sql::OraError &e) {
            EXPECT_EQ(e.code, 932) << text;
        }
    }
}

} // namespace
} // namespace qdsi::engine
