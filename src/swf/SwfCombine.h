#pragma once

#include <string>

#include "swf/SwfReader.h"

namespace kalvane {

// The master movie with the slave movie's timeline as the timeline of the
// sprite the master places under the instance name `name` (what it held
// before is replaced). The slave's characters are defined before that
// sprite under new ids above the master's, so nothing collides; the
// stage, rate and frames of the master stay. Throws TSwfError naming what
// is wrong: no such name, a name that is no sprite, a slave with tags that
// cannot be moved.
TSwfFile CombineIntoSprite(const TSwfFile& master, const std::string& name, const TSwfFile& slave);

// The frames of the sprite `movie` places under `name`: the count its
// timeline shows, which must be the count it declares. Throws TSwfError
// when no sprite is placed so or the two counts differ.
unsigned SpriteFrames(const TSwfFile& movie, const std::string& name);

}  // namespace kalvane
