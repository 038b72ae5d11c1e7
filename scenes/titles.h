// State of the opening titles that outlives a frame.
#pragma once

extern float starPhaseA;  // phase of the star trails' first curve, radians; +0.12 per drawn frame
extern float starPhaseB;  // phase of the second curve; +0.09 per drawn frame
