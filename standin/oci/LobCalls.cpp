// LOB locators: read, write (one piece, polled pieces or a callback), trim, length, temporary
// LOBs and BFILEs. Lengths and offsets count bytes, for CLOBs as well: the stand-in's character
// data is single-byte as far as LOB amounts go.
#include "Export.h"
#include "engine/OraErrors.h"
#include "oci/BufferValues.h"
#include "oci/LobLocator.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

using namespace qdsi;
using namespace qdsi::oci;
using engine::oraFail;

namespace qdsi::oci {

Handle *newLobLocator(ub4 descriptorType)
{
    auto *locator = new LobLocator(descriptorType);
    if (descriptorType == OCI_DTYPE_FILE)
        locator->ref.kind = engine::BufferType::Bfile;
    return locator;
}

LobLocator *lobLocatorOf(const void *pointer)
{
    if (auto *l = handleOf<LobLocator>(pointer, OCI_DTYPE_LOB))
        return l;
    return handleOf<LobLocator>(pointer, OCI_DTYPE_FILE);
}

} // namespace qdsi::oci

namespace qdsi::engine {

int storeLobOutput(const LobRef &ref, bool isNull, const ClientBuffer &buffer, size_t row)
{
    void *slot = buffer.data ? *static_cast<void **>(buffer.element(row)) : nullptr;
    LobLocator *locator = lobLocatorOf(slot);
    if (!locator)
        throw oraFail(22275);
    locator->ref = ref;
    locator->initialized = !isNull;
    locator->temporary = false;
    locator->temporaryValue.clear();
    locator->fileOpen = locator->writing = locator->reading = false;
    if (uint16_t *length = buffer.lengthAt(row))
        *length = sizeof(void *);
    int16_t *indicator = buffer.indicatorAt(row);
    if (indicator)
        *indicator = isNull ? -1 : 0;
    return isNull && !indicator ? 1405 : 0;
}

bool lobInputValue(const ClientBuffer &buffer, size_t row, std::string &value)
{
    const int16_t *indicator = buffer.indicatorAt(row);
    if ((indicator && *indicator == -1) || !buffer.data)
        return false;
    LobLocator *locator = lobLocatorOf(*static_cast<void **>(buffer.element(row)));
    if (!locator)
        throw oraFail(22275);
    if (!locator->initialized)
        return false;
    if (locator->temporary)
        value = locator->temporaryValue;
    else if (locator->ref.kind == BufferType::Bfile)
        value = locator->ref.directory + "/" + locator->ref.fileName;
    else if (!locator->ref.hasRow)
        value = locator->ref.snapshot;
    else
        throw oraFail(3001); // a row's locator as a value: copy it through a temporary LOB
    return true;
}

namespace {

LobLocator *boundLocator(const ClientBuffer &buffer, size_t row)
{
    if (!buffer.data)
        throw oraFail(22275);
    LobLocator *locator = lobLocatorOf(*static_cast<void **>(buffer.element(row)));
    if (!locator)
        throw oraFail(22275);
    return locator;
}

} // namespace

bool lobBlockValue(Session &session, const ClientBuffer &buffer, size_t row, std::string &value)
{
    const int16_t *indicator = buffer.indicatorAt(row);
    if ((indicator && *indicator == -1) || !buffer.data)
        return false;
    LobLocator *locator = boundLocator(buffer, row);
    if (!locator->initialized)
        return false;
    if (locator->ref.hasRow && !locator->temporary)
        value = readLobRow(session, locator->ref);
    else
        return lobInputValue(buffer, row, value);
    return true;
}

void storeLobBlockValue(
    Session &session, const ClientBuffer &buffer, size_t row, const std::string &value)
{
    LobLocator *locator = boundLocator(buffer, row);
    if (locator->temporary) {
        locator->temporaryValue = value;
        locator->initialized = true;
    } else if (locator->ref.hasRow) {
        writeLobRow(session, locator->ref, value);
    } else {
        throw oraFail(locator->initialized ? 22920 : 22275);
    }
    if (int16_t *indicator = buffer.indicatorAt(row))
        *indicator = 0;
}

} // namespace qdsi::engine

namespace {

engine::Session &sessionOf(SvcCtxHandle *service)
{
    if (!service || !service->session || !service->session->session)
        throw oraFail(1012);
    return *service->session->session;
}

std::string currentValue(SvcCtxHandle *service, LobLocator &locator)
{
    if (!locator.initialized)
        throw oraFail(22275);
    if (locator.temporary)
        return locator.temporaryValue;
    if (locator.ref.kind == engine::BufferType::Bfile) {
        if (!locator.fileOpen)
            throw oraFail(22289, "FILEREAD");
        return engine::readBfile(locator.ref);
    }
    if (!locator.ref.hasRow)
        return locator.ref.snapshot;
    return engine::readLobRow(sessionOf(service), locator.ref);
}

void storeValue(SvcCtxHandle *service, LobLocator &locator, const std::string &value)
{
    if (!locator.initialized)
        throw oraFail(22275);
    if (locator.temporary)
        locator.temporaryValue = value;
    else
        engine::writeLobRow(sessionOf(service), locator.ref, value);
}

// The value with `data` written at 1-based `offset`; a gap is filled with blanks in a CLOB and
// zero bytes in a BLOB, as the server fills it.
std::string spliced(std::string value, ub4 offset, const std::string &data, engine::BufferType kind)
{
    const size_t at = offset - 1;
    if (value.size() < at)
        value.append(at - value.size(), kind == engine::BufferType::Clob ? ' ' : '\0');
    value.replace(at, std::min(data.size(), value.size() - at), data);
    return value;
}

// Runs a LOB call with its service context's call lock and turns exceptions into errors.
template <class F> sword lobCall(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, F &&body)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    LobLocator *locator = lobLocatorOf(locp);
    if (!service || !locator)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    return guarded(errhp, [&] {
        // Every LOB operation of this kind goes to the server.
        std::optional<engine::Session::Call> call;
        if (service->session && service->session->session)
            call.emplace(*service->session->session, true);
        return body(*service, *locator);
    });
}

} // namespace

QDSI_EXPORT sword OCILobRead(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp,
    ub4 offset, void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2, ub1)
{
    if (!amtp)
        return OCI_INVALID_HANDLE;
    return lobCall(svchp, errhp, locp, [&](SvcCtxHandle &service, LobLocator &locator) {
        const std::string value = currentValue(&service, locator);
        auto *out = static_cast<char *>(bufp);
        if (locator.reading) {
            // The next buffer of a read that did not fit into one.
            const size_t end = std::min(locator.readEnd, value.size());
            const size_t n = std::min<size_t>(bufl, end - std::min(locator.readNext, end));
            std::memcpy(out, value.data() + locator.readNext, n);
            locator.readNext += n;
            *amtp = static_cast<ub4>(n);
            if (locator.readNext < end)
                return OCI_NEED_DATA;
            locator.reading = false;
            return OCI_SUCCESS;
        }
        if (offset < 1 || (!bufp && bufl > 0))
            throw oraFail(24801);
        const size_t start = offset - 1;
        if (start >= value.size()) {
            *amtp = 0;
            return note(errhp, 1403, OCI_NO_DATA);
        }
        const size_t left = value.size() - start;
        const size_t wanted = *amtp == 0 ? left : std::min<size_t>(*amtp, left);
        if (cbfp) {
            // Callback mode: the buffer is refilled and handed over piece after piece.
            if (bufl == 0)
                throw oraFail(24801);
            size_t done = 0;
            while (done < wanted) {
                const size_t n = std::min<size_t>(bufl, wanted - done);
                std::memcpy(out, value.data() + start + done, n);
                ub1 piece = wanted <= bufl ? OCI_ONE_PIECE
                    : done == 0            ? OCI_FIRST_PIECE
                    : done + n == wanted   ? OCI_LAST_PIECE
                                           : OCI_NEXT_PIECE;
                if (cbfp(ctxp, out, static_cast<ub4>(n), piece) != OCI_CONTINUE)
                    throw oraFail(24343);
                done += n;
            }
            *amtp = static_cast<ub4>(wanted);
            return OCI_SUCCESS;
        }
        const size_t n = std::min<size_t>(bufl, wanted);
        std::memcpy(out, value.data() + start, n);
        *amtp = static_cast<ub4>(n);
        if (n < wanted) {
            locator.reading = true;
            locator.readNext = start + n;
            locator.readEnd = start + wanted;
            return OCI_NEED_DATA;
        }
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobWrite(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp,
    ub4 offset, void *bufp, ub4 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2, ub1)
{
    if (!amtp)
        return OCI_INVALID_HANDLE;
    return lobCall(svchp, errhp, locp, [&](SvcCtxHandle &service, LobLocator &locator) {
        if (!bufp && buflen > 0)
            throw oraFail(24801);
        const auto *in = static_cast<const char *>(bufp);
        if (piece == OCI_ONE_PIECE) {
            if (offset < 1)
                throw oraFail(24801);
            const size_t n = *amtp == 0 ? buflen : std::min<size_t>(*amtp, buflen);
            const std::string data(in ? in : "", n);
            storeValue(&service, locator,
                spliced(currentValue(&service, locator), offset, data, locator.ref.kind));
            *amtp = static_cast<ub4>(n);
            return OCI_SUCCESS;
        }
        if (piece == OCI_FIRST_PIECE) {
            if (offset < 1)
                throw oraFail(24801);
            currentValue(&service, locator); // an unusable locator fails before any piece
            locator.writing = true;
            locator.writeOffset = offset;
            locator.written.assign(in ? in : "", buflen);
            if (!cbfp)
                return OCI_NEED_DATA;
            // Callback mode: the callback refills the buffer until it marks the last piece.
            for (ub1 next = OCI_NEXT_PIECE; next != OCI_LAST_PIECE;) {
                ub4 length = buflen;
                if (cbfp(ctxp, bufp, &length, &next) != OCI_CONTINUE) {
                    locator.writing = false;
                    throw oraFail(24343);
                }
                locator.written.append(in ? in : "", std::min(length, buflen));
            }
        } else if (piece == OCI_NEXT_PIECE || piece == OCI_LAST_PIECE) {
            if (!locator.writing)
                throw oraFail(24801);
            locator.written.append(in ? in : "", buflen);
            if (piece == OCI_NEXT_PIECE)
                return OCI_NEED_DATA;
        } else {
            throw oraFail(24801);
        }
        locator.writing = false;
        const std::string data = std::move(locator.written);
        locator.written.clear();
        storeValue(&service, locator,
            spliced(currentValue(&service, locator), locator.writeOffset, data, locator.ref.kind));
        *amtp = static_cast<ub4>(data.size());
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobTrim(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 newlen)
{
    return lobCall(svchp, errhp, locp, [&](SvcCtxHandle &service, LobLocator &locator) {
        std::string value = currentValue(&service, locator);
        if (newlen > value.size())
            throw oraFail(22926);
        value.resize(newlen);
        storeValue(&service, locator, value);
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobGetLength(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp)
{
    if (!lenp)
        return OCI_INVALID_HANDLE;
    return lobCall(svchp, errhp, locp, [&](SvcCtxHandle &service, LobLocator &locator) {
        // A BFILE's length is known without opening it.
        const bool file = locator.initialized && !locator.temporary
            && locator.ref.kind == engine::BufferType::Bfile;
        *lenp = static_cast<ub4>(
            file ? engine::readBfile(locator.ref).size() : currentValue(&service, locator).size());
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobLocatorIsInit(
    OCIEnv *, OCIError *errhp, const OCILobLocator *locp, boolean *is_initialized)
{
    LobLocator *locator = lobLocatorOf(locp);
    if (!locator || !is_initialized)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    *is_initialized = locator->initialized ? 1 : 0;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2,
    ub1, ub1 lobtype, boolean, OCIDuration)
{
    return lobCall(svchp, errhp, locp, [&](SvcCtxHandle &service, LobLocator &locator) {
        sessionOf(&service);
        if (locator.type != OCI_DTYPE_LOB || (lobtype != 1 && lobtype != 2))
            throw oraFail(24801);
        locator.ref = {};
        locator.ref.kind = lobtype == 2 ? engine::BufferType::Clob : engine::BufferType::Blob;
        locator.temporary = locator.initialized = true;
        locator.temporaryValue.clear();
        locator.writing = locator.reading = false;
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp)
{
    return lobCall(svchp, errhp, locp, [&](SvcCtxHandle &, LobLocator &locator) {
        if (!locator.temporary)
            throw oraFail(22275);
        locator.temporary = locator.initialized = false;
        locator.temporaryValue.clear();
        locator.temporaryValue.shrink_to_fit();
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobIsTemporary(
    OCIEnv *, OCIError *errhp, OCILobLocator *locp, boolean *is_temporary)
{
    LobLocator *locator = lobLocatorOf(locp);
    if (!locator || !is_temporary)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    *is_temporary = locator->temporary ? 1 : 0;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCILobFileOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, ub1 mode)
{
    return lobCall(svchp, errhp, filep, [&](SvcCtxHandle &, LobLocator &locator) {
        if (locator.ref.kind != engine::BufferType::Bfile || !locator.initialized)
            throw oraFail(22275);
        if (mode != 1) // files open read-only
            throw oraFail(22286, "FILEOPEN");
        std::ifstream probe(engine::bfilePath(locator.ref), std::ios::binary);
        if (!probe)
            throw oraFail(22288, "FILEOPEN");
        locator.fileOpen = true;
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobFileClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep)
{
    return lobCall(svchp, errhp, filep, [&](SvcCtxHandle &, LobLocator &locator) {
        if (locator.ref.kind != engine::BufferType::Bfile)
            throw oraFail(22275);
        locator.fileOpen = false;
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCILobFileIsOpen(
    OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, boolean *flag)
{
    if (!flag)
        return OCI_INVALID_HANDLE;
    return lobCall(svchp, errhp, filep, [&](SvcCtxHandle &, LobLocator &locator) {
        if (locator.ref.kind != engine::BufferType::Bfile || !locator.initialized)
            throw oraFail(22275);
        *flag = locator.fileOpen ? 1 : 0;
        return OCI_SUCCESS;
    });
}
