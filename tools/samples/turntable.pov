// A ceramic mug with a handle and a painted band on a turntable, lit like a
// small product studio.  `clock` runs 0..1 for one full turn.
#version 3.7;
#include "colors.inc"
#include "finish.inc"

global_settings { assumed_gamma 1.0 }

// Angle: the lens (narrower to fill the frame with the mug).
#ifndef (Angle) #declare Angle = 37; #end
camera {
  location <0, 4.2, -11.5>
  look_at <0, 1.45, 0>
  angle Angle
  right x*image_width/image_height
}

light_source { <-6, 9, -8> color rgb 0.9 area_light <2,0,0>, <0,0,2>, 3, 3 adaptive 1 jitter }
light_source { <7, 5, -4> color rgb 0.45 }
light_source { <0, 6, 8> color rgb 0.35 shadowless }

// white sweep
plane { y, 0 pigment { color rgb 1 } finish { ambient 0.55 diffuse 0.5 } }
plane { z, 14 pigment { color rgb 1 } finish { ambient 0.9 diffuse 0.2 } }

#declare Turn = clock * 360;

// turntable plate with tick marks so the angle is readable
union {
  cylinder { <0,0,0>, <0,0.18,0>, 3.3 pigment { color rgb <0.22,0.22,0.24> } }
  #declare I = 0;
  #while (I < 24)
    box { <3.0,0.18,-0.03>, <3.28,0.19,0.03>
          pigment { color rgb <0.9,0.9,0.85> } rotate y*I*15 }
    #declare I = I + 1;
  #end
  rotate y*Turn
}

#declare Body = difference {
  cylinder { <0,0,0>, <0,2.6,0>, 1.25 }
  cylinder { <0,0.22,0>, <0,2.7,0>, 1.1 }
};

#declare Band = pigment {
  gradient y
  color_map {
    [0.00 color rgb <0.93,0.91,0.86>]
    [0.55 color rgb <0.93,0.91,0.86>]
    [0.55 color rgb <0.70,0.12,0.10>]
    [0.70 color rgb <0.70,0.12,0.10>]
    [0.70 color rgb <0.93,0.91,0.86>]
    [1.00 color rgb <0.93,0.91,0.86>]
  }
  scale 2.6
};

// painted spots on one side so each angle looks different
#declare Spots = pigment {
  object {
    union {
      sphere { <0,0.9,-1.2>, 0.32 }
      sphere { <0.55,0.95,-1.1>, 0.22 }
      sphere { <-0.5,0.75,-1.12>, 0.18 }
      box { <-0.1,1.9,-1.4>, <0.1,2.35,-1.0> }
    }
    pigment { Band },
    pigment { color rgb <0.08,0.22,0.55> }
  }
};

union {
  object { Body pigment { Spots } finish { phong 0.6 phong_size 60 reflection 0.04 } }
  torus { 0.55, 0.13 rotate x*90 translate <1.45,1.4,0>
          pigment { color rgb <0.93,0.91,0.86> } finish { phong 0.6 phong_size 60 } }
  cylinder { <0,2.4,0>, <0,2.45,0>, 1.09 pigment { color rgb <0.35,0.2,0.1> } }
  translate y*0.18
  rotate y*Turn
}
