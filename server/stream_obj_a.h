// CStreamObjA: the base of both automation classes of the server. It stands for one engine object of a
// pipeline; clients never create it directly. Each derived class enables automation through its own
// dual interface and takes the application lock for its lifetime.
#ifndef RUNEFLOW_SERVER_STREAM_OBJ_A_H
#define RUNEFLOW_SERVER_STREAM_OBJ_A_H

#include "engine/stream/stream.h"
#include "server/framework/ansi_text.h"
#include "server/framework/automation_object.h"

class CStreamObjA : public CAutomationObject {
  DECLARE_RUNTIME_CLASS(CStreamObjA)

 public:
  CStreamObjA() = default;

  CStreamObj *m_pEngine = nullptr;  // the engine object this automation object stands for

 protected:
  // A new engine head stream (not yet opened) for the object's pipeline: "-" and the automation
  // objects' version are appended to its version text (giving 1.0-1.0-1.0), which is copied into
  // version. Null, with the construction marked as failed, when memory runs out.
  CStream *CreateHeadStream(CAnsiText &version);
};

#endif
