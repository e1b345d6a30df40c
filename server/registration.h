// Removal of the server's registration: every class whose ProgID starts with a prefix, with the class
// key its ProgID names, and the depth-first deletion of a key tree that it rests on.
#ifndef RUNEFLOW_SERVER_REGISTRATION_H
#define RUNEFLOW_SERVER_REGISTRATION_H

#include <windows.h>

// Deletes the key name under parent with everything below it, depth first: it always descends into the
// first remaining subkey, and the key itself goes last. Returns ERROR_SUCCESS, or the first error (a tree
// deeper than the registry's 512 levels fails with ERROR_BADKEY); what was deleted before stays deleted.
LONG DeleteKeyTree(HKEY parent, const wchar_t *name);

// Removes from classesRoot every key named prefix, "." and anything (letter case counts), with the key
// under classesRoot\CLSID that its "CLSID" subkey names. A key without a readable "CLSID" subkey is
// removed all the same; a key that cannot be deleted is passed over, so the walk always ends. True when
// nothing was passed over; false also when classesRoot has no "CLSID" key to open.
bool UnregisterClasses(HKEY classesRoot, const wchar_t *prefix);

#endif
