// OCIDefineDynamic: LONG and LONG RAW columns defined with OCI_DYNAMIC_FETCH arrive through the
// define's callback, one buffer per piece (see DynamicFetch.cpp).
#include "Export.h"
#include "oci/Handles.h"

using namespace qdsi::oci;

QDSI_EXPORT sword OCIDefineDynamic(
    OCIDefine *defnp, OCIError *errhp, void *octxp, OCICallbackDefine ocbfp)
{
    auto *define = handleOf<DefineHandle>(defnp, OCI_HTYPE_DEFINE);
    if (!define)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    if (!ocbfp)
        return fail(errhp, 24343);
    define->extras.pieceCallback = ocbfp;
    define->extras.pieceContext = octxp;
    define->extras.defineHandle = defnp;
    return OCI_SUCCESS;
}
