// The stage's shortcuts against its plain path on generated cases: random tables (literal words with
// shared beginnings, escaped letters, captures, wildcards with limits, subsets and terminators, variables,
// groups, given-back text, stops) over texts made mostly of what their entries match, and tables that
// strip elements whose closing part seldom comes, each run with the shortcuts and without them. Every
// case must give the same result and the same variables both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/subst/substitute.h"
#include "tests/support/plain_path.h"
#include "tests/support/stage_in_dir.h"

namespace {

// A part of a pattern, and how to make text that it matches.
struct Piece {
  enum Kind { kBytes, kEitherCase, kAnyOf, kRun } kind;
  std::string bytes;  // kBytes: the bytes; kAnyOf: the bytes it takes; kRun: bytes to fill it with
  int limit;          // kRun: the most it takes
};

class CaseMaker {
 public:
  explicit CaseMaker(unsigned seed) : random(seed) {}

  // A table file of entries and now and then a directive, an alias or a switch.
  std::string Table() {
    samples.clear();
    alphabet = Pick({"ab", "abc", "abcd", "ab<>", "xyz ", "aAbB", "ab\n", "a-b.", "<a>/"});
    words.clear();
    for (int count = Between(2, 8); count > 0; --count) words.push_back(Word());
    std::string table;
    if (Chance(0.1)) table += "#CONCAT \", \"\n";
    if (Chance(0.05)) table += "\"\\*\" \"\"\n";
    for (int count = Chance(0.8) ? Between(1, 6) : Between(7, 70); count > 0; --count) table += Entry();
    return table;
  }

  // A text of a random length: matches of the entries, their beginnings, words and stray bytes.
  std::string Text() { return Text(TextLength()); }
  // A text of about length bytes.
  std::string Text(size_t length) {
    std::string text;
    while (text.size() < length) {
      const double roll = Uniform();
      if (roll < 0.45 && !samples.empty()) {
        text += Sample(samples[Below(samples.size())]);
      } else if (roll < 0.55 && !samples.empty()) {
        const std::string match = Sample(samples[Below(samples.size())]);
        text += match.substr(0, Below(match.size() + 1));
      } else if (roll < 0.8) {
        text += words[Below(words.size())];
      } else {
        text += alphabet[Below(alphabet.size())];
      }
    }
    return text.substr(0, length);
  }

  size_t TextLength() {
    const double roll = Uniform();
    if (roll < 0.05) return 0;
    if (roll < 0.75) return Below(120);
    if (roll < 0.95) return Below(1500);
    return Below(4000);
  }

 private:
  bool Chance(double p) { return Uniform() < p; }
  double Uniform() { return std::uniform_real_distribution<double>(0, 1)(random); }
  size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random); }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
  std::string Pick(std::initializer_list<const char *> choices) {
    return *(choices.begin() + Below(choices.size()));
  }

  std::string Word() {
    if (!words.empty() && Chance(0.5)) {  // a beginning or an end of another word, lengthened
      const std::string &other = words[Below(words.size())];
      const size_t cut = Below(other.size() + 1);
      std::string word = Chance(0.5) ? other.substr(0, cut) : other.substr(cut);
      for (int more = Between(1, 3); more > 0; --more) word += alphabet[Below(alphabet.size())];
      return word;
    }
    std::string word;
    for (int length = Between(1, 5); length > 0; --length) word += alphabet[Below(alphabet.size())];
    return word;
  }

  // Table text for one text byte.
  static std::string Spell(char byte) {
    switch (byte) {
      case '"':
        return "\\\"";
      case '\\':
        return "\\\\";
      case '&':
        return "&amp;";
      case '%':
        return "&#37;";
      case '\n':
        return "&LF;";
      default:
        return std::string(1, byte);
    }
  }

  void Literal(std::string &pattern, std::vector<Piece> &pieces, const std::string &word) {
    for (char byte : word) {
      const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
      if (letter && Chance(0.1)) {
        pattern += std::string("\\") + byte;
        pieces.push_back({Piece::kEitherCase, std::string(1, byte), 0});
      } else {
        pattern += Spell(byte);
        pieces.push_back({Piece::kBytes, std::string(1, byte), 0});
      }
    }
  }

  std::string Entry() {
    std::string pattern;
    std::vector<Piece> pieces;
    bool wildcard = false;
    int captures = 0;
    int limit = 0;
    Literal(pattern, pieces, words[Below(words.size())]);
    const int parts = Chance(0.4) ? 0 : Between(1, 3);
    for (int part = 0; part < parts; ++part) {
      const double roll = Uniform();
      if (roll < 0.3 && !wildcard) {
        wildcard = true;
        limit = Chance(0.7) ? Between(0, 12) : Chance(0.5) ? 40 : Between(480, 700);
        const int subset = Chance(0.2) ? Between(1, 4) : 0;
        if (Chance(0.2)) {
          pattern += std::string("%") + Pick({"a", "b", "A", "B"});
        } else {
          pattern += "\\" + (subset != 0 ? std::to_string(subset) : "") + Pick({"*", "*", "+", "-"});
        }
        pieces.push_back({Piece::kRun, alphabet, limit});
        Literal(pattern, pieces, words[Below(words.size())]);
      } else if (roll < 0.55) {
        const int subset = Chance(0.3) ? Between(1, 4) : 0;
        pattern += subset != 0 ? "\\" + std::to_string(subset) + "?" : "\\" + Pick({"?", "?", "!", "."});
        pieces.push_back({Piece::kAnyOf, subset == 3 ? "abcxyz" : subset == 4 ? "ABX" : alphabet, 0});
        ++captures;
      } else if (roll < 0.7) {
        pattern += Pick({"\\<", "\\2<", "\\3<"});
      } else {
        Literal(pattern, pieces, words[Below(words.size())]);
      }
    }
    if (Chance(0.1)) pattern = "\\" + std::to_string(Between(0, 2)) + Pick({"[", "]"}) + pattern;
    samples.push_back(pieces);
    std::string fields;
    if (wildcard || Chance(0.05)) fields += " " + std::to_string(limit);
    if (wildcard && Chance(0.3)) fields += Pick({" &*3;", " &*4;", " &space;", " &lt;", " &LF;", " &a;"});
    return "\"" + pattern + "\"" + fields + " \"" + Replacement(wildcard, captures) + "\"\n";
  }

  std::string Replacement(bool wildcard, int captures) {
    std::string replacement;
    for (int part = Between(0, 3); part > 0; --part) {
      const double roll = Uniform();
      if (roll < 0.35) {
        replacement += Pick({"X", "Y", "[", "]", "ab"});
      } else if (roll < 0.5 && captures > 0) {
        replacement += Pick({"\\?", "\\!", "\\.", "\\>"});
        --captures;
      } else if (roll < 0.6 && wildcard) {
        replacement += Pick({"\\*", "\\+", "\\-", "\\3*"});
        wildcard = false;
      } else if (roll < 0.7) {
        replacement += Pick({"%a", "%b", "%A"});
      } else if (roll < 0.85) {
        replacement += "\\" + std::to_string(Between(0, 2)) + Pick({"[", "]"});
      } else if (roll < 0.87) {
        replacement += "\\^";
      } else {
        replacement += "\\<";
        captures = 0;
      }
    }
    return replacement;
  }

  std::string Sample(const std::vector<Piece> &pieces) {
    std::string text;
    for (const Piece &piece : pieces) {
      switch (piece.kind) {
        case Piece::kBytes:
          text += piece.bytes;
          break;
        case Piece::kEitherCase:
          text += Chance(0.5) ? static_cast<char>(piece.bytes[0] ^ 0x20) : piece.bytes[0];
          break;
        case Piece::kAnyOf:
          text += piece.bytes[Below(piece.bytes.size())];
          break;
        case Piece::kRun:
          for (int n = Chance(0.9) ? Between(0, std::min(piece.limit, 10)) : Between(0, piece.limit + 2);
               n > 0; --n)
            text += piece.bytes[Below(piece.bytes.size())];
          break;
      }
    }
    return text;
  }

  std::mt19937 random;
  std::string alphabet;
  std::vector<std::string> words;
  std::vector<std::vector<Piece>> samples;  // the pieces of every entry's pattern
};

// Tables of the shape that meets wildcards whose closing part seldom or never comes: entries that
// strip an element with its content (a long wildcard between an opening and a closing part), a tag
// entry with a short wildcard, short entries that fire or wait in between; over texts full of opening
// parts, with a closing part now and then, long enough for the window to move on.
class CliffMaker {
 public:
  explicit CliffMaker(unsigned seed) : random(seed) {}

  std::string Table() {
    names.clear();
    for (int count = Between(1, 3); count > 0; --count)
      names.push_back(Pick({"s", "sc", "st", "ab", "x", "scr"}));
    std::vector<std::string> lines;
    for (const std::string &name : names) {
      const std::string letters = Chance(0.5) ? Escaped(name) : name;
      const std::string wildcard = Chance(0.15) ? "\\3*" : "\\*";
      std::string fields = " " + std::to_string(Between(20, 300));
      if (Chance(0.2)) fields += Pick({" &lt;", " &*4;", " &space;"});
      lines.push_back("\"<" + letters + wildcard + "</" + letters + ">\"" + fields + " \"" +
                      Pick({"", "[\\*]", "E"}) + "\"");
    }
    if (Chance(0.5)) lines.push_back("\"<!--\\*-->\" " + std::to_string(Between(20, 300)) + " \"\"");
    for (int count = Between(0, 3); count > 0; --count) {
      lines.push_back(Pick({"\"<br>\" \"|\"", "\"ab\" \"AB\"", "\"<b>\" \"\"", "\"x\\?\" \"\\?\"",
                            "\"<\\?>\" \"[\\?]\"", "\"ab\\<\" \"A\"", "\"<b\\2<\" \"B\""}));
    }
    if (Chance(0.8))
      lines.push_back("\"<\\*>\" " + std::to_string(Between(5, 80)) + Pick({" &lt;", "", " &lt;"}) + " \"\"");
    std::shuffle(lines.begin(), lines.end(), random);
    std::string table;
    for (const std::string &line : lines) table += line + "\n";
    return table;
  }

  std::string Text() {
    std::string text;
    const size_t length = static_cast<size_t>(Between(200, 3000));
    while (text.size() < length) {
      const double roll = Uniform();
      if (roll < 0.5) {
        text += "<" + names[Below(names.size())] + ">";
      } else if (roll < 0.53) {
        text += "</" + names[Below(names.size())] + ">";
      } else if (roll < 0.56) {
        text += Pick({"<!--", "-->", "--"});
      } else if (roll < 0.75) {
        text += Pick({"<br>", "ab", "<b>", "x", "y", " ", "<", ">"});
      } else {
        text += Pick({"a", "b", "c", "s", "t", "r", "\n"});
      }
    }
    return text.substr(0, length);
  }

 private:
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; }
  double Uniform() { return std::uniform_real_distribution<double>(0, 1)(random); }
  size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
  std::string Pick(std::initializer_list<const char *> choices) {
    return *(choices.begin() + Below(choices.size()));
  }
  static std::string Escaped(const std::string &letters) {
    std::string escaped;
    for (char letter : letters) escaped += std::string("\\") + letter;
    return escaped;
  }

  std::mt19937 random;
  std::vector<std::string> names;  // of the elements the table strips
};

// Runs every case of maker both ways; stops at the first difference.
template <class Maker>
void CompareOnGeneratedCases(Maker &maker, int cases, int runs) {
  const std::map<char, std::string> before = TableVariables();
  StageInDir<CSubstitute> pipeline;
  for (int number = 0; number < cases; ++number) {
    const std::string table = maker.Table();
    pipeline.dir.Write("table.sub", table);
    ASSERT_EQ(pipeline.stage.Open("table", BuiltinCharSet(), BuiltinCharSet()), 1)
        << pipeline.StageError() << "\n"
        << table;
    for (int run = 0; run < runs; ++run) {
      SetTableVariables({});
      const std::string text = maker.Text();
      RunBothPaths(pipeline.head, text, "case " + std::to_string(number) + "\n" + table + "=====\n" + text);
      if (::testing::Test::HasFailure()) return;
    }
  }
  SetTableVariables(before);
}

TEST(Shortcuts, GiveWhatThePlainPathGivesOnGeneratedCases) {
  CaseMaker maker(20261207);
  CompareOnGeneratedCases(maker, 1500, 2);
}

TEST(Shortcuts, GiveWhatThePlainPathGivesWhereWildcardsSeldomClose) {
  CliffMaker maker(20261208);
  CompareOnGeneratedCases(maker, 120, 2);
}

}  // namespace
