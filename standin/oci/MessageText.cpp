// oerhms: the server's message text for an error number, used by clients to word codes they
// hold (for example constraint checks) without a failing call. It needs no session.
#include "Export.h"
#include "engine/OraErrors.h"
#include "oci/OciTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

QDSI_EXPORT sword oerhms(Lda_Def *, sb2 rcode, text *buf, sword bufsiz)
{
    if (!buf || bufsiz <= 0)
        return -1;
    // Without a statement there is nothing to fill in: a placeholder in parentheses shows as
    // "(.)", as the server words it (the dataset layer puts the constraint's name there).
    const char mark = '\x01';
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", static_cast<int>(rcode));
    std::string message = prefix + qdsi::engine::oraText(rcode, std::string(1, mark));
    const size_t inParentheses = message.find(std::string("(") + mark + ")");
    if (inParentheses != std::string::npos)
        message.replace(inParentheses + 1, 1, ".");
    message.erase(std::remove(message.begin(), message.end(), mark), message.end());
    const size_t n = std::min<size_t>(static_cast<size_t>(bufsiz) - 1, message.size());
    std::memcpy(buf, message.data(), n);
    buf[n] = '\0';
    return static_cast<sword>(n);
}
