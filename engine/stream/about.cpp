// Builds the about text from the product and edition names.
#include "engine/stream/about.h"

#include <cstdio>

namespace {
const char kProduct[] = "Runeflow 3.0";
const char kEdition[] = "Cobbleway edition";
char aboutText[128];  // rebuilt by every call
}  // namespace

const char *AboutMsg() {
  int length = std::snprintf(aboutText, sizeof aboutText, "%s\n", kProduct);
  if (kEdition[0] != '\0') {
    std::snprintf(aboutText + length, sizeof aboutText - length, "%s\n", kEdition);
  }
  return aboutText;
}
