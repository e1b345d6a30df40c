// CCommandLine: the program's command line as the framework hands it over, one argument at a time with
// two marks: whether it was written as a flag (a leading "/" or "-", which is removed) and whether it
// is the last argument. The base recognises the object runtime's own switches; a program derives from
// it to recognise its own.
#ifndef RUNEFLOW_SERVER_FRAMEWORK_COMMAND_LINE_H
#define RUNEFLOW_SERVER_FRAMEWORK_COMMAND_LINE_H

class CCommandLine {
 public:
  CCommandLine() = default;
  virtual ~CCommandLine() = default;

  // Hands each of count arguments (without the program's name) to ParseParam, in order.
  void Parse(int count, const char *const *arguments);

  // One argument. The base sets m_startedByRuntime for the flags "Automation" and "Embedding", in any
  // letter case: the switches with which the object runtime starts a server.
  virtual void ParseParam(const char *param, bool flag, bool last);

  bool m_startedByRuntime = false;  // the object runtime started the program to serve its objects
};

#endif
