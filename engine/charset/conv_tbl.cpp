// Builds the conversion table by looking up, in the destination set, the name of each source character.
#include "engine/charset/conv_tbl.h"

#include "engine/charset/charset.h"
#include "engine/stream/allocator.h"
#include "engine/stream/stream_obj.h"

IMPLEMENT_RUNTIME_CLASS(CConvTbl, CObject)

CConvTbl::CConvTbl() : errsink(nullptr), map(nullptr) {}

CConvTbl::~CConvTbl() { EngineFree(map); }

int CConvTbl::Open(CStreamObj *sink, const CCharSet *from, const CCharSet *to) {
  errsink = sink;
  EngineFree(map);
  map = static_cast<int *>(EngineAlloc(256 * sizeof(int)));
  if (map == nullptr) {
    if (errsink != nullptr) errsink->Eprintf("CConvTbl: Memory allocation error\n");
    return 0;
  }
  for (int value = 0; value < 256; ++value) {
    const bool defined = from != nullptr && from->chars != nullptr && from->chars[value].value == value;
    if (!defined) {
      map[value] = kUndefined;
    } else {
      map[value] = to != nullptr ? to->chsval(from->chars[value].name) : kNoSuchName;
    }
  }
  return 1;
}
