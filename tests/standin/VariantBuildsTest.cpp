// The variant client libraries for the loader's tests: each loads by path and exports exactly
// the names it should, the full library every one of them.
#include "common/TestSupport.h"
#include "oci/OciTypes.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <set>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> olderGroup = { "orlon", "ologof", "oerhms", "oopen", "oparse",
    "odefin", "oexfet", "ofen", "oflng", "oclose", "odescr", "oexec", "oexn", "ocom", "orol",
    "ocon", "ocof", "obreak", "obndra", "odessp", "olog", "opinit" };

const std::vector<std::string> group81 = { "OCIEnvCreate", "OCIDirPathAbort", "OCIDirPathFinish",
    "OCIDirPathPrepare", "OCIDirPathColArrayEntrySet", "OCIDirPathColArrayToStream",
    "OCIDirPathLoadStream", "OCIDirPathStreamReset", "OCILobCreateTemporary", "OCILobFreeTemporary",
    "OCILobIsTemporary", "OCIDateTimeToText", "OCIDateTimeFromText", "OCIDateTimeGetDate",
    "OCIDateTimeGetTime", "OCIDateTimeConstruct", "OCIDateTimeAssign" };

// Names around the gap of the gap build: the handle-based group before and after it.
const std::vector<std::string> handleGroupSample
    = { "OCIInitialize", "OCIHandleAlloc", "OCIStmtPrepare", "OCIParamSet", "OCITransStart",
          "OCITransDetach", "OCITransCommit", "OCILobRead", "OCICacheFlush" };

const std::vector<std::string> laterGroups = { "OCIStmtFetch2", "OCISessionPoolCreate",
    "OCISessionGet", "OCIStmtPrepare2", "OCIStmtRelease", "qdsi_version" };

std::string variantPath(const std::string &suffix)
{
    std::string path = qd::test::standinLibraryPath().toStdString();
    const size_t at = path.rfind(".so");
    return path.substr(0, at) + suffix + path.substr(at);
}

struct Library {
    explicit Library(const std::string &path)
        : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~Library()
    {
        if (handle)
            dlclose(handle);
    }
    bool exports(const std::string &name) const { return dlsym(handle, name.c_str()) != nullptr; }
    void *handle;
};

} // namespace

TEST(VariantBuilds, EachVariantExportsExactlyItsGroups)
{
    struct Case {
        const char *suffix;
        std::set<std::string> missing;
    } cases[] = {
        { "", {} },
        { "_no7", { olderGroup.begin(), olderGroup.end() } },
        { "_no81", { group81.begin(), group81.end() } },
        { "_gap8", { "OCITransStart" } },
    };
    std::vector<std::string> all = olderGroup;
    all.insert(all.end(), group81.begin(), group81.end());
    all.insert(all.end(), handleGroupSample.begin(), handleGroupSample.end());
    all.insert(all.end(), laterGroups.begin(), laterGroups.end());
    for (const Case &c : cases) {
        const std::string path = variantPath(c.suffix);
        Library library(path);
        ASSERT_NE(library.handle, nullptr) << path << ": " << dlerror();
        for (const std::string &name : all)
            EXPECT_EQ(library.exports(name), c.missing.count(name) == 0) << name << " in " << path;
    }
}

TEST(VariantBuilds, VariantWithoutTheOlderCallsStillServesSessions)
{
    Library library(variantPath("_no7"));
    ASSERT_NE(library.handle, nullptr) << dlerror();
    using EnvCreate = int (*)(void **, unsigned, void *, void *, void *, void *, size_t, void **);
    using HandleFree = int (*)(void *, unsigned);
    auto create = reinterpret_cast<EnvCreate>(dlsym(library.handle, "OCIEnvCreate"));
    auto release = reinterpret_cast<HandleFree>(dlsym(library.handle, "OCIHandleFree"));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(release, nullptr);
    void *env = nullptr;
    ASSERT_EQ(create(&env, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr), 0);
    EXPECT_NE(env, nullptr);
    EXPECT_EQ(release(env, 1), 0);
}

TEST(VariantBuilds, ALibraryUnloadedAndLoadedAgainKnowsItsHandlesAndLeavesNothingBehind)
{
    // The client unloads the library when it lets go of a client home. Whatever the library kept
    // for itself goes with it (the leak-checking build reports any block left unreachable once
    // the library is unmapped), and a library loaded again starts afresh.
    using namespace qdsi::oci;
    using EnvInit = int (*)(void **, unsigned, size_t, void **);
    using HandleAlloc = int (*)(const void *, void **, unsigned, size_t, void **);
    using HandleFree = int (*)(void *, unsigned);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Library library(variantPath("_no81"));
        ASSERT_NE(library.handle, nullptr) << dlerror();
        auto init = reinterpret_cast<EnvInit>(dlsym(library.handle, "OCIEnvInit"));
        auto alloc = reinterpret_cast<HandleAlloc>(dlsym(library.handle, "OCIHandleAlloc"));
        auto release = reinterpret_cast<HandleFree>(dlsym(library.handle, "OCIHandleFree"));
        ASSERT_TRUE(init && alloc && release);
        void *env = nullptr;
        void *error = nullptr;
        ASSERT_EQ(init(&env, OCI_DEFAULT, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(alloc(env, &error, OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
        EXPECT_EQ(release(error, OCI_HTYPE_ERROR), OCI_SUCCESS);
        EXPECT_EQ(release(error, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE); // freed once only
        EXPECT_EQ(release(env, OCI_HTYPE_ENV), OCI_SUCCESS);
    }
}
