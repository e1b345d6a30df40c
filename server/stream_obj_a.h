// CStreamObjA: the base of both automation classes of the server. It stands for one engine object of a
// pipeline; clients never create it directly. Each derived class enables automation through its own
// dual interface and takes the application lock for its lifetime.
#ifndef RUNEFLOW_SERVER_STREAM_OBJ_A_H
#define RUNEFLOW_SERVER_STREAM_OBJ_A_H

#include "engine/stream/stream_obj.h"
#include "server/framework/ansi_text.h"
#include "server/framework/automation_object.h"

class CStreamObjA : public CAutomationObject {
  DECLARE_RUNTIME_CLASS(CStreamObjA)

 public:
  CStreamObjA() = default;

  CStreamObj *m_pEngine = nullptr;  // the engine object this automation object stands for

 protected:
  // Appends "-" and the automation objects' version to the version text of head, the head stream of
  // the object's pipeline, and copies the result into version (1.0-1.0-1.0 for a head stream). False
  // when memory runs out.
  static bool TakeVersion(CStreamObj *head, CAnsiText &version);
};

#endif
