// Record-header varints and serial types of the SQLite 3 file format, read from raw
// bytes without SQLite.
//
// A varint is 1 to 9 bytes, big-endian. Each of the first eight bytes with the top bit
// set (0x80..0xFF) continues it and gives its low 7 bits; the first byte below 0x80
// ends it with its 7 bits; a ninth byte ends it whatever its value and gives all 8.
//   82 2C          -> (0x02 << 7) | 0x2C = 300, 2 bytes
//   80 x8, then 01 -> 1, 9 bytes
//
// Serial types and their content sizes (N is the varint's value):
//   0 NULL ........................ 0      7 IEEE 754 double, big-endian ... 8
//   1..4 big-endian integer ....... N      8, 9 the integers 0 and 1 ....... 0
//   5 six-byte integer ............ 6      10, 11 reserved ................ -1
//   6 eight-byte integer .......... 8      even N >= 12 BLOB ......... (N-12)/2
//                                          odd N >= 13 text .......... (N-13)/2
// The subtraction and halving run on the full 64-bit value and the size is its low 32
// bits, so a value too large for 32 bits may give a negative or a small size.
#pragma once

#include <cstdint>

// The content size of serial type `serialType` (the whole varint value), as above.
std::int32_t SerialTypeContentSize(std::uint64_t serialType);

// Reads the varint that starts at `bytes` (at most nine bytes are read) and returns its
// value. When given, *length receives its length in bytes (1 to 9) and *contentSize the
// content size of the value taken as a serial type. A null out-pointer is not written.
// Every byte sequence starts a varint; there is no failure.
std::uint64_t ReadVarint(const unsigned char* bytes, std::int32_t* length,
                         std::int32_t* contentSize);
