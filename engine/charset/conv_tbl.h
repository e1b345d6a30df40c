// CConvTbl: for each byte value of a source character set, the value of the same-named character in a
// destination set. The conversion stage maps every byte through it.
#ifndef RUNEFLOW_ENGINE_CHARSET_CONV_TBL_H
#define RUNEFLOW_ENGINE_CHARSET_CONV_TBL_H

#include "engine/export.h"
#include "engine/stream/object.h"

class CCharSet;
class CStreamObj;

const int kUndefined = -1;   // map entry: the source set does not define the value
const int kNoSuchName = -2;  // map entry: the destination set has no character of the value's name

class RUNEFLOW_API CConvTbl : public CObject {
  DECLARE_RUNTIME_CLASS(CConvTbl)

 public:
  CConvTbl();
  ~CConvTbl() override;

  // Builds map from two sets, which are only read. Returns 0, with "CConvTbl: Memory allocation error\n"
  // reported on errsink, when map cannot be allocated. A missing set, or one never loaded, defines nothing.
  int Open(CStreamObj *errsink, const CCharSet *from, const CCharSet *to);

  CStreamObj *errsink;  // receives the table's message; the stage that owns the table; not owned
  int *map;             // 256 entries by source value: a destination value, kUndefined or kNoSuchName
};

#endif
