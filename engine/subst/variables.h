// Table variables: entries of the process environment named by one character, through which tables
// hand text to later replacements, later runs and the host program. A letter names one variable in
// either case (the environment holds it under the upper-case letter), and an empty value removes the
// variable, on every platform.
#ifndef RUNEFLOW_ENGINE_SUBST_VARIABLES_H
#define RUNEFLOW_ENGINE_SUBST_VARIABLES_H

// The value of the variable name, or null when it is not set. The text stays valid until the
// environment changes.
const char *GetVariable(char name);
// Sets the variable of assignment, a text "x=value" whose first character names the variable; an empty
// value removes it. The name is rewritten in place as the environment spells it. Returns 0 when the
// environment refuses.
int SetVariable(char *assignment);

#endif
