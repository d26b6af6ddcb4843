// The stand-in's own declaration of the older interface's data areas against the product's:
// both must place every public field where the client library's 64-bit layout has it.
#include "oci/OciTypes.h"
#include "oracle/OracleCI.h"

#include <gtest/gtest.h>

#include <cstddef>

TEST(DataAreaLayout, StandinAndProductDeclareTheSameAreas)
{
    using Ours = ::cda_def;
    using Product = qd::cda_def;
    EXPECT_EQ(sizeof(Ours), sizeof(Product));
    EXPECT_EQ(sizeof(Ours), 64u);
    EXPECT_EQ(offsetof(Ours, v2_rc), offsetof(Product, v2_rc));
    EXPECT_EQ(offsetof(Ours, ft), offsetof(Product, ft));
    EXPECT_EQ(offsetof(Ours, rpc), offsetof(Product, rpc));
    EXPECT_EQ(offsetof(Ours, peo), offsetof(Product, peo));
    EXPECT_EQ(offsetof(Ours, fc), offsetof(Product, fc));
    EXPECT_EQ(offsetof(Ours, rc), offsetof(Product, rc));
    EXPECT_EQ(offsetof(Ours, wrn), offsetof(Product, wrn));
    EXPECT_EQ(offsetof(Ours, rid), offsetof(Product, rid));
    EXPECT_EQ(offsetof(Ours, ose), offsetof(Product, ose));
    EXPECT_EQ(offsetof(Ours, chk), offsetof(Product, chk));
    EXPECT_EQ(offsetof(Ours, rcsp), offsetof(Product, rcsp));
    EXPECT_EQ(qdsi::oci::HDA_SIZE, qd::HDA_SIZE);
}
