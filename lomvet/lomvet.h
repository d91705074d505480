// glimshape — liblomvet
// Purpose: chief header of the level-set library: interface, dense grid, contours, re-initialisation.
#ifndef LOMVET_LOMVET_H
#define LOMVET_LOMVET_H

#include "lomvet/levelset2d.h"
#include "lomvet/marchingsquares.h"
#include "lomvet/reinit.h"
#include "torsk/heap.h"

#endif
