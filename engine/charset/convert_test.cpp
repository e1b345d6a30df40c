// The conversion stage on real pipelines: sets loaded from files through the head stream's name, text
// written into the head, converted by Close and drained from the head. A plain whole-text model of the
// conversion checks the windowed stage on random texts.
#include "engine/charset/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/charset/charset.h"
#include "engine/stream/allocator.h"
#include "tests/support/drain.h"
#include "tests/support/stage_in_dir.h"

namespace {

// A character set as the tests define it: names by value (so the first match is the lowest value) and
// the reference characters.
struct SetSpec {
  std::map<int, std::string> names;
  int begin = -1, end = -1, numeric = -1;

  // The set file: a line per value, the roles in the type field, decimal and hex values mixed.
  std::string File() const {
    std::string file = "! written by the conversion tests\n";
    for (const auto &[value, name] : names) {
      std::string type;
      if (value == begin) type += "B,";
      if (value == end) type += "E,";
      if (value == numeric) type += "N,";
      char field[16];
      bool hex = value % 2 == 1;
      std::snprintf(field, sizeof field, hex ? "#BASE 16\n%3X\t" : "#BASE 10\n%03d\t", value);
      file += field + type + "\t" + name + "\n";
    }
    return file;
  }
};

// Printable ASCII and LF: letters and digits named by themselves, "&", ";", "#" by entity names, the
// rest by their code ("c33"), plus the given characters.
SetSpec Ascii(std::map<int, std::string> more, char begin, char end, char numeric) {
  SetSpec set;
  set.names[10] = "LF";
  for (int c = 32; c < 127; ++c)
    set.names[c] = std::isalnum(c) ? std::string(1, char(c)) : "c" + std::to_string(c);
  set.names['&'] = "amp";
  set.names[';'] = "semi";
  set.names['#'] = "num";
  for (const auto &[value, name] : more) set.names[value] = name;
  if (begin) set.begin = static_cast<unsigned char>(begin);
  if (end) set.end = static_cast<unsigned char>(end);
  if (numeric) set.numeric = static_cast<unsigned char>(numeric);
  return set;
}

// Source of most tests: & # ; references, three letters above 127; 200 is undefined.
const SetSpec kLatin = Ascii({{233, "eacute"}, {252, "uuml"}, {169, "copy"}, {251, "ex\xE9"}}, '&', ';', '#');
// Other letters above 127, an empty name, and its own reference syntax: {name} and {$200}.
const SetSpec kMac = Ascii({{142, "eacute"}, {159, "uuml"}, {170, "trade"}, {127, ""}}, '{', '}', '$');
// No reference characters at all.
const SetSpec kPlain = Ascii({{142, "eacute"}}, 0, 0, 0);
// Named references but no numeric ones.
const SetSpec kNamedOnly = Ascii({{142, "eacute"}}, '&', ';', 0);

// Every byte value defined, with names of one to nine bytes: between two such sets every byte but the
// begin character stands for itself, which the stage copies a word at a time.
SetSpec Full() {
  std::map<int, std::string> all;
  for (int c = 0; c < 256; ++c) {
    if (c < 32 || c >= 127)
      all[c] = std::string(1 + c % 9, static_cast<char>('a' + c % 26)) + std::to_string(c);
  }
  return Ascii(all, '&', ';', '#');
}
const SetSpec kFull = Full();
// The same names with the values above 127 in reverse order: every byte but the begin character has a
// counterpart, which the stage maps run by run.
SetSpec FullReversed() {
  SetSpec set = kFull;
  for (int c = 128; c < 256; ++c) set.names[c] = kFull.names.at(383 - c);
  return set;
}
const SetSpec kFullReversed = FullReversed();

// The conversion of a whole text at once, written from the rules without windows; it assumes that the
// source's begin character has a counterpart in the destination.
std::string Model(const SetSpec &from, const SetSpec &to, const std::string &text) {
  auto valueOf = [](const SetSpec &set, const std::string &name) {
    for (const auto &[value, candidate] : set.names) {
      if (candidate == name) return value;
    }
    return -2;
  };
  auto entry = [&](int c) { return from.names.count(c) ? valueOf(to, from.names.at(c)) : -1; };
  std::string out;
  auto undefinedReference = [&](const std::string &digits) {
    if (to.begin >= 0 && to.numeric >= 0)
      out += std::string(1, char(to.begin)) + char(to.numeric) + digits + char(to.end);
  };
  auto missingNameReference = [&](int value, bool throughTable) {
    if (to.begin < 0) return;
    out += char(to.begin);
    for (unsigned char b : from.names.at(value)) {
      if (!throughTable)
        out += char(b);
      else if (entry(b) >= 0)
        out += char(entry(b));
    }
    out += char(to.end);
  };
  auto ordinary = [&](int c, bool throughTable) {
    int e = entry(c);
    if (e >= 0)
      out += char(e);
    else if (e == -1)
      undefinedReference(std::to_string(c));
    else
      missingNameReference(c, throughTable);
  };
  for (size_t i = 0; i < text.size();) {
    const int c = static_cast<unsigned char>(text[i]);
    size_t close = c == from.begin ? text.find(char(from.end), i + 1) : std::string::npos;
    if (c != from.begin || close == std::string::npos) {
      ordinary(c, c == from.begin);
      ++i;
      continue;
    }
    const std::string name = text.substr(i + 1, close - i - 1);
    if (name.size() <= 32 && from.numeric >= 0 && !name.empty() && (unsigned char)name[0] == from.numeric) {
      // A number is decimal digits, or "x"/"X" and hexadecimal digits; anything else is no reference.
      const std::string digits = name.substr(1);
      const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
      const std::string number = digits.substr(hex ? 1 : 0);
      bool reference = !number.empty();
      long long value = 0;
      for (unsigned char d : number) {
        const int digit = std::isdigit(d) ? d - '0' : std::isxdigit(d) ? std::tolower(d) - 'a' + 10 : -1;
        if (digit < 0 || (!hex && digit > 9)) reference = false;
        value = std::min(value * (hex ? 16 : 10) + std::max(digit, 0), 256LL);  // 256: beyond every byte
      }
      if (!reference) {
        if (entry(c) >= 0) out += char(entry(c));
        ++i;
        continue;
      }
      int e = value <= 255 ? entry(static_cast<int>(value)) : -1;
      if (e >= 0)
        out += char(e);
      else if (e == -1)
        undefinedReference(digits);
      else
        missingNameReference(static_cast<int>(value), true);
      i = close + 1;
      continue;
    }
    int value = name.size() <= 32 && name.find('\0') == std::string::npos ? valueOf(to, name) : -2;
    if (value >= 0) {
      out += char(value);
      i = close + 1;
    } else {
      if (entry(c) >= 0) out += char(entry(c));
      ++i;
    }
  }
  return out;
}

// A head stream named after a temporary directory with a conversion stage opened on two set files.
struct Conversion : StageInDir<CConvert> {
  Conversion(const SetSpec &from, const SetSpec &to) {
    dir.Write("from.chs", from.File());
    dir.Write("to.chs", to.File());
    opened = stage.Open("from", "to");
  }
  int opened;
};

struct Case {
  const char *what;
  std::string input;
  std::string output;
};

void ExpectConversions(const SetSpec &from, const SetSpec &to, const std::vector<Case> &cases) {
  Conversion conversion(from, to);
  ASSERT_TRUE(conversion.opened) << conversion.StageError();
  for (const Case &c : cases) EXPECT_EQ(conversion.Run(c.input), c.output) << c.what;
}

TEST(Convert, ASetToItself) {
  std::string everyDefined;
  for (const auto &entry : kLatin.names) everyDefined += char(entry.first);
  ExpectConversions(
      kLatin, kLatin,
      {
          {"every defined byte passes unchanged", everyDefined, everyDefined},
          {"undefined byte 200", "x\xC8y", "x&#200;y"},
          {"undefined bytes 0 and 255", std::string("\0\xFF", 2), "&#0;&#255;"},
          {"named references", "&amp;&eacute;&semi;", "&\xE9;"},
          {"numeric references", "&#65;&#0065;&#233;", "AA\xE9"},
          {"hexadecimal references", "&#x41;&#X4a;&#x00e9;&#xE9;", "AJ\xE9\xE9"},
          {"numeric reference to an undefined value keeps its digits", "&#0200;&#xC8;", "&#0200;&#xC8;"},
          {"numbers outside 0..255 are written back as given", "&#999;&#99999999999;&#256;&#x100;",
           "&#999;&#99999999999;&#256;&#x100;"},
          {"text after the digits is kept", "Tom &#38 Jerry;", "Tom &#38 Jerry;"},
          {"a reference after digits without an end", "&#65&#66;", "&#65B"},
          {"numbers without digits are kept", "&#;&#x;&#X;", "&#;&#x;&#X;"},
          {"signs, blanks and stray letters are kept", "&#-5;&#+65;&# 65;&#65 ;&#0x41;&#x4G;",
           "&#-5;&#+65;&# 65;&#65 ;&#0x41;&#x4G;"},
          {"a NUL after the digits is kept", std::string("&#65\0;", 6), "&#65&#0;;"},
          {"unknown name stays as text", "&zzz; &A B;", "&zzz; &A B;"},
          {"empty name the set lacks", "&;", "&;"},
          {"begin without end", "a&b", "a&b"},
          {"name of 32 bytes the set lacks", "&" + std::string(32, 'x') + ";",
           "&" + std::string(32, 'x') + ";"},
          {"more than 32 bytes before the end", "&" + std::string(33, 'x') + "&amp;",
           "&" + std::string(33, 'x') + "&"},
          {"NUL inside a name matches nothing", std::string("&A\0;", 4), "&A&#0;;"},
          {"empty input", "", ""},
      });
}

TEST(Convert, IntoADestinationWithOtherValuesAndSyntax) {
  ExpectConversions(
      kLatin, kMac,
      {
          {"bytes map by name", "caf\xE9 \xFC", "caf\x8E \x9F"},
          {"references resolve to the destination", "&eacute;&#252;&uuml;", "\x8E\x9F\x9F"},
          {"a name only the destination knows", "&trade;", "\xAA"},
          {"the empty name", "&;", "\x7F"},
          {"undefined byte in the destination's syntax", "\xC8", "{$200}"},
          {"undefined numeric reference", "&#0200;", "{$0200}"},
          {"undefined hexadecimal reference", "&#xc8;&#x1F600;", "{$xc8}{$x1F600}"},
          {"what is no numeric reference stays text", "&#38 Jerry;&#x;&#-1;", "&#38 Jerry;&#x;&#-1;"},
          {"missing name written as stored", "\xA9\xFB", "{copy}{ex\xE9}"},
          {"missing name of a numeric reference written through the table", "&#251;&#169;&#xFB;",
           "{ex\x8E}{copy}{ex\x8E}"},
      });
}

TEST(Convert, IntoDestinationsWithoutReferences) {
  ExpectConversions(kLatin, kPlain,
                    {
                        {"characters without counterpart vanish", "a\xC8\xFC\xE9z", "a\x8Ez"},
                        {"numeric references to them vanish", "&#200;&#252;", ""},
                        {"names the destination lacks stay text", "&copy;", "&copy;"},
                    });
  ExpectConversions(kLatin, kNamedOnly,
                    {
                        {"undefined bytes vanish", "\xC8&#200;", ""},
                        {"missing names become named references", "\xFC\xFB&#251;", "&uuml;&ex\xE9;&ex\x8E;"},
                    });
}

TEST(Convert, WindowBorders) {
  Conversion full(kFull, kFull);
  ASSERT_TRUE(full.opened) << full.StageError();
  for (size_t offset = 440; offset <= 520; ++offset) {
    const std::string before(offset, 'a');
    EXPECT_EQ(full.Run(before + "&amp;&ccc2;&#233;&dddd237;&zzzzzzzzz233;&" + std::string(31, 'q') + ";b"),
              before + "&\x02\xE9\xED\xE9&" + std::string(31, 'q') + ";b")
        << "references of a full set at offset " << offset;
  }
  Conversion conversion(kLatin, kMac);
  ASSERT_TRUE(conversion.opened) << conversion.StageError();
  for (size_t offset = 440; offset <= 520; ++offset) {
    const std::string before(offset, 'a');
    EXPECT_EQ(conversion.Run(before + "&eacute;&#0200;&" + std::string(31, 'q') + ";b"),
              before + "\x8E{$0200}&" + std::string(31, 'q') + ";b")
        << "reference at offset " << offset;
    EXPECT_EQ(conversion.Run(before + "&eac"), before + "&eac") << "unfinished reference at " << offset;
  }
  for (size_t length : {499, 500, 501, 1000, 5000}) {
    const std::string text(length, 'e');
    EXPECT_EQ(conversion.Run(text), text) << length;
  }
}

TEST(Convert, AgreesWithTheWholeTextModel) {
  const std::vector<std::string> pieces = {"a",
                                           "Bc",
                                           " ",
                                           "\n",
                                           "&",
                                           ";",
                                           "#",
                                           "0",
                                           "9",
                                           "\xE9",
                                           "\xC8",
                                           "\xFB",
                                           "\xFC",
                                           "&eacute;",
                                           "&#233;",
                                           "&#0200;",
                                           "&#251;",
                                           "&;",
                                           "&zzz;",
                                           "&#-7;",
                                           "&#x41;",
                                           "&#Xe9;",
                                           "&#x;",
                                           "&#38 J;",
                                           "&#65",
                                           "x",
                                           "F",
                                           "&trade;",
                                           "&" + std::string(30, 'x'),
                                           std::string(40, 'y'),
                                           "&" + kFull.names.at(2) + ";",    // a name of 2 bytes
                                           "&" + kFull.names.at(237) + ";",  // 7 bytes
                                           "&" + kFull.names.at(232) + ";",  // 11 bytes
                                           "&" + kFull.names.at(233) + ";",  // 12 bytes
                                           "&#xC8;",
                                           std::string(1, '\0'),
                                           "\xFF"};
  const std::vector<std::pair<const SetSpec *, const SetSpec *>> pairs = {
      {&kLatin, &kLatin}, {&kLatin, &kMac},         {&kLatin, &kPlain}, {&kLatin, &kNamedOnly},
      {&kFull, &kFull},   {&kFull, &kFullReversed}, {&kFull, &kLatin}};
  std::mt19937 random(20261207);
  for (const auto &[from, to] : pairs) {
    Conversion conversion(*from, *to);
    ASSERT_TRUE(conversion.opened) << conversion.StageError();
    for (int round = 0; round < 60; ++round) {
      std::string text;
      const size_t length = random() % 3000;
      while (text.size() < length) text += pieces[random() % pieces.size()];
      ASSERT_EQ(conversion.Run(text), Model(*from, *to, text)) << "round " << round;
    }
  }
}

// Counts its runs, so a test can see that the stage before it ran it.
struct RunCounter : CStreamObj {
  int Process() override {
    ++runs;
    return CStreamObj::Process() && Close();
  }
  int runs = 0;
};

TEST(Convert, EmptyInputRunsTheNextStage) {
  Conversion conversion(kLatin, kLatin);
  RunCounter counter;
  conversion.head.Add(&counter);
  ASSERT_TRUE(conversion.opened && counter.Open());
  ASSERT_TRUE(conversion.head.Close());
  EXPECT_EQ(counter.runs, 1);
  EXPECT_EQ(counter.GetLength(), 0u);
}

TEST(ConvertFailures, OpenReportsOnTheStageAndLeavesItNotOpened) {
  Conversion missing(kLatin, kLatin);
  EXPECT_EQ(missing.stage.Open("from", "absent"), 0);
  EXPECT_EQ(missing.StageError(), "Convert: Can't open " + missing.dir.File("absent.chs") + "\n");
  EXPECT_EQ(missing.Run("text"), "failed: Stream: Object was not opened\n");

  Conversion bad(kLatin, kLatin);
  bad.dir.Write("bad.chs", "038\tB\tamp\n");
  EXPECT_EQ(bad.stage.Open("bad", "to"), 0);
  EXPECT_EQ(bad.StageError(), "Convert: " + bad.dir.File("bad.chs") + ": Missing end entity character\n");

  Conversion noSet(kLatin, kLatin);
  EXPECT_EQ(noSet.stage.Open(nullptr, noSet.stage.to), 0);
  EXPECT_EQ(noSet.StageError(), "Convert: Missing character set\n");
  EXPECT_EQ(noSet.Run("text"), "failed: Stream: Object was not opened\n");
}

TEST(ConvertFailures, AFailedWriteStopsTheRun) {
  Conversion conversion(kLatin, kLatin);
  ASSERT_TRUE(conversion.opened);
  const std::string text(1200, 't');
  conversion.head.Write(text.data(), static_cast<unsigned>(text.size()));
  FailAllocationAt(2);  // the head's second queue block
  EXPECT_EQ(conversion.head.Close(), 0);
  FailAllocationAt(0);
  EXPECT_EQ(conversion.HeadError(), "Stream: I/O error 12 on stream");
  EXPECT_EQ(Drain(conversion.head), std::string(500, 't'));  // what was written before stays
  EXPECT_EQ(conversion.Run("next"), "next");                 // the next run starts afresh
}

TEST(ConvertOwnership, SetsOfAnotherErrorTargetStayWithTheirCreator) {
  StageInDir<CStreamObj> loader;
  CCharSet latin;
  ASSERT_TRUE(loader.LoadSet(latin, "latin", kLatin.File()));
  {
    CStream head;
    CConvert stage;
    head.Add(&stage);
    ASSERT_TRUE(head.Open(nullptr) && stage.Open(&latin, &latin));
    EXPECT_STREQ(stage.m_version, "1.0-3.0");
    head.Write("&eacute;", 8);
    ASSERT_TRUE(head.Close());
    EXPECT_EQ(Drain(head), "\xE9");
  }
  EXPECT_EQ(latin.chsval("eacute"), 233);  // still loaded after the stage is gone
}

TEST(ConvertOwnership, OpeningAgainReplacesTheOwnedSets) {
  Conversion conversion(kLatin, kMac);
  ASSERT_TRUE(conversion.opened);
  CCharSet *first = conversion.stage.from;
  EXPECT_EQ(first->errsink, &conversion.stage);
  ASSERT_TRUE(conversion.stage.Open("to", "from"));
  EXPECT_EQ(conversion.Run("\x8E{$200}"), "\xE9&#200;");
  ASSERT_TRUE(conversion.stage.Open(conversion.stage.from, conversion.stage.from));
  EXPECT_EQ(conversion.Run("\x8E"), "\x8E");
}

}  // namespace
