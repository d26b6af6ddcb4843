// oerhms: the server's message text for an error number, used by clients to word codes they
// hold (for example constraint checks) without a failing call.
#include "Export.h"
#include "engine/OraErrors.h"
#include "oci/OciTypes.h"

#include <algorithm>
#include <cstring>

QDSI_EXPORT sword oerhms(Lda_Def *, sb2 rcode, text *buf, sword bufsiz)
{
    if (!buf || bufsiz <= 0)
        return -1;
    const std::string message = qdsi::engine::oraFail(rcode).text;
    const size_t n = std::min<size_t>(static_cast<size_t>(bufsiz) - 1, message.size());
    std::memcpy(buf, message.data(), n);
    buf[n] = '\0';
    return static_cast<sword>(n);
}
