// ReferenceValue: reads a character reference written in a table (in a pattern, a replacement, or a
// variable's value): the syntax is the table set's, the name is looked up in the text's set.
#ifndef RUNEFLOW_ENGINE_SUBST_REFERENCE_H
#define RUNEFLOW_ENGINE_SUBST_REFERENCE_H

class CCharSet;

const int kReferenceNameMax = 31;  // bytes of a reference's name
const int kNumericNameMax = 4;     // a longer name after the numeric character is looked up as a name

// The value of the reference whose name starts at name, just after the begin character. A name of the
// numeric character of syntax and digits, kNumericNameMax bytes at most, gives the number (0 when there
// are no digits); any other name gives its value in names (chsval, -2 when names lacks it). -1 when the
// name does not end with syntax's end character within kReferenceNameMax bytes, or a numeric name holds
// a byte that is no digit. *length receives the name's length.
int ReferenceValue(const unsigned char *name, const CCharSet &syntax, const CCharSet &names, int *length);

#endif
