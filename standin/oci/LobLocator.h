#pragma once

// The LOB locator descriptor (CLOB and BLOB: OCI_DTYPE_LOB; BFILE: OCI_DTYPE_FILE): where the
// value lives, or the value itself for a temporary LOB, and the state of piecewise transfers.

#include "engine/Lobs.h"
#include "oci/Handles.h"

namespace qdsi::oci {

struct LobLocator : Handle {
    explicit LobLocator(ub4 descriptorType)
        : Handle(descriptorType)
    {
    }
    bool initialized = false;
    engine::LobRef ref;
    bool temporary = false;
    std::string temporaryValue;
    bool fileOpen = false;
    // Streamed write without a callback: the pieces so far and where they go.
    bool writing = false;
    ub4 writeOffset = 0;
    std::string written;
    // Read of more than one buffer without a callback: where the next call goes on.
    bool reading = false;
    size_t readNext = 0, readEnd = 0;
};

Handle *newLobLocator(ub4 descriptorType);

// The locator behind a pointer given as either descriptor type, else nullptr.
LobLocator *lobLocatorOf(const void *pointer);

} // namespace qdsi::oci
