// glimshape — fuzz
// Purpose: silences libxml2's messages while a fuzz target runs, so that malformed input
// costs parsing time only.
#ifndef GLIM_FUZZ_QUIET_XML_H
#define GLIM_FUZZ_QUIET_XML_H

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

namespace {

void ignoreXmlMessage(void*, const char*, ...) {}
void ignoreXmlError(void*, xmlErrorPtr) {}

// Set up before the first input, in the fuzzer and in the replay driver alike.
[[maybe_unused]] const bool xmlQuiet = [] {
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, ignoreXmlMessage);
  xmlSetStructuredErrorFunc(nullptr, ignoreXmlError);
  return true;
}();

}  // namespace

#endif
