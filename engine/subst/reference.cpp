// Character references inside tables: finding the name's end and telling a numeric reference from a
// named one.
#include "engine/subst/reference.h"

#include "engine/charset/charset.h"
#include "engine/charset/decimal.h"

int ReferenceValue(const unsigned char *name, const CCharSet &syntax, const CCharSet &names, int *length) {
  int n = 0;
  while (n <= kReferenceNameMax && name[n] != '\0' && name[n] != syntax.end_entity) ++n;
  *length = n;
  if (n > kReferenceNameMax || name[n] == '\0') return -1;
  if (n >= 1 && n <= kNumericNameMax && name[0] == syntax.numeric_entity) {
    for (int at = 1; at < n; ++at) {
      if (name[at] < '0' || name[at] > '9') return -1;
    }
    return ReadDecimal(reinterpret_cast<const char *>(name + 1), static_cast<size_t>(n - 1));
  }
  return names.chsval(reinterpret_cast<const char *>(name), static_cast<size_t>(n));
}
