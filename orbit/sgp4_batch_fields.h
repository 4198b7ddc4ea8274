#pragma once

// The per-set values batch propagation reads, laid out as structure of arrays (field f of slot s
// at f * stride + s), and the block its results go to. Used only by orbit/sgp4_batch.cpp.

#include "orbit/element_set.h"

#include <cstddef>

namespace orbit_batch {

// Lanes of the widest register any path uses, with room to spare: one set's values repeated
// across a register, and the stack buffers of one block.
constexpr std::size_t kMaxLanes = 16;

// One block's results, row per quantity: rx ry rz vx vy vz error.
struct Block {
    alignas(64) double row[7][kMaxLanes];
};

// Near-Earth sets. Products the scalar code forms first (bstar cc4, bstar cc5) are stored formed.
enum Field {
    kJdEpoch,
    kMo,
    kMdot,
    kArgpo,
    kArgpdot,
    kNodeo,
    kNodedot,
    kNodecf,
    kCc1,
    kBc4,
    kT2cof,
    kFull, // 1: the full drag terms (isimp 0), 0: simplified
    kOmgcof,
    kXmcof,
    kEta,
    kDelmo,
    kD2,
    kD3,
    kD4,
    kBc5,
    kSinmao,
    kT3cof,
    kT4cof,
    kT5cof,
    kNo,
    kEcco,
    kAofno,
    kAycof,
    kXlcof,
    kCon41,
    kX1mth2,
    kX7thm1,
    kSinio,
    kCosio,
    kFieldCount
};

// Deep-space sets: the secular terms the near-Earth ones share (their drag is always the
// simplified one), the lunar-solar rates and periodic coefficients, the resonance's, and last
// the integrator's state, the only values propagation writes.
enum DeepField {
    kDJdEpoch,
    kDMo,
    kDMdot,
    kDArgpo,
    kDArgpdot,
    kDNodeo,
    kDNodedot,
    kDNodecf,
    kDCc1,
    kDBc4,
    kDT2cof,
    kDNo,
    kDEcco,
    kDAofno,
    kDInclo,
    kDAfspc, // 1: operation mode 'a'
    kDDedt,
    kDDidt,
    kDDomdt,
    kDDnodt,
    kDDmdt,
    // Resonance.
    kDGsto,
    kDXlamo,
    kDXfact,
    kDDel1,
    kDDel2,
    kDDel3,
    kDD2201,
    kDD2211,
    kDD3210,
    kDD3222,
    kDD4410,
    kDD4422,
    kDD5220,
    kDD5232,
    kDD5421,
    kDD5433,
    // Lunar-solar periodics: Sun, then Moon.
    kDZmos,
    kDSe2,
    kDSe3,
    kDSi2,
    kDSi3,
    kDSl2,
    kDSl3,
    kDSl4,
    kDSgh2,
    kDSgh3,
    kDSgh4,
    kDSh2,
    kDSh3,
    kDZmol,
    kDEe2,
    kDE3,
    kDXi2,
    kDXi3,
    kDXl2,
    kDXl3,
    kDXl4,
    kDXgh2,
    kDXgh3,
    kDXgh4,
    kDXh2,
    kDXh3,
    // The resonance integrator's state, carried from call to call.
    kDAtime,
    kDXli,
    kDXni,
    kDeepFieldCount
};

inline void fieldsOf(const ElementSet& s, double* f, std::size_t stride) {
    const double values[] = {s.jdsatepoch, s.mo,
                             s.mdot,       s.argpo,
                             s.argpdot,    s.nodeo,
                             s.nodedot,    s.nodecf,
                             s.cc1,        s.bstar * s.cc4,
                             s.t2cof,      s.isimp != 1 ? 1.0 : 0.0,
                             s.omgcof,     s.xmcof,
                             s.eta,        s.delmo,
                             s.d2,         s.d3,
                             s.d4,         s.bstar * s.cc5,
                             s.sinmao,     s.t3cof,
                             s.t4cof,      s.t5cof,
                             s.no,         s.ecco,
                             s.aofno,      s.aycof,
                             s.xlcof,      s.con41,
                             s.x1mth2,     s.x7thm1,
                             s.sinio,      s.cosio};
    static_assert(sizeof values / sizeof *values == kFieldCount, "a value per field");
    for (std::size_t k = 0; k < kFieldCount; ++k)
        f[k * stride] = values[k];
}

inline void deepFieldsOf(const ElementSet& s, double* f, std::size_t stride) {
    const double values[] = {s.jdsatepoch, s.mo,
                             s.mdot,       s.argpo,
                             s.argpdot,    s.nodeo,
                             s.nodedot,    s.nodecf,
                             s.cc1,        s.bstar * s.cc4,
                             s.t2cof,      s.no,
                             s.ecco,       s.aofno,
                             s.inclo,      s.operationmode == 'a' ? 1.0 : 0.0,
                             s.dedt,       s.didt,
                             s.domdt,      s.dnodt,
                             s.dmdt,       s.gsto,
                             s.xlamo,      s.xfact,
                             s.del1,       s.del2,
                             s.del3,       s.d2201,
                             s.d2211,      s.d3210,
                             s.d3222,      s.d4410,
                             s.d4422,      s.d5220,
                             s.d5232,      s.d5421,
                             s.d5433,      s.zmos,
                             s.se2,        s.se3,
                             s.si2,        s.si3,
                             s.sl2,        s.sl3,
                             s.sl4,        s.sgh2,
                             s.sgh3,       s.sgh4,
                             s.sh2,        s.sh3,
                             s.zmol,       s.ee2,
                             s.e3,         s.xi2,
                             s.xi3,        s.xl2,
                             s.xl3,        s.xl4,
                             s.xgh2,       s.xgh3,
                             s.xgh4,       s.xh2,
                             s.xh3,        s.atime,
                             s.xli,        s.xni};
    static_assert(sizeof values / sizeof *values == kDeepFieldCount, "a value per field");
    for (std::size_t k = 0; k < kDeepFieldCount; ++k)
        f[k * stride] = values[k];
}

} // namespace orbit_batch
