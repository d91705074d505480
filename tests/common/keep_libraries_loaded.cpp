// glimshape — tests/common
// Purpose: linked into the display test programs of a sanitizer build: libraries stay loaded
// until the process ends.
//
// The leak check runs after main returns. By then the display drivers (Mesa's, loaded by
// the GL and window tests) have been unloaded, and what they leave behind carries frames of
// no known library, so the suppressions that name those libraries cannot match it and it
// cannot be told from a leak of ours. Defined in the executable, this dlclose comes before
// the C library's (and the sanitizer's) for every library of the process.
extern "C" int dlclose(void*) { return 0; }
