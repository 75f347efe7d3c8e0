#pragma once

#include <QString>

namespace quillon {

// Screen form of one cell's bytes. Converting through iconv for every cell
// of every page would dominate drawing, so the table of all two-byte codes
// is built once, at first use, from the program's codec, and looked up after.
// A code that the codec rejects shows as the replacement character.

// The UTF-16 form (at most two units) of the two-byte code lead·trail.
QStringView GbkPairText(unsigned char lead, unsigned char trail);

// The UTF-16 form of a single byte (ASCII as itself; a lone byte above 0x7F,
// which only a truncated text can hold, as the replacement character).
QStringView GbkByteText(unsigned char byte);

}  // namespace quillon
