#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/SWFRecords.h"

namespace kalvane {

// One tag as stored: its code and body bytes.
struct TSwfTag {
  std::uint16_t Code = 0;
  std::vector<std::uint8_t> Body;
};

// A movie read back into its header values and its top-level tags (the End
// tag is not kept; writing adds it). Enough to take movies apart and put
// them together again without understanding every tag.
struct TSwfFile {
  std::uint8_t Version = 6;
  std::vector<std::uint8_t> FrameRect;  // the stage rectangle as stored
  std::uint16_t FrameRate = 0;          // 8.8 fixed point
  std::uint16_t FrameCount = 0;
  std::vector<TSwfTag> Tags;

  // The stage rectangle in twips; throws TSwfError when FrameRect is cut short.
  TRect32 Stage() const;
  void SetStage(const TRect32& twips);

  // Throws TSwfError saying what is wrong: not a movie, damaged, too large.
  static TSwfFile Read(const std::string& path);
  static TSwfFile Parse(const std::vector<std::uint8_t>& bytes);
  // An uncompressed movie ("FWS"), End tag added.
  std::vector<std::uint8_t> Bytes() const;
  // Written whole or not at all (see TAtomicFile); throws TSwfError.
  void Save(const std::string& path) const;
};

// Splits a tag sequence (a sprite's body after its id and frame count, or a
// movie's body) up to its End tag. Throws TSwfError when a tag runs past
// the end.
std::vector<TSwfTag> ParseTags(const std::uint8_t* data, std::size_t size);
// Appends a tag with its short or long header.
void AppendTag(std::vector<std::uint8_t>& out, std::uint16_t code,
               const std::vector<std::uint8_t>& body);

// What a PlaceObject2 tag places: the character (0 when it moves what the
// depth holds) and the instance name (empty when none). Throws TSwfError
// for a damaged tag.
struct TPlacement {
  std::uint16_t Depth = 0;
  std::uint16_t Character = 0;
  std::string Name;
};
TPlacement ReadPlaceObject2(const TSwfTag& tag);

// Character ids: the id a tag defines (0 for none), and every id a tag
// defines or refers to, rewritten through `map` (old id -> new id). Throws
// TSwfError for a tag that refers to characters in a way not understood,
// so a movie is never combined with ids left pointing at the wrong thing.
std::uint16_t DefinedCharacter(const TSwfTag& tag);
void RenumberCharacters(TSwfTag& tag, const std::vector<std::uint16_t>& map);

}  // namespace kalvane
