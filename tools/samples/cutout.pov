// Products for checking cut-outs: each stands on a light grey sweep that
// curves up into the wall, lit by a soft area light so it casts a soft
// shadow on the floor. `clock` runs 0..1 for one full turn.
//   Kind 0: a white mug (with its handle) on the light sweep
//   Kind 1: a dark glossy bottle
//   Kind 2: an upright ring on a stand (the backdrop shows through it)
//   any other: the empty set (a plate for difference keying)
// Silhouette=1 renders the truth instead: the product flat white on black,
// nothing else (same camera and antialiasing).
#version 3.7;
global_settings { assumed_gamma 1.0 }

#ifndef (Kind) #declare Kind = 0; #end
#ifndef (Silhouette) #declare Silhouette = 0; #end
#ifndef (Grey) #declare Grey = 0.86; #end

camera {
  location <0, 4.0, -11.5>
  look_at <0, 1.5, 0>
  angle 34
  right x*image_width/image_height
}

#if (Silhouette)
  background { color rgb 0 }
  #declare Flat = texture { pigment { color rgb 1 } finish { ambient 1 diffuse 0 } };
#else
  background { color rgb Grey }
  light_source { <-5, 10, -7> color rgb 0.8 area_light <3,0,0>, <0,0,3>, 5, 5 adaptive 1 jitter }
  light_source { <6, 6, -6> color rgb 0.35 shadowless }
  light_source { <0, 5, -12> color rgb 0.25 shadowless }
  // the sweep: floor, a cove and the wall, one light grey paper
  #declare Paper = texture { pigment { color rgb Grey } finish { ambient 0.2 diffuse 0.6 } };
  union {
    plane { y, 0 clipped_by { plane { z, 6 } } }
    difference {
      cylinder { <-40, 4, 6>, <40, 4, 6>, 4 }
      cylinder { <-41, 4, 6>, <41, 4, 6>, 3.999 }
      plane { y, 4 inverse }
      plane { z, 6 }
    }
    plane { z, 10 }
    texture { Paper }
  }
#end

#declare Turn = clock * 360;

#switch (Kind)
#case (0)
  #declare Product = union {
    difference {
      cylinder { <0,0,0>, <0,2.6,0>, 1.25 }
      cylinder { <0,0.22,0>, <0,2.7,0>, 1.1 }
    }
    torus { 0.55, 0.13 rotate x*90 translate <1.45,1.4,0> }
    texture { pigment { color rgb <0.96,0.95,0.93> } finish { ambient 0.1 diffuse 0.8 phong 0.5 phong_size 60 } }
  };
#break
#case (1)
  #declare Product = union {
    lathe { cubic_spline 8,
      <0,-0.1>, <0,0>, <0.9,0>, <1.0,1.6>, <0.45,2.4>, <0.35,3.1>, <0,3.2>, <0,3.3> }
    // a paler label so each angle looks different
    cylinder { <0,0.5,0>, <0,1.2,0>, 0.99 clipped_by { plane { x, 0.3 } }
      texture { pigment { color rgb <0.55,0.45,0.2> } } }
    texture { pigment { color rgb <0.02,0.025,0.03> } finish { ambient 0.02 diffuse 0.5 phong 0.9 phong_size 120 reflection 0.05 } }
  };
#break
#case (2)
  #declare Product = union {
    cylinder { <0,0,0>, <0,0.3,0>, 1.0 }
    cylinder { <0,0.3,0>, <0,0.8,0>, 0.18 }
    torus { 1.1, 0.3 rotate x*90 translate y*2.15 }
    texture { pigment { color rgb <0.85,0.45,0.15> } finish { ambient 0.1 diffuse 0.8 phong 0.4 } }
  };
#break
#end

#ifdef (Product)
object { Product
  #if (Silhouette) texture { Flat } no_shadow #end
  rotate y*Turn
}
#end
