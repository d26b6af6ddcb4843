#pragma once

#include <QtGlobal>

namespace qd::blowfish {

// The cipher's published initial P-array and S-boxes, copied into every context by the key
// schedule.
extern const quint32 InitialP[18];
extern const quint32 InitialS[4][256];

} // namespace qd::blowfish
