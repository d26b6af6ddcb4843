// Every entry point the product binds is exported, so a full load sets every capability flag;
// the ones not implemented yet fail cleanly with ORA-03001.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace qd::test::standin;

namespace {

const char *const groups[] = {
    // OCI7 group, then olog and opinit
    "orlon ologof oerhms oopen oparse odefin oexfet ofen oflng oclose odescr oexec oexn ocom orol "
    "ocon ocof obreak obndra odessp olog opinit",
    // OCI8 group
    "OCIInitialize OCIHandleAlloc OCIHandleFree OCIDescriptorAlloc OCIDescriptorFree OCIEnvInit "
    "OCIServerAttach OCIServerDetach OCISessionBegin OCISessionEnd OCILogon OCILogoff "
    "OCIPasswordChange OCIStmtPrepare OCIBindByPos OCIBindByName OCIBindObject OCIBindDynamic "
    "OCIBindArrayOfStruct OCIStmtGetPieceInfo OCIStmtSetPieceInfo OCIStmtExecute OCIDefineByPos "
    "OCIDefineObject OCIDefineDynamic OCIDefineArrayOfStruct OCIStmtFetch OCIStmtGetBindInfo "
    "OCIDescribeAny OCIParamGet OCIParamSet OCITransStart OCITransDetach OCITransCommit "
    "OCITransRollback OCITransPrepare OCITransForget OCIErrorGet OCILobAppend OCILobAssign "
    "OCILobCharSetForm OCILobCharSetId OCILobCopy OCILobDisableBuffering OCILobEnableBuffering "
    "OCILobErase OCILobFileClose OCILobFileCloseAll OCILobFileExists OCILobFileGetName "
    "OCILobFileIsOpen OCILobFileOpen OCILobFileSetName OCILobFlushBuffer OCILobGetLength "
    "OCILobIsEqual OCILobLoadFromFile OCILobLocatorIsInit OCILobRead OCILobTrim OCILobWrite "
    "OCIBreak OCIServerVersion OCIAttrGet OCIAttrSet OCISvcCtxToLda OCILdaToSvcCtx "
    "OCIResultSetToStmt OCIObjectUnpin OCIObjectLock OCIObjectMarkUpdate OCIObjectUnmark "
    "OCIObjectMarkDelete OCIObjectFlush OCIObjectCopy OCIObjectGetTypeRef OCIObjectGetObjectRef "
    "OCIObjectGetInd OCIObjectExists OCIObjectIsLocked OCIObjectIsDirty OCIObjectRefresh "
    "OCIObjectPinTable OCIObjectNew OCIObjectPin OCIObjectFree OCITypeByName OCIObjectGetAttr "
    "OCIObjectSetAttr OCIStringPtr OCIStringAssignText OCINumberFromInt OCINumberToInt "
    "OCINumberFromReal OCINumberToReal OCINumberToText OCINumberFromText OCIRawPtr OCIRawSize "
    "OCIRawAssignBytes OCIRefAssign OCIRefClear OCIRefIsNull OCIRefFromHex OCIRefHexSize "
    "OCIRefToHex OCICollSize OCICollTrim OCICollMax OCICollGetElem OCICollAssignElem "
    "OCICollAppend OCITableDelete OCICacheFlush",
    // 8.1 group
    "OCIEnvCreate OCIDirPathAbort OCIDirPathFinish OCIDirPathPrepare OCIDirPathColArrayEntrySet "
    "OCIDirPathColArrayToStream OCIDirPathLoadStream OCIDirPathStreamReset "
    "OCILobCreateTemporary OCILobFreeTemporary OCILobIsTemporary OCIDateTimeToText "
    "OCIDateTimeFromText OCIDateTimeGetDate OCIDateTimeGetTime OCIDateTimeConstruct "
    "OCIDateTimeAssign",
    // 9 and 10 groups
    "OCIStmtFetch2 OCISessionPoolCreate OCISessionPoolDestroy OCISessionGet OCISessionRelease "
    "OCIStmtPrepare2 OCIStmtRelease",
};

} // namespace

TEST(StandinExports, EveryEntryPointOfEveryGroupIsExported)
{
    const size_t sizes[] = { 22, 114, 17, 7 };
    for (size_t g = 0; g < 4; ++g) {
        std::istringstream names(groups[g]);
        std::string name;
        size_t count = 0;
        while (names >> name) {
            ++count;
            EXPECT_NE(symbol(name.c_str()), nullptr) << name;
        }
        EXPECT_EQ(count, sizes[g]) << "group " << g;
    }
}

TEST(StandinExports, UnimplementedCallFailsWithOra03001OnItsErrorHandle)
{
    Connection c;
    void *svc = nullptr;
    const sword status = api().Logon(c.env, c.err, &svc, reinterpret_cast<const text *>("DEMO"), 4,
        reinterpret_cast<const text *>("DEMO"), 4, reinterpret_cast<const text *>("DEMO"), 4);
    EXPECT_EQ(status, ERROR);
    EXPECT_EQ(c.errorCode(), 3001);
    EXPECT_EQ(c.errorText(), "ORA-03001: unimplemented feature");
}

TEST(StandinExports, MessageTextOfAnErrorNumber)
{
    using Oerhms = sword (*)(void *, sb2, text *, sword);
    auto oerhms = reinterpret_cast<Oerhms>(symbol("oerhms"));
    ASSERT_NE(oerhms, nullptr);
    unsigned char scratch[64] = {};
    text buffer[2001];
    oerhms(scratch, 942, buffer, sizeof buffer);
    EXPECT_STREQ(reinterpret_cast<char *>(buffer), "ORA-00942: table or view does not exist");
}

TEST(StandinExports, InvalidHandlesAreRefused)
{
    int notAHandle[16] = {};
    EXPECT_EQ(api().HandleFree(notAHandle, HTYPE_STMT), -2);
    EXPECT_EQ(api().HandleFree(nullptr, HTYPE_ENV), -2);
    Connection c;
    // A handle of another type is not a statement.
    EXPECT_EQ(api().StmtExecute(c.svc, c.err, c.err, 1, 0, nullptr, nullptr, DEFAULT), -2);
}
