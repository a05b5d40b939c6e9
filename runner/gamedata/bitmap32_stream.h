#pragma once
// The stream record of a CBitmap32: int version 540; bool exists; when it
// exists int width, int height and a compressed block inflating to
// width * height little-endian pixels.
#include "gamedata/cstream.h"
#include "image/bitmap32.h"

namespace kx {

inline constexpr int32_t kBitmap32RecordVersion = 540;

// Another version reads nothing more and gives a non-existing image. A record
// whose sizes are negative or too large, or whose pixel block does not inflate
// to exactly the stated size, throws StreamError like any corrupt data.
CBitmap32 read_bitmap32_record(CStream& s);
void write_bitmap32_record(CStream& s, const CBitmap32& image);

}  // namespace kx
