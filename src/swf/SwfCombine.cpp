#include "swf/SwfCombine.h"

#include <algorithm>
#include <map>

#include "swf/ByteStream.h"

namespace kalvane {

namespace {

// The sprite the master places under `name`, following the depths for a
// placement that only names what a depth already holds.
std::uint16_t NamedSprite(const TSwfFile& master, const std::string& name) {
  std::map<std::uint16_t, std::uint16_t> depths;
  for (const TSwfTag& tag : master.Tags) {
    if (tag.Code != 26) continue;
    const TPlacement placed = ReadPlaceObject2(tag);
    if (placed.Character) depths[placed.Depth] = placed.Character;
    if (placed.Name == name) return depths[placed.Depth];
  }
  throw TSwfError("the movie places nothing under the name " + name);
}

// Tags of a movie's own top level that have no place inside a sprite.
bool TopLevelOnly(std::uint16_t code) {
  return code == 9 || code == 24 || code == 56 || code == 58 || code == 64 || code == 65 ||
         code == 69 || code == 76 || code == 77 || code == 86;
}

bool AllowedInSprite(std::uint16_t code) {
  return code == 1 || code == 4 || code == 5 || code == 12 || code == 15 || code == 18 ||
         code == 19 || code == 26 || code == 28 || code == 43 || code == 45;
}

std::uint16_t HighestId(const std::vector<TSwfTag>& tags) {
  std::uint16_t highest = 0;
  for (const TSwfTag& tag : tags)
    highest = std::max(highest, DefinedCharacter(tag));
  return highest;
}

// The DefineSprite tag of what `movie` places under `name`.
std::vector<TSwfTag>::const_iterator PlacedSprite(const TSwfFile& movie, const std::string& name) {
  const std::uint16_t sprite = NamedSprite(movie, name);
  const auto found = std::find_if(movie.Tags.begin(), movie.Tags.end(), [&](const TSwfTag& t) {
    return t.Code == 39 && DefinedCharacter(t) == sprite;
  });
  if (found == movie.Tags.end())
    throw TSwfError("what the movie places as " + name + " is not a sprite");
  return found;
}

}  // namespace

unsigned SpriteFrames(const TSwfFile& movie, const std::string& name) {
  const TSwfTag& sprite = *PlacedSprite(movie, name);
  if (sprite.Body.size() < 4) throw TSwfError("a sprite is too short");
  unsigned shown = 0;
  for (const TSwfTag& tag : ParseTags(sprite.Body.data() + 4, sprite.Body.size() - 4))
    shown += tag.Code == 1;
  const unsigned declared = sprite.Body[2] | (sprite.Body[3] << 8);
  if (shown != declared) {
    throw TSwfError("the sprite " + name + " declares " + std::to_string(declared) +
                    " frames but shows " + std::to_string(shown));
  }
  return shown;
}

TSwfFile CombineIntoSprite(const TSwfFile& master, const std::string& name, const TSwfFile& slave) {
  const auto target = PlacedSprite(master, name);
  const std::uint16_t sprite = DefinedCharacter(*target);

  // New ids for the slave's characters, above every id of the master.
  std::vector<std::uint16_t> map(65536, 0);
  unsigned next = HighestId(master.Tags) + 1u;
  for (const TSwfTag& tag : slave.Tags) {
    if (const std::uint16_t id = DefinedCharacter(tag)) {
      if (map[id]) throw TSwfError("the movie defines character " + std::to_string(id) + " twice");
      if (next > 65535) throw TSwfError("the two movies have more characters than a movie holds");
      map[id] = static_cast<std::uint16_t>(next++);
    }
  }
  std::vector<TSwfTag> definitions;
  TSwfTag timeline{39, {}};
  timeline.Body = {static_cast<std::uint8_t>(sprite & 0xFF), static_cast<std::uint8_t>(sprite >> 8),
                   0, 0};
  unsigned frames = 0;
  for (TSwfTag tag : slave.Tags) {
    if (TopLevelOnly(tag.Code)) continue;
    if (tag.Code == 8) {
      throw TSwfError("the inserted movie shares JPEG tables, which a combined movie cannot hold");
    }
    RenumberCharacters(tag, map);
    if (DefinedCharacter(tag)) {
      definitions.push_back(std::move(tag));
    } else if (AllowedInSprite(tag.Code)) {
      frames += tag.Code == 1;
      AppendTag(timeline.Body, tag.Code, tag.Body);
    } else {
      throw TSwfError("tag " + std::to_string(tag.Code) +
                      " of the inserted movie has no place in a sprite");
    }
  }
  if (frames > 65535) throw TSwfError("the inserted movie has too many frames");
  timeline.Body[2] = static_cast<std::uint8_t>(frames & 0xFF);
  timeline.Body[3] = static_cast<std::uint8_t>(frames >> 8);
  AppendTag(timeline.Body, 0, {});

  TSwfFile out = master;
  out.Version = std::max(master.Version, slave.Version);
  out.Tags.clear();
  for (auto it = master.Tags.begin(); it != master.Tags.end(); ++it) {
    if (it == target) {
      std::move(definitions.begin(), definitions.end(), std::back_inserter(out.Tags));
      out.Tags.push_back(timeline);
    } else {
      out.Tags.push_back(*it);
    }
  }
  return out;
}

}  // namespace kalvane
