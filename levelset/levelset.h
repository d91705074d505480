// glimshape — levelset
// Purpose: chief header of the level sets: the library's interface and every level-set kind.
#ifndef LEVELSET_LEVELSET_H
#define LEVELSET_LEVELSET_H

#include "levelset/createlevelset.h"
#include "levelset/fulllevelset.h"
#include "lomvet/lomvet.h"

#endif
