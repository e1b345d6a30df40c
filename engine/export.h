// Marks the engine's public interface. The library is built with hidden symbols, so only what carries
// RUNEFLOW_API (the engine classes, their class records and AboutMsg) is exported from Runeflow.dll and
// libruneflow.so. Code linked against the static archive of the engine defines RUNEFLOW_STATIC.
#ifndef RUNEFLOW_ENGINE_EXPORT_H
#define RUNEFLOW_ENGINE_EXPORT_H

#if defined(RUNEFLOW_STATIC)
#define RUNEFLOW_API
#elif defined(_WIN32)
#if defined(RUNEFLOW_BUILD)
#define RUNEFLOW_API __declspec(dllexport)
#else
#define RUNEFLOW_API __declspec(dllimport)
#endif
#else
#define RUNEFLOW_API __attribute__((visibility("default")))
#endif

#endif
