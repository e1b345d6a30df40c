// The character sets of a stage that converts from one set into another: a stage owns the sets whose
// error target it is (those it loaded itself), and destroys them when it lets them go.
#ifndef RUNEFLOW_ENGINE_CHARSET_OWNED_SETS_H
#define RUNEFLOW_ENGINE_CHARSET_OWNED_SETS_H

class CCharSet;
class CStreamObj;

// Makes newFrom and newTo the stage's sets *from and *to (either may be null), destroying each set held
// before that the stage owns and that is neither of the new ones.
void ReplaceOwnedSets(const CStreamObj *stage, CCharSet **from, CCharSet **to, CCharSet *newFrom, CCharSet *newTo);

#endif
