// The built-in character set: the printable ASCII characters (but the grave accent) with entity-style
// names, TAB, LF and CR, and "&", ";" and "#" as its reference characters. Substitution tables are
// written in it. Its tables are fixed data of the library; the set never owns them.
#ifndef RUNEFLOW_ENGINE_CHARSET_BUILTIN_CHARSET_H
#define RUNEFLOW_ENGINE_CHARSET_BUILTIN_CHARSET_H

#include "engine/charset/charset.h"

// The one built-in set, which lives as long as the library. Each call sets its reference characters and
// points its tables at the fixed data again, so a caller always gets it complete.
CCharSet *BuiltinCharSet();

#endif
