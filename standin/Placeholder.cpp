#include "Export.h"

// Version of the stand-in library, so that a loader can tell it apart from a real client.
QDSI_EXPORT const char *qdsi_version() { return "qdstandin 0"; }
