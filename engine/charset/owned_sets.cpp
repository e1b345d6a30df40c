// Letting go of a stage's sets: those it owns are destroyed, once each.
#include "engine/charset/owned_sets.h"

#include "engine/charset/charset.h"

void ReplaceOwnedSets(const CStreamObj *stage, CCharSet **from, CCharSet **to, bool owned[2],
                      CCharSet *newFrom, CCharSet *newTo) {
  const auto ownsNew = [&](const CCharSet *set) {
    return set != nullptr &&
           ((set == *from && owned[0]) || (set == *to && owned[1]) || set->errsink == stage);
  };
  const bool ownsFrom = ownsNew(newFrom);
  const bool ownsTo = ownsNew(newTo);
  if (owned[0] && *from != newFrom && *from != newTo) delete *from;
  if (owned[1] && *to != *from && *to != newFrom && *to != newTo) delete *to;
  *from = newFrom;
  *to = newTo;
  owned[0] = ownsFrom;
  owned[1] = ownsTo;
}
