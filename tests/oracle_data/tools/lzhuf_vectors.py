#!/usr/bin/env python3
"""Second, independent transcription of the BLOB compressor, used to produce the reference
vectors embedded in tests/oracle_data/OracleCompressTest.cpp.

It is written from the description of the format, not from the C++ code, and in a different
style (bit strings, list insertion), so that the C++ coder is checked against more than itself.

Regenerate the vectors with:

    python3 tests/oracle_data/tools/lzhuf_vectors.py

and paste its output over the table in OracleCompressTest.cpp (kReferenceVectors).
"""

import hashlib
import struct

N = 4096            # ring size
F = 60              # look-ahead, longest match
THRESHOLD = 2
N_CHAR = 256 - THRESHOLD + F    # 314 symbols
T = 2 * N_CHAR - 1              # 627 tree nodes
ROOT = T - 1
MAX_FREQ = 0x8000
NIL = N
MAGIC = struct.pack("<II", 0x38A60091, 0x1BCCB788)

# Position prefix code: how many codes of each length, 3 bits to 8 bits, canonical order.
CODE_COUNTS = [(3, 1), (4, 3), (5, 8), (6, 12), (7, 24), (8, 16)]


def position_codes():
    """Returns the 64 (bit string) codes for the upper 6 bits of a match position."""
    codes = []
    value, length = 0, 3
    for bits, count in CODE_COUNTS:
        value <<= bits - length
        length = bits
        for _ in range(count):
            codes.append(format(value, "0%db" % bits))
            value += 1
    assert len(codes) == 64
    return codes


POSITION_CODES = position_codes()


class Huffman:
    def __init__(self):
        self.freq = [0] * (T + 1)
        self.parent = [0] * (T + N_CHAR)
        self.son = [0] * T
        for sym in range(N_CHAR):
            self.freq[sym] = 1
            self.son[sym] = sym + T
            self.parent[sym + T] = sym
        i = 0
        for node in range(N_CHAR, T):
            self.freq[node] = self.freq[i] + self.freq[i + 1]
            self.son[node] = i
            self.parent[i] = node
            self.parent[i + 1] = node
            i += 2
        self.freq[T] = 0xFFFF
        self.parent[ROOT] = 0

    def rebuild(self):
        freq = []
        son = []
        for node in range(T):
            if self.son[node] >= T:
                freq.append((self.freq[node] + 1) // 2)
                son.append(self.son[node])
        pair = 0
        while len(freq) < T:
            total = freq[pair] + freq[pair + 1]
            at = len(freq)
            while freq[at - 1] > total:
                at -= 1
            freq.insert(at, total)
            son.insert(at, pair)
            pair += 2
        self.freq = freq + [0xFFFF]
        self.son = son
        for node in range(T):
            child = son[node]
            self.parent[child] = node
            if child < T:
                self.parent[child + 1] = node

    def update(self, sym):
        if self.freq[ROOT] == MAX_FREQ:
            self.rebuild()
        freq, son, parent = self.freq, self.son, self.parent
        node = parent[sym + T]
        while True:
            freq[node] += 1
            f = freq[node]
            if f > freq[node + 1]:
                last = node + 1
                while f > freq[last + 1]:
                    last += 1
                freq[node], freq[last] = freq[last], f
                a, b = son[node], son[last]
                son[node], son[last] = b, a
                parent[a] = last
                if a < T:
                    parent[a + 1] = last
                parent[b] = node
                if b < T:
                    parent[b + 1] = node
                node = last
            node = parent[node]
            if node == 0:
                break

    def code(self, sym):
        bits = []
        node = self.parent[sym + T]
        while node != ROOT:
            bits.append("1" if node % 2 else "0")
            node = self.parent[node]
        return "".join(reversed(bits))

    def decode(self, next_bit):
        node = self.son[ROOT]
        while node < T:
            node = self.son[node + next_bit()]
        return node - T


class Trees:
    """One binary search tree of ring strings per first byte."""

    def __init__(self, text):
        self.text = text
        self.left = [NIL] * (N + 1)
        self.right = [NIL] * (N + 257)
        self.up = [NIL] * (N + 1)
        self.length = 0
        self.position = 0

    def insert(self, r):
        text, left, right, up = self.text, self.left, self.right, self.up
        node = N + 1 + text[r]
        left[r] = right[r] = NIL
        self.length = 0
        go_right = True
        while True:
            branch = right if go_right else left
            if branch[node] == NIL:
                branch[node] = r
                up[r] = node
                return
            node = branch[node]
            same = 1
            while same < F and text[r + same] == text[node + same]:
                same += 1
            if same < F:
                go_right = text[r + same] > text[node + same]
            if same >= 3:
                distance = ((r - node) % N) - 1
                if same > self.length:
                    self.length, self.position = same, distance
                    if same == F:
                        break
                elif same == self.length and distance < self.position:
                    self.position = distance
        # replace node by r
        up[r], left[r], right[r] = up[node], left[node], right[node]
        up[left[node]] = r
        up[right[node]] = r
        parent = up[node]
        if right[parent] == node:
            right[parent] = r
        else:
            left[parent] = r
        up[node] = NIL

    def delete(self, p):
        left, right, up = self.left, self.right, self.up
        if up[p] == NIL:
            return
        if right[p] == NIL:
            q = left[p]
        elif left[p] == NIL:
            q = right[p]
        else:
            # the predecessor takes p's place
            q = left[p]
            if right[q] != NIL:
                while right[q] != NIL:
                    q = right[q]
                right[up[q]] = left[q]
                up[left[q]] = up[q]
                left[q] = left[p]
                up[left[p]] = q
            right[q] = right[p]
            up[right[p]] = q
        up[q] = up[p]
        parent = up[p]
        if right[parent] == p:
            right[parent] = q
        else:
            left[parent] = q
        up[p] = NIL


def compress(data):
    """Returns the whole container: magic words, length, code stream."""
    out = MAGIC + struct.pack("<I", len(data))
    if not data:
        return out
    huff = Huffman()
    text = bytearray(N + F - 1)
    for i in range(N - F):
        text[i] = 0x20
    trees = Trees(text)
    bits = []
    src = iter(data)

    s, r = 0, N - F
    ahead = 0
    for byte in data[:F]:
        text[r + ahead] = byte
        ahead += 1
    for _ in range(ahead):
        next(src)
    for back in range(1, F + 1):
        trees.insert(r - back)
    trees.insert(r)

    def emit(sym):
        bits.append(huff.code(sym))
        huff.update(sym)

    while ahead > 0:
        length = min(trees.length, ahead)
        if length <= THRESHOLD:
            length = 1
            emit(text[r])
        else:
            emit(length + 253)
            pos = trees.position
            bits.append(POSITION_CODES[pos >> 6])
            bits.append(format(pos & 0x3F, "06b"))
        done = 0
        for byte in src:
            trees.delete(s)
            text[s] = byte
            if s < F - 1:
                text[s + N] = byte
            s = (s + 1) % N
            r = (r + 1) % N
            trees.insert(r)
            done += 1
            if done == length:
                break
        while done < length:
            trees.delete(s)
            s = (s + 1) % N
            r = (r + 1) % N
            ahead -= 1
            if ahead:
                trees.insert(r)
            done += 1

    stream = "".join(bits)
    stream += "0" * (-len(stream) % 8)
    return out + bytes(int(stream[i:i + 8], 2) for i in range(0, len(stream), 8))


def decompress(container):
    assert container[:8] == MAGIC
    (length,) = struct.unpack("<I", container[8:12])
    stream = "".join(format(b, "08b") for b in container[12:])
    cursor = [0]

    def next_bit():
        i = cursor[0]
        cursor[0] += 1
        return int(stream[i]) if i < len(stream) else 0

    decode_table = {code: i for i, code in enumerate(POSITION_CODES)}
    huff = Huffman()
    ring = bytearray(N)
    for i in range(N - F):
        ring[i] = 0x20
    r = N - F
    out = bytearray()
    while len(out) < length:
        sym = huff.decode(next_bit)
        huff.update(sym)
        if sym < 256:
            out.append(sym)
            ring[r] = sym
            r = (r + 1) % N
            continue
        prefix = ""
        while prefix not in decode_table:
            prefix += str(next_bit())
        pos = (decode_table[prefix] << 6) | int("".join(str(next_bit()) for _ in range(6)), 2)
        start = (r - pos - 1) % N
        for k in range(sym - 253):
            b = ring[(start + k) % N]
            out.append(b)
            ring[r] = b
            r = (r + 1) % N
    return bytes(out)


def lcg_bytes(count, seed):
    """Deterministic pseudo-random bytes, reproduced by the C++ test."""
    out = bytearray()
    x = seed
    for _ in range(count):
        x = (x * 1103515245 + 12345) % (1 << 31)
        out.append((x >> 16) & 0xFF)
    return bytes(out)


def lcg_text(count, seed):
    """Deterministic words from a small vocabulary, reproduced by the C++ test."""
    words = [b"select ", b"from ", b"where ", b"dept ", b"emp ", b"ename, ", b"sal ", b"= ",
             b"and ", b"order by ", b"1000 ", b"\n"]
    out = bytearray()
    x = seed
    while len(out) < count:
        x = (x * 1103515245 + 12345) % (1 << 31)
        out += words[(x >> 16) % len(words)]
    return bytes(out[:count])


SMALL = [
    ("one byte", b"A"),
    ("abracadabra", b"abracadabra abracadabra abracadabra"),
    ("61 counting bytes", bytes(range(61))),
    ("spaces then text", b" " * 70 + b"x"),
    ("squares mod 251", bytes((i * i) % 251 for i in range(300))),
]

LARGE = [
    # past the ring and the rebuild of the Huffman tree at 0x8000
    ("random 40000 then text 30000", lcg_bytes(40000, 7) + lcg_text(30000, 11)),
    ("text 9000", lcg_text(9000, 3)),
]


def main():
    print("// Generated by tests/oracle_data/tools/lzhuf_vectors.py; do not edit by hand.")
    for name, data in SMALL:
        packed = compress(data)
        assert decompress(packed) == data
        print('    {"%s", "%s"},' % (name, packed.hex()))
    for name, data in LARGE:
        packed = compress(data)
        assert decompress(packed) == data
        print('    {"%s", %d, "%s"},' % (name, len(packed), hashlib.sha256(packed).hexdigest()))


if __name__ == "__main__":
    main()
