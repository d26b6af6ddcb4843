#pragma once

// Marks the C entry points that the library exports; everything else stays hidden.
#define QDSI_EXPORT extern "C" __attribute__((visibility("default")))
