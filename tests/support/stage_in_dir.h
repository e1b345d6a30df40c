// A stage added to a head stream whose name is a fresh temporary directory: set and table files written
// into the directory are found by their bare names, as the stages of a real pipeline find theirs.
#ifndef RUNEFLOW_TESTS_SUPPORT_STAGE_IN_DIR_H
#define RUNEFLOW_TESTS_SUPPORT_STAGE_IN_DIR_H

#include <string>

#include "engine/charset/charset.h"
#include "engine/stream/stream.h"
#include "tests/support/drain.h"
#include "tests/support/temp_dir.h"

template <class Stage>
struct StageInDir {
  StageInDir() {
    head.Add(&stage);
    head.Open(dir.Path().c_str());
  }
  // Writes the set file name.chs into the directory and loads it into set, the stage receiving messages.
  int LoadSet(CCharSet &set, const std::string &name, const std::string &bytes) {
    dir.Write(name + ".chs", bytes);
    return set.Open(&stage, name.c_str());
  }
  // One run of the pipeline over text: the result, or the head's error text after "failed: ".
  std::string Run(const std::string &text) { return RunPipeline(head, text); }
  // The stage's error text, or "" when it has none.
  std::string StageError() const { return stage.m_errText != nullptr ? stage.m_errText : ""; }
  // The head stream's error text, or "" when it has none.
  std::string HeadError() const { return head.m_errText != nullptr ? head.m_errText : ""; }

  TempDir dir;
  CStream head;
  Stage stage;
};

#endif
