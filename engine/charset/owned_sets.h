// The character sets of a stage that converts from one set into another, and which of them the stage
// owns: those it loaded itself, and those handed to it that were loaded with the stage as their error
// target. The stage records that once, when it takes a set, and destroys exactly those when it lets them
// go.
#ifndef RUNEFLOW_ENGINE_CHARSET_OWNED_SETS_H
#define RUNEFLOW_ENGINE_CHARSET_OWNED_SETS_H

class CCharSet;
class CStreamObj;

// Makes newFrom and newTo the stage's sets *from and *to (either may be null), destroying each set held
// before that the stage owns (owned[0] for *from, owned[1] for *to) and that is neither of the new ones;
// then records in owned which of the new ones the stage owns: one it owned already, or one loaded with the
// stage as its error target.
void ReplaceOwnedSets(const CStreamObj *stage, CCharSet **from, CCharSet **to, bool owned[2],
                      CCharSet *newFrom, CCharSet *newTo);

#endif
