// The library's about text, shown by the automation server's about box.
#ifndef RUNEFLOW_ENGINE_STREAM_ABOUT_H
#define RUNEFLOW_ENGINE_STREAM_ABOUT_H

#include "engine/export.h"

// The product name and version, then the edition, each on its own line. The text lives in one static
// buffer that every call rebuilds, so a pointer from an earlier call sees the newest text.
RUNEFLOW_API const char *AboutMsg();

#endif
