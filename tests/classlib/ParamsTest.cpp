// The parameter list a data provider hands a dataset.
#include "classlib/Params.h"
#include "classlib/Exception.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(Params, FindsParametersByNameIgnoringCase)
{
    TParams params;
    TParam *id = params.CreateParam(ftInteger, QStringLiteral("ID"), ptInput);
    TParam *name = params.CreateParam(ftString, QStringLiteral("Name"), ptInputOutput);
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params[0], id);
    EXPECT_EQ(params.FindParam(QStringLiteral("id")), id);
    EXPECT_EQ(params.ParamByName(QStringLiteral("NAME")), name);
    EXPECT_EQ(params.FindParam(QStringLiteral("other")), nullptr);
    try {
        params.ParamByName(QStringLiteral("other"));
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Parameter 'other' not found");
    }
    EXPECT_TRUE(id->IsNull()) << "a new parameter has no value";
    id->SetValue(7);
    EXPECT_FALSE(id->IsNull());
    id->Clear();
    EXPECT_TRUE(id->IsNull());

    params.RemoveParam(id);
    EXPECT_EQ(params.Count(), 1);
    EXPECT_EQ(params.FindParam(QStringLiteral("ID")), nullptr);
    TParam stranger(QStringLiteral("X"), ftString, ptInput);
    params.RemoveParam(&stranger);
    EXPECT_EQ(params.Count(), 1) << "a parameter of no list is ignored";
}

TEST(Params, AssignCopiesEveryParameter)
{
    TParams source;
    source.CreateParam(ftFloat, QStringLiteral("A"), ptInput)->SetValue(1.5);
    source.CreateParam(ftDateTime, QStringLiteral("B"), ptOutput);
    TParams copy;
    copy.CreateParam(ftString, QStringLiteral("OLD"), ptInput);
    copy = source;
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.FindParam(QStringLiteral("OLD")), nullptr);
    EXPECT_NE(copy[0], source[0]) << "copies, not shared parameters";
    EXPECT_EQ(copy[0]->Name(), "A");
    EXPECT_EQ(copy[0]->DataType(), ftFloat);
    EXPECT_EQ(copy[0]->Value().AsFloat(), 1.5);
    EXPECT_EQ(copy[1]->ParamType(), ptOutput);
    source[0]->SetValue(2.5);
    EXPECT_EQ(copy[0]->Value().AsFloat(), 1.5);
    copy = copy;
    EXPECT_EQ(copy.Count(), 2) << "assigning a list to itself keeps it";
}
