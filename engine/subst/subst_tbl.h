// CSubstTbl: a loaded substitution table. Open reads a table file (written in the table set), and cnvsub
// compiles each pattern and replacement into byte strings of the text set (pattern_compiler.h), so that
// the substitution stage compares text bytes with pattern bytes directly and finds an escape by the
// single byte c_esc.
#ifndef RUNEFLOW_ENGINE_SUBST_SUBST_TBL_H
#define RUNEFLOW_ENGINE_SUBST_SUBST_TBL_H

#include <cstdio>

#include "engine/export.h"
#include "engine/stream/object.h"
#include "engine/stream/stream_obj.h"
#include "engine/subst/alias_struct.h"
#include "engine/subst/sub_struct.h"

class CCharSet;
class CConvTbl;
class CStreamObj;

const int kMaxEntries = 600;  // entries of one table
const int kMaxAliases = 20;   // aliases of one table file
const int kMaxPattern = 128;  // a pattern or replacement holds fewer characters than this
const int kConcatSize = 100;  // bytes of the separator, terminator included
const int kDefaultWmax = 40;  // wildcard limit when a line gives none (or 0)

class RUNEFLOW_API CSubstTbl : public CObject {
  DECLARE_RUNTIME_CLASS(CSubstTbl)

 public:
  // An empty table, every field zero or null: fit for Open only.
  CSubstTbl();
  ~CSubstTbl() override;
  CSubstTbl(const CSubstTbl &) = delete;
  CSubstTbl &operator=(const CSubstTbl &) = delete;

  // Reads the table file name, resolved with the default extension "sub" against the name of sink's
  // head stream. textSet is the set of the text to be filtered, tableSet the set the file is written in;
  // both must outlive the table. Returns 1 when every line was read and every entry compiled and
  // checked; otherwise reports the first problem with Eprintf on sink (one message) and returns 0, and
  // the table is only fit to be destroyed or opened again. A second Open starts over.
  int Open(CStreamObj *sink, const char *name, CCharSet *textSet, CCharSet *tableSet);
  // Compiles one of e's strings in place: as a pattern when it is e->from, else as a replacement. Sets
  // e->start and e->pi to 0 and e->wc to -1 first. A pattern may be replaced by a longer buffer (after
  // alias expansion; e->subs is then replaced to match), so read e->from again afterwards. Returns 0
  // after reporting the problem on errsink.
  int cnvsub(sub_struct *e, char *s);
  // Prepares the entries for a new pass over a text: grouped entries disabled, the others enabled, and
  // start, pi and wc 0.
  void InitState();

  CStreamObj *errsink;   // receives every message of the table; not owned
  char *filename;        // resolved path of the table file, owned
  sub_struct *entries;   // kMaxEntries records in file order, owned; the first count are in use
  int count;             // entries in use
  int dropunmatched;     // 1: text that no entry matches is left out of the output
  char *concat;          // separator put between appended variable values, owned; raw as written
  int maxmatch;          // most text characters one match of any entry may need
  CCharSet *tblset;      // set the table file is written in; not owned
  CCharSet *textset;     // set of the text; not owned
  CConvTbl *conv;        // tblset -> textset by name, owned
  unsigned char c_star;  // text-set codes of "*", "\", "^", "!", "-", "<", ">", "%", ".", "+", "?"
  unsigned char c_esc;
  unsigned char c_caret;
  unsigned char c_bang;
  unsigned char c_minus;
  unsigned char c_lt;
  unsigned char c_gt;
  unsigned char c_pct;
  unsigned char c_dot;
  unsigned char c_plus;
  unsigned char c_query;
  alias_struct *aliases;  // kMaxAliases records while Open runs, owned; null afterwards
  int naliases;           // aliases defined so far
  char *strbuf;           // one quoted string while Open runs, owned; null afterwards

 private:
  // Reads the open file line by line; 0 (reported) at the first problem.
  int ReadLines(FILE *file);
  // An "#ALIAS " line, a "#CONCAT " line, an entry line; each returns 0 (reported) when it fails.
  int DefineAlias(const char *line);
  int DefineSeparator(const char *line);
  int AddEntry(const char *line);
  // Reads the fields between the pattern and the replacement of an entry line (from just after the
  // pattern's closing quote): the wildcard limit and the structure terminators. Returns where the
  // replacement's field starts, or null (reported) when a terminator is bad or no replacement follows.
  const char *ReadFields(const char *at, const char *line, sub_struct *e);
  // Checks the compiled pattern of e: its wildcard neither first nor last; 0 (reported) when it is.
  int CheckPattern(const sub_struct *e, const char *line);
  // Checks the compiled replacement of e against the pattern's one-character escapes and wildcard;
  // 0 (reported) when it asks for more than the pattern captures.
  int CheckReplacement(const sub_struct *e, int patternEscapes, bool patternHasWildcard, const char *line);
  // Reads the structure terminator whose name starts at name (just after the begin-entity character)
  // into e->term; 0 (reported) when it is bad.
  int ReadTerminator(const char *name, const char *line, sub_struct *e);
  friend class PatternCompiler;  // reports its refusals through Refuse
  // Reports the formatted message on errsink, followed by the offending line in the form of every report
  // about a line when line is not null; returns 0.
  int Refuse(const char *line, const char *format, ...) RUNEFLOW_PRINTF(3, 4);
  // Releases everything a load made (the entries with their strings, the buffers, the conversion
  // table), leaving the table empty.
  void Release();
};

#endif
