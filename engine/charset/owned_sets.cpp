// Letting go of a stage's sets: those whose error target is the stage are destroyed, once each.
#include "engine/charset/owned_sets.h"

#include "engine/charset/charset.h"

void ReplaceOwnedSets(const CStreamObj *stage, CCharSet **from, CCharSet **to, CCharSet *newFrom, CCharSet *newTo) {
  CCharSet *held[2] = {*from, *to == *from ? nullptr : *to};
  for (CCharSet *set : held) {
    if (set != nullptr && set->errsink == stage && set != newFrom && set != newTo) delete set;
  }
  *from = newFrom;
  *to = newTo;
}
