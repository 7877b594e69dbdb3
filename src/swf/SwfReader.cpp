#include "swf/SwfReader.h"

#include <zlib.h>

#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include "base/AtomicFile.h"
#include "swf/BitsEngine.h"
#include "swf/ByteStream.h"

namespace kalvane {

namespace {

// Movies larger than this are not ours to combine; it also bounds what a
// damaged or hostile length can make us allocate.
constexpr std::size_t kMaxMovieBytes = 256u << 20;
// A timeline's frame count is a 16-bit field.
constexpr unsigned kMaxFrames = 65535;
// Tags in one movie, sprites' included: each one read costs far more memory
// than its two bytes in the file. Our 1000-frame movies hold about 4000.
constexpr std::size_t kMaxTags = std::size_t{1} << 20;
// Sprites inside sprites. Movies define sprites at their top level (depth
// 1); a tool that nests them stays within a handful.
constexpr std::size_t kMaxSpriteDepth = 64;
// Inflated this much at a time, so the counts above stop a compressed
// movie early.
constexpr std::size_t kInflateChunk = 64u << 10;

std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Reads bit fields most significant first; past the end is an error.
class TBitReader {
 public:
  TBitReader(const std::uint8_t* data, std::size_t size, std::size_t pos)
      : Data(data), Size(size), Pos(pos) {}
  std::uint32_t U(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (Pos >= Size) throw TSwfError("a shape runs past the end of its tag");
      v = (v << 1) | ((Data[Pos] >> (7 - Bit)) & 1u);
      if (++Bit == 8) {
        Bit = 0;
        ++Pos;
      }
    }
    return v;
  }
  std::size_t Align() {
    if (Bit) {
      Bit = 0;
      ++Pos;
    }
    return Pos;
  }
  std::size_t Byte(std::size_t n) {  // skips n whole bytes, returns where they began
    Align();
    const std::size_t at = Pos;
    if (n > Size || Pos > Size - n) throw TSwfError("a shape runs past the end of its tag");
    Pos += n;
    return at;
  }

 private:
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Pos;
  int Bit = 0;
};

void SkipRect(TBitReader& r) {
  const int n = static_cast<int>(r.U(5));
  r.U(4 * n);
  r.Align();
}

void SkipMatrix(TBitReader& r) {
  if (r.U(1)) r.U(2 * static_cast<int>(r.U(5)));
  if (r.U(1)) r.U(2 * static_cast<int>(r.U(5)));
  r.U(2 * static_cast<int>(r.U(5)));
  r.Align();
}

std::size_t ArrayCount(TBitReader& r, const std::uint8_t* d, bool extended) {
  std::size_t n = d[r.Byte(1)];
  if (n == 0xFF && extended) n = U16(&d[r.Byte(2)]);
  return n;
}

// Walks one fill and line style array; calls `bitmap` with the position
// of every bitmap id in it.
template <typename F>
void StyleArrays(TBitReader& r, const std::uint8_t* d, int shape, F&& bitmap) {
  const std::size_t colour = shape >= 3 ? 4 : 3;
  const std::size_t fills = ArrayCount(r, d, shape >= 2);
  for (std::size_t i = 0; i < fills; ++i) {
    const std::uint8_t type = d[r.Byte(1)];
    if (type == 0x00) {
      r.Byte(colour);
    } else if (type == 0x10 || type == 0x12 || type == 0x13) {
      SkipMatrix(r);
      const std::size_t stops = d[r.Byte(1)] & 0x0F;
      r.Byte(stops * (1 + colour));
      if (type == 0x13) r.Byte(2);
    } else if (type >= 0x40 && type <= 0x43) {
      bitmap(r.Byte(2));
      SkipMatrix(r);
    } else {
      throw TSwfError("a shape has a fill style of unknown type " + std::to_string(type));
    }
  }
  const std::size_t lines = ArrayCount(r, d, shape >= 2);
  r.Byte(lines * (2 + colour));
}

// DefineShape 1 to 3: the positions of the bitmap ids its fills use, in
// the first style arrays and in any new ones among the shape records.
std::vector<std::size_t> ShapeBitmapIds(const std::uint8_t* d, std::size_t size, int shape) {
  std::vector<std::size_t> ids;
  TBitReader r(d, size, 2);
  SkipRect(r);
  auto note = [&ids](std::size_t at) { ids.push_back(at); };
  StyleArrays(r, d, shape, note);
  r.Align();
  int fillBits = static_cast<int>(r.U(4)), lineBits = static_cast<int>(r.U(4));
  for (;;) {
    if (r.U(1) == 0) {
      const std::uint32_t flags = r.U(5);
      if (flags == 0) break;
      if (flags & 1) r.U(2 * static_cast<int>(r.U(5)));
      if (flags & 2) r.U(fillBits);
      if (flags & 4) r.U(fillBits);
      if (flags & 8) r.U(lineBits);
      if (flags & 16) {
        StyleArrays(r, d, shape, note);
        r.Align();
        fillBits = static_cast<int>(r.U(4));
        lineBits = static_cast<int>(r.U(4));
      }
    } else if (r.U(1) == 1) {  // straight edge
      const int n = static_cast<int>(r.U(4)) + 2;
      if (r.U(1)) {
        r.U(2 * n);
      } else {
        r.U(1);
        r.U(n);
      }
    } else {  // curve
      r.U(4 * (static_cast<int>(r.U(4)) + 2));
    }
  }
  return ids;
}

// Tags that neither define nor name a character.
bool WithoutCharacters(std::uint16_t code) {
  switch (code) {
    case 0:   // End
    case 1:   // ShowFrame
    case 8:   // JPEGTables
    case 9:   // SetBackgroundColor
    case 12:  // DoAction
    case 18:  // SoundStreamHead
    case 19:  // SoundStreamBlock
    case 24:  // Protect
    case 28:  // RemoveObject2
    case 43:  // FrameLabel
    case 45:  // SoundStreamHead2
    case 58:  // EnableDebugger
    case 64:  // EnableDebugger2
    case 65:  // ScriptLimits
    case 66:  // SetTabIndex
    case 69:  // FileAttributes
    case 77:  // Metadata
    case 86:  // DefineSceneAndFrameLabelData
      return true;
    default:
      return false;
  }
}

// Tags whose only character id is the first two bytes of the body.
bool IdFirstOnly(std::uint16_t code) {
  switch (code) {
    case 4:   // PlaceObject
    case 5:   // RemoveObject
    case 6:   // DefineBits
    case 10:  // DefineFont
    case 13:  // DefineFontInfo
    case 14:  // DefineSound
    case 15:  // StartSound
    case 20:  // DefineBitsLossless
    case 21:  // DefineBitsJPEG2
    case 35:  // DefineBitsJPEG3
    case 36:  // DefineBitsLossless2
    case 48:  // DefineFont2
    case 60:  // DefineVideoStream
    case 62:  // DefineFontInfo2
    case 73:  // DefineFontAlignZones
    case 75:  // DefineFont3
    case 87:  // DefineBinaryData
    case 88:  // DefineFontName
    case 90:  // DefineBitsJPEG4
      return true;
    default:
      return false;
  }
}

std::uint16_t Mapped(const std::vector<std::uint16_t>& map, std::uint16_t id) {
  if (id >= map.size() || map[id] == 0) {
    throw TSwfError("a tag refers to character " + std::to_string(id) +
                    ", which the movie does not define before it");
  }
  return map[id];
}

// Walks a tag sequence and the timelines of the sprites in it, depth first
// and in file order, looking at each tag once and without recursion. It
// goes as far as the bytes at hand allow and goes on when more arrive, so
// a compressed movie is checked while it inflates. Throws TSwfError for a
// tag that runs past its sequence, a sequence without its End tag, sprites
// nested too deep, too many frames in one timeline or too many tags.
class TTagWalker {
 public:
  // The sequence [start, end) of the bytes to come, itself the timeline of
  // `outer` nested sprites (0 for a movie's).
  TTagWalker(std::size_t start, std::size_t end, std::size_t outer = 0) : Pos(start), Outer(outer) {
    Levels.push_back({end, 0});
  }

  // Walks the tags within the first `available` bytes, calling
  // visit(code, body offset, body length, depth) for each but the End
  // tags (depth 0 is the sequence itself, 1 a sprite in it, ...); a
  // body need not have arrived when its tag is visited. True once the
  // sequence's End tag has been reached.
  template <typename F>
  bool Advance(const std::uint8_t* data, std::size_t available, F&& visit) {
    while (!Finished) {
      const TLevel& level = Levels.back();
      const bool sprite = Levels.size() + Outer > 1;
      if (Pos > level.End || level.End - Pos < 2) {
        throw TSwfError(sprite ? "a sprite ends without its End tag"
                               : "the movie ends without its End tag");
      }
      if (available < Pos + 2) return false;
      const std::uint16_t head = U16(data + Pos);
      std::size_t length = head & 0x3F, body = Pos + 2;
      if (length == 0x3F) {
        if (level.End - Pos < 6) throw TSwfError("a tag header runs past the end");
        if (available < Pos + 6) return false;
        length = U32(data + Pos + 2);
        body = Pos + 6;
      }
      if (length > level.End - body) {
        throw TSwfError(sprite ? "a tag runs past the end of its sprite"
                               : "a tag runs past the end of the movie");
      }
      const auto code = static_cast<std::uint16_t>(head >> 6);
      if (code == 0) {
        Pos = level.End;
        Levels.pop_back();
        Finished = Levels.empty();
        continue;
      }
      if (++Tags > kMaxTags) {
        throw TSwfError("the movie holds more than " + std::to_string(kMaxTags) + " tags");
      }
      if (code == 1 && ++Levels.back().Frames > kMaxFrames) {
        throw TSwfError(std::string(sprite ? "a sprite" : "the movie") + " has more than " +
                        std::to_string(kMaxFrames) + " frames");
      }
      visit(code, body, length, Levels.size() - 1);
      Pos = body + length;
      if (code == 39) {
        if (length < 4) throw TSwfError("a sprite is too short");
        if (Levels.size() + Outer > kMaxSpriteDepth) {
          throw TSwfError("sprites are nested more than " + std::to_string(kMaxSpriteDepth) +
                          " deep");
        }
        Levels.push_back({body + length, 0});
        Pos = body + 4;  // past the sprite's id and frame count
      }
    }
    return true;
  }

 private:
  struct TLevel {
    std::size_t End;
    unsigned Frames;
  };
  std::vector<TLevel> Levels;
  std::size_t Pos;
  std::size_t Outer;
  std::size_t Tags = 0;
  bool Finished = false;
};

// Gives the character ids in one tag body their new numbers, in place. A
// sprite's own timeline is left to the caller's walk.
void RenumberBody(std::uint16_t code, std::uint8_t* d, std::size_t size,
                  const std::vector<std::uint16_t>& map) {
  auto at = [&](std::size_t p) {
    if (p + 2 > size) throw TSwfError("a tag is too short for its character id");
    const std::uint16_t id = Mapped(map, U16(d + p));
    d[p] = static_cast<std::uint8_t>(id & 0xFF);
    d[p + 1] = static_cast<std::uint8_t>(id >> 8);
  };
  if (WithoutCharacters(code)) return;
  if (IdFirstOnly(code)) {
    at(0);
    return;
  }
  switch (code) {
    case 2:
    case 22:
    case 32: {
      at(0);
      for (std::size_t p : ShapeBitmapIds(d, size, code == 2 ? 1 : code == 22 ? 2 : 3)) {
        // 65535 is the "no bitmap" id players accept in fills
        if (U16(d + p) != 0xFFFF) at(p);
      }
      return;
    }
    case 26:  // PlaceObject2: the character follows flags and depth
      if (size == 0) throw TSwfError("an empty PlaceObject2 tag");
      if (d[0] & 0x02) at(3);
      return;
    case 39:  // DefineSprite: its id; its timeline is walked by the caller
      at(0);
      return;
    case 56:  // ExportAssets and SymbolClass: count, then (id, name) pairs
    case 76: {
      if (size < 2) throw TSwfError("a symbol list is too short");
      std::size_t p = 2;
      for (std::uint16_t i = 0, n = U16(d); i < n; ++i) {
        if (p + 2 > size) throw TSwfError("a symbol list runs past its tag");
        if (U16(d + p) != 0) at(p);  // 0 is the main timeline
        const std::uint8_t* end = std::find(d + p + 2, d + size, 0);
        if (end == d + size) throw TSwfError("a symbol name runs past its tag");
        p = static_cast<std::size_t>(end - d) + 1;
      }
      return;
    }
    default:
      throw TSwfError("tag " + std::to_string(code) +
                      " is not one whose characters can be renumbered");
  }
}

// Inflates a compressed movie's body: exactly `length` bytes, and the zlib
// stream must then end with a correct checksum. Each piece goes through
// `walker` as it arrives, so a movie of too many tags or frames is refused
// long before the whole of it is inflated.
template <typename F>
std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& bytes, std::size_t length,
                                  F&& arrived) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw TSwfError("cannot start inflating the movie");
  struct TEnd {
    z_stream& Stream;
    ~TEnd() { inflateEnd(&Stream); }
  } end{zs};
  zs.next_in = const_cast<Bytef*>(bytes.data() + 8);
  zs.avail_in = static_cast<uInt>(bytes.size() - 8);
  std::vector<std::uint8_t> body;
  for (;;) {
    const std::size_t have = body.size();
    std::uint8_t beyond = 0;
    if (have < length) {
      const std::size_t piece = std::min(length - have, kInflateChunk);
      body.resize(have + piece);
      zs.next_out = body.data() + have;
      zs.avail_out = static_cast<uInt>(piece);
    } else {  // all there: only the stream's end may follow
      zs.next_out = &beyond;
      zs.avail_out = 1;
    }
    const uInt room = zs.avail_out;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t made = room - zs.avail_out;
    if (have == length && made > 0)
      throw TSwfError("the compressed movie holds more than its header says");
    body.resize(have + made);
    if (made > 0) arrived(body);
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR) throw TSwfError("the compressed movie is cut short");
    if (rc != Z_OK) throw TSwfError("the compressed movie is damaged");
  }
  return body;
}

}  // namespace

std::vector<TSwfTag> ParseTags(const std::uint8_t* data, std::size_t size) {
  std::vector<TSwfTag> tags;
  TTagWalker walker(0, size);
  walker.Advance(data, size,
                 [&](std::uint16_t code, std::size_t at, std::size_t length, std::size_t depth) {
                   if (depth == 0) tags.push_back({code, {data + at, data + at + length}});
                 });
  return tags;
}

void AppendTag(std::vector<std::uint8_t>& out, std::uint16_t code,
               const std::vector<std::uint8_t>& body) {
  // Bitmaps always take the long header, as players expect of them.
  const bool bitmap = code == 6 || code == 20 || code == 21 || code == 35 || code == 36;
  const std::uint16_t head = static_cast<std::uint16_t>(
      (code << 6) | (body.size() < 0x3F && !bitmap ? body.size() : 0x3F));
  out.push_back(static_cast<std::uint8_t>(head & 0xFF));
  out.push_back(static_cast<std::uint8_t>(head >> 8));
  if ((head & 0x3F) == 0x3F) {
    const auto n = static_cast<std::uint32_t>(body.size());
    for (int i = 0; i < 4; ++i)
      out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  }
  out.insert(out.end(), body.begin(), body.end());
}

TSwfFile TSwfFile::Parse(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 8 || (bytes[0] != 'F' && bytes[0] != 'C') || bytes[1] != 'W' ||
      bytes[2] != 'S') {
    throw TSwfError("not a Flash movie");
  }
  const std::uint32_t length = U32(&bytes[4]);
  if (length < 8 || length > kMaxMovieBytes) {
    throw TSwfError("the movie's header gives an impossible length of " + std::to_string(length));
  }
  const std::size_t size = length - 8;
  // The tags are walked as the body arrives; the top-level ones are noted
  // and copied out at the end.
  std::optional<TTagWalker> walker;
  std::size_t rect = 0;
  struct TSpan {
    std::uint16_t Code;
    std::size_t At, Length;
  };
  std::vector<TSpan> top;
  const auto walk = [&](const std::vector<std::uint8_t>& body) {
    if (body.empty()) return;
    if (!walker) {
      rect = (5 + 4 * static_cast<std::size_t>(body[0] >> 3) + 7) / 8;
      if (rect + 4 > size) throw TSwfError("the movie ends inside its header");
      walker.emplace(rect + 4, size);
    }
    walker->Advance(body.data(), body.size(),
                    [&](std::uint16_t code, std::size_t at, std::size_t n, std::size_t depth) {
                      if (depth == 0) top.push_back({code, at, n});
                    });
  };
  std::vector<std::uint8_t> body;
  if (bytes[0] == 'F') {
    if (bytes.size() - 8 < size) throw TSwfError("the movie is shorter than its header says");
    body.assign(bytes.begin() + 8, bytes.begin() + 8 + static_cast<std::ptrdiff_t>(size));
    walk(body);
  } else {
    body = Inflate(bytes, size, walk);
    if (body.size() < size) throw TSwfError("the movie is shorter than its header says");
  }
  if (body.empty()) throw TSwfError("the movie has no stage rectangle");
  TSwfFile f;
  f.Version = bytes[3];
  f.FrameRect.assign(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(rect));
  f.FrameRate = U16(&body[rect]);
  f.FrameCount = U16(&body[rect + 2]);
  f.Tags.reserve(top.size());
  for (const TSpan& t : top) {
    const auto from = body.begin() + static_cast<std::ptrdiff_t>(t.At);
    f.Tags.push_back({t.Code, {from, from + static_cast<std::ptrdiff_t>(t.Length)}});
  }
  return f;
}

TSwfFile TSwfFile::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TSwfError(path + ": cannot be opened");
  std::vector<std::uint8_t> bytes;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > kMaxMovieBytes) throw TSwfError(path + ": too large for a movie");
  }
  try {
    return Parse(bytes);
  } catch (const TSwfError& e) {
    throw TSwfError(path + ": " + e.what());
  }
}

TRect32 TSwfFile::Stage() const {
  if (FrameRect.empty()) throw TSwfError("the movie has no stage rectangle");
  TBitReader r(FrameRect.data(), FrameRect.size(), 0);
  const int n = static_cast<int>(r.U(5));
  std::int32_t v[4];
  for (std::int32_t& value : v) {
    const std::uint32_t bits = r.U(n);
    // sign-extend the n-bit value
    value = n > 0 && (bits >> (n - 1)) ? static_cast<std::int32_t>(bits | (~0u << (n - 1)))
                                       : static_cast<std::int32_t>(bits);
  }
  return {v[0], v[2], v[1], v[3]};
}

void TSwfFile::SetStage(const TRect32& twips) {
  TMemoryStream out;
  TBitsEngine be(out);
  be.PutRect(twips.left, twips.top, twips.right, twips.bottom);
  FrameRect = out.Data();
}

std::vector<std::uint8_t> TSwfFile::Bytes() const {
  std::vector<std::uint8_t> out;
  out.reserve(64);
  for (std::uint8_t b : {std::uint8_t{'F'}, std::uint8_t{'W'}, std::uint8_t{'S'}, Version})
    out.push_back(b);
  out.resize(8);  // the length, filled in below
  out.insert(out.end(), FrameRect.begin(), FrameRect.end());
  for (std::uint16_t v : {FrameRate, FrameCount}) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  for (const TSwfTag& tag : Tags)
    AppendTag(out, tag.Code, tag.Body);
  AppendTag(out, 0, {});
  const auto n = static_cast<std::uint32_t>(out.size());
  for (int i = 0; i < 4; ++i)
    out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
  return out;
}

void TSwfFile::Save(const std::string& path) const {
  const std::vector<std::uint8_t> bytes = Bytes();
  TAtomicFile file(path);
  if (!file.Ok()) throw TSwfError(file.Error());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file.Handle(), bytes.data() + done, bytes.size() - done);
    if (n <= 0) throw TSwfError(path + ": cannot be written: " + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
  if (!file.Commit()) throw TSwfError(file.Error());
}

TPlacement ReadPlaceObject2(const TSwfTag& tag) {
  const std::vector<std::uint8_t>& d = tag.Body;
  if (tag.Code != 26 || d.size() < 3) throw TSwfError("not a PlaceObject2 tag");
  const std::uint8_t flags = d[0];
  TPlacement placed;
  placed.Depth = U16(&d[1]);
  TBitReader r(d.data(), d.size(), 3);
  if (flags & 0x02) placed.Character = U16(&d[r.Byte(2)]);
  if (flags & 0x04) SkipMatrix(r);
  if (flags & 0x08) {  // colour transform with alpha
    const bool add = r.U(1), multiply = r.U(1);
    const int n = static_cast<int>(r.U(4));
    r.U((add ? 4 * n : 0) + (multiply ? 4 * n : 0));
    r.Align();
  }
  if (flags & 0x10) r.Byte(2);  // ratio
  if (flags & 0x20) {
    const std::size_t start = r.Byte(0);
    const auto end = std::find(d.begin() + static_cast<std::ptrdiff_t>(start), d.end(), 0);
    if (end == d.end()) throw TSwfError("an instance name runs past its tag");
    placed.Name.assign(d.begin() + static_cast<std::ptrdiff_t>(start), end);
  }
  return placed;
}

std::uint16_t DefinedCharacter(const TSwfTag& tag) {
  if (tag.Body.size() < 2) return 0;
  switch (tag.Code) {
    case 4:
    case 5:
    case 13:
    case 15:
    case 62:
    case 73:
    case 88:
      return 0;  // these name a character defined elsewhere
    case 2:
    case 22:
    case 32:
    case 39:
      return U16(tag.Body.data());
    default:
      return IdFirstOnly(tag.Code) ? U16(tag.Body.data()) : 0;
  }
}

void RenumberCharacters(TSwfTag& tag, const std::vector<std::uint16_t>& map) {
  std::uint8_t* d = tag.Body.data();
  RenumberBody(tag.Code, d, tag.Body.size(), map);
  if (tag.Code != 39) return;
  if (tag.Body.size() < 4) throw TSwfError("a sprite is too short");
  // A sprite's timeline, nested sprites' included, in place: ids keep
  // their size, so no tag moves.
  TTagWalker walker(4, tag.Body.size(), 1);
  walker.Advance(d, tag.Body.size(),
                 [&](std::uint16_t code, std::size_t at, std::size_t length, std::size_t) {
                   RenumberBody(code, d + at, length, map);
                 });
}

}  // namespace kalvane
