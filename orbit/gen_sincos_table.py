from decimal import Decimal as D, getcontext
import struct
import sys
getcontext().prec = 80
PI = D("3.14159265358979323846264338327950288419716939937510582097494459230781640628620899863")
def sin_cos(x):
    s = D(0); term = x; n = 1
    while abs(term) > D(10) ** -75:
        s += term; term = -term * x * x / ((n + 1) * (n + 2)); n += 2
    c = D(0); term = D(1); n = 0
    while abs(term) > D(10) ** -75:
        c += term; term = -term * x * x / ((n + 1) * (n + 2)); n += 2
    return s, c
def hexf(v): return float(v).hex()
def trunc_bits(v, bits):
    f = float(v); b = struct.unpack('<Q', struct.pack('<d', f))[0]
    b &= ~((1 << (52 - (bits - 1))) - 1)
    return struct.unpack('<d', struct.pack('<Q', b))[0]
N = 128
step = 2 * PI / N
c1 = trunc_bits(step, 33); c2 = trunc_bits(step - D(c1), 33); c3 = float(step - D(c1) - D(c2))
print("C1", c1.hex(), "C2", c2.hex(), "C3", c3.hex(), "inv", float(1 / step).hex())
rows = []
for j in range(N):
    s, c = sin_cos(step * j)
    if abs(s) < D(10)**-60: s = D(0)
    if abs(c) < D(10)**-60: c = D(0)
    sh = float(s); sl = float(s - D(sh)); ch = float(c); cl = float(c - D(ch))
    sl = 0.0 if abs(sl) < 1e-60 else sl; cl = 0.0 if abs(cl) < 1e-60 else cl
    rows.append("    {%s, %s, %s, %s}," % (sh.hex(), sl.hex(), ch.hex(), cl.hex()))
open(sys.argv[1] if len(sys.argv) > 1 else 'table.txt', 'w').write("\n".join(rows) + "\n")
print(rows[0]); print(rows[16]); print(rows[1])
