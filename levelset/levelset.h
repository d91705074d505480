// glimshape — levelset
// Purpose: chief header of the level sets: the library's interface and every level-set kind.
#ifndef LEVELSET_LEVELSET_H
#define LEVELSET_LEVELSET_H

#include "levelset/cachedimage.h"
#include "levelset/createlevelset.h"
#include "levelset/fulllevelset.h"
#include "levelset/pointhash.h"
#include "levelset/rectlevelset.h"
#include "levelset/sparselevelset2d.h"
#include "levelset/speed.h"
#include "lomvet/lomvet.h"

#endif
