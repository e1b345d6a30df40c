// The shipped sets against glibc's iconv(3): every byte of every set converted into every set must give
// iconv's bytes, or a reference where iconv has no counterpart, and every byte converted into UTF-8 and
// back must give iconv's UTF-8 and the byte again. Also: texts of any characters go through every set
// and back to UTF-8 unchanged; each set loads with the reference characters, unique names and the
// built-in ASCII names, and the transliteration table works in each.
#include <errno.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/charset/builtin_charset.h"
#include "engine/charset/charset.h"
#include "engine/charset/convert.h"
#include "engine/charset/utf8_convert.h"
#include "engine/charset/utf8_sequence.h"
#include "engine/stream/stream.h"
#include "engine/subst/substitute.h"
#include "tests/support/drain.h"

namespace {

struct Shipped {
  const char *file;   // set name, data/<file>.chs
  const char *iconv;  // glibc's name of the same encoding
};

const Shipped kSets[] = {{"ascii", "ASCII"},        {"latin1", "ISO-8859-1"}, {"latin2", "ISO-8859-2"},
                         {"latin9", "ISO-8859-15"}, {"cp1252", "CP1252"},     {"cp437", "IBM437"},
                         {"cp850", "IBM850"},       {"macroman", "MACINTOSH"}};

// A head stream named after the data directory with one stage, so that stages find the shipped files.
template <class Stage>
struct InData {
  InData() {
    head.Add(&stage);
    head.Open(RUNEFLOW_DATA_DIR);
  }
  std::string Run(const std::string &text) { return RunPipeline(head, text); }
  CStream head;
  Stage stage;
};

// iconv's conversion of one byte between encodings of glibc's names, or nothing when iconv refuses it as
// having no counterpart.
std::optional<std::string> Iconv(const char *fromName, const char *toName, unsigned char byte) {
  iconv_t cd = iconv_open(toName, fromName);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv_open " << fromName << " -> " << toName;
    return std::nullopt;
  }
  char in[1] = {static_cast<char>(byte)};
  char out[16];
  char *inAt = in, *outAt = out;
  size_t inLeft = 1, outLeft = sizeof out;
  const size_t result = iconv(cd, &inAt, &inLeft, &outAt, &outLeft);
  const int error = errno;
  iconv_close(cd);
  if (result == static_cast<size_t>(-1)) {
    EXPECT_EQ(error, EILSEQ) << fromName << " -> " << toName << " byte " << int(byte);
    return std::nullopt;
  }
  EXPECT_EQ(result, 0u) << "irreversible: " << fromName << " -> " << toName << " byte " << int(byte);
  return std::string(out, outAt);
}

std::optional<std::string> Iconv(const Shipped &from, const Shipped &to, unsigned char byte) {
  return Iconv(from.iconv, to.iconv, byte);
}

// The suite is named like its program, so that "ctest -R shipped" selects it.
TEST(shipped_sets, ConvertLikeIconv) {
  std::vector<std::string> mismatches;
  for (const Shipped &from : kSets) {
    for (const Shipped &to : kSets) {
      InData<CConvert> conversion;
      ASSERT_TRUE(conversion.stage.Open(from.file, to.file)) << conversion.stage.m_errText;
      const CCharSet &a = *conversion.stage.from;
      const CCharSet &b = *conversion.stage.to;
      const std::string pair = std::string(from.file) + " -> " + to.file;
      // Every defined byte, each followed by a line feed so that no bytes form a reference by accident.
      std::string input, expected;
      std::vector<std::string> pieces(256);
      for (int value = 0; value < 256; ++value) {
        if (a.chars[value].value != value) continue;
        const char *name = a.chars[value].name;
        const std::optional<std::string> oracle = Iconv(from, to, static_cast<unsigned char>(value));
        const bool named = b.chsval(name) >= 0;
        if (oracle.has_value() != named) {
          mismatches.push_back(pair + ": byte " + std::to_string(value) + " (" + name + "): iconv " +
                               (oracle ? "converts it" : "refuses it") + ", the destination " +
                               (named ? "defines" : "lacks") + " the name");
        }
        pieces[value] = oracle ? *oracle : char(b.begin_entity) + std::string(name) + char(b.end_entity);
        input += char(value) + std::string("\n");
        expected += pieces[value] + "\n";
      }
      if (conversion.Run(input) == expected) continue;
      mismatches.push_back(pair + ": the whole text differs");
      // Which bytes: each converted on its own.
      for (int value = 0; value < 256; ++value) {
        if (a.chars[value].value != value) continue;
        const std::string got = conversion.Run(std::string(1, char(value)) + "\n");
        if (got != pieces[value] + "\n") {
          mismatches.push_back(pair + ": byte " + std::to_string(value) + " (" + a.chars[value].name +
                               "): engine " + testing::PrintToString(got) + ", expected " +
                               testing::PrintToString(pieces[value] + "\n"));
        }
      }
    }
  }
  std::string report;
  for (const std::string &line : mismatches) report += line + "\n";
  EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " mismatches:\n" << report;
}

// Each set's bytes in UTF-8, as iconv reads them: where the shipped sets follow Python's codecs instead
// of glibc (Mac OS Roman 0xC6 and 0xF0), Python's characters.
TEST(shipped_sets, IntoUtf8AndBackLikeIconv) {
  for (const Shipped &set : kSets) {
    InData<CUtf8Convert> encode, decode;
    ASSERT_TRUE(encode.stage.Open(set.file, kUtf8)) << encode.stage.m_errText;
    ASSERT_TRUE(decode.stage.Open(kUtf8, set.file)) << decode.stage.m_errText;
    const CCharSet &defined = *encode.stage.from;
    // Every defined byte, each followed by a line feed so that no bytes form a reference by accident.
    std::string bytes, utf8;
    for (int value = 0; value < 256; ++value) {
      if (defined.chars[value].value != value) continue;
      std::optional<std::string> oracle = Iconv(set.iconv, "UTF-8", static_cast<unsigned char>(value));
      if (std::string(set.file) == "macroman" && value == 0xC6) oracle = "\xE2\x88\x86";  // U+2206
      if (std::string(set.file) == "macroman" && value == 0xF0) oracle = "\xEF\xA3\xBF";  // U+F8FF
      ASSERT_TRUE(oracle.has_value())
          << set.file << ": iconv refuses byte " << value << ", which the set defines";
      EXPECT_EQ(encode.Run(std::string(1, char(value))), *oracle) << set.file << " byte " << value;
      bytes += char(value) + std::string("\n");
      utf8 += *oracle + "\n";
    }
    EXPECT_EQ(encode.Run(bytes), utf8) << set.file;
    EXPECT_EQ(decode.Run(utf8), bytes) << set.file;
  }
}

// Random texts of valid UTF-8 without "&" go into every set and come back unchanged, whatever the set
// lacks travelling as references; texts of a set's bytes come back from UTF-8 unchanged.
TEST(shipped_sets, RoundTripsThroughUtf8) {
  std::mt19937 random(20261207);
  for (const Shipped &set : kSets) {
    InData<CUtf8Convert> decode, encode;
    ASSERT_TRUE(decode.stage.Open(kUtf8, set.file) && encode.stage.Open(set.file, kUtf8));
    std::vector<unsigned char> bytes;  // the set's bytes but "&"
    for (int value = 0; value < 256; ++value)
      if (encode.stage.from->chars[value].value == value && value != '&')
        bytes.push_back(static_cast<unsigned char>(value));
    for (int round = 0; round < 20; ++round) {
      std::string text, inSet;
      const size_t length = random() % 5000;
      while (text.size() < length) {
        // Mostly characters of the shipped sets, else any character of any plane.
        unsigned int point = random() % 2 ? random() % 0x2600 : random() % 0x110000;
        if (point == '&' || (point >= 0xD800 && point <= 0xDFFF) || (text.empty() && point == 0xFEFF))
          continue;
        unsigned char encoded[4];
        text.append(reinterpret_cast<char *>(encoded), EncodeUtf8(point, encoded));
        inSet += char(bytes[random() % bytes.size()]);
      }
      ASSERT_EQ(encode.Run(decode.Run(text)), text) << set.file << ", round " << round;
      ASSERT_EQ(decode.Run(encode.Run(inSet)), inSet) << set.file << ", round " << round;
    }
  }
}

TEST(shipped_sets, LoadWithReferencesUniqueNamesAndTheBuiltinAsciiNames) {
  const CCharSet &builtin = *BuiltinCharSet();
  for (const Shipped &shipped : kSets) {
    InData<CStreamObj> loader;
    CCharSet set;
    ASSERT_TRUE(set.Open(&loader.stage, shipped.file)) << loader.stage.m_errText;
    EXPECT_EQ(set.begin_entity, '&') << shipped.file;
    EXPECT_EQ(set.end_entity, ';') << shipped.file;
    EXPECT_EQ(set.numeric_entity, '#') << shipped.file;
    for (int value = 0; value < 256; ++value) {
      if (set.chars[value].value == value) {
        EXPECT_EQ(set.chsval(set.chars[value].name), value) << shipped.file << ": name shared by two values";
      }
      if (builtin.chars[value].value == value) {
        EXPECT_EQ(set.chsval(builtin.chars[value].name), value)
            << shipped.file << ": " << builtin.chars[value].name;
      }
    }
    std::ifstream file(std::string(RUNEFLOW_DATA_DIR) + "/" + shipped.file + ".chs");
    std::string first;
    std::getline(file, first);
    EXPECT_EQ(first.rfind("! " + std::string(shipped.file) + ": ", 0), 0u) << first;
  }
}

// Case pairs the loader makes from the names, across scripts and ligatures.
TEST(shipped_sets, CasePartnersArePairedAndLookalikesAreNot) {
  struct Pair {
    const char *set;
    int upper, lower;  // -1: the byte has no partner
  };
  const Pair pairs[] = {{"latin1", 0xC9, 0xE9}, {"latin2", 0xA3, 0xB3}, {"cp1252", 0x8C, 0x9C},
                        {"cp1252", 0x9F, 0xFF}, {"cp437", 0xE4, 0xE5},  {"cp437", 0xE8, 0xED},
                        {"cp1252", 0x87, -1},   {"latin1", 0xDF, -1},   {"macroman", 0xDE, -1}};
  for (const Pair &p : pairs) {
    InData<CStreamObj> loader;
    CCharSet set;
    ASSERT_TRUE(set.Open(&loader.stage, p.set));
    EXPECT_EQ(set.othercase[p.upper], p.lower) << p.set << " " << p.upper;
  }
}

// The transliteration table loads for a text in every shipped set and, put before a conversion to ascii,
// leaves plain ASCII.
TEST(shipped_sets, TransliterationBeforeAsciiConversion) {
  struct Case {
    const char *set;
    std::string text, ascii;
  };
  const std::vector<Case> cases = {
      {"latin1",
       "Stra\xDF"
       "e \xAB\xE9t\xE9\xBB \xBD\xB0 \xA9",
       "Strasse <<ete>> 1/2deg (C)"},
      {"latin2",
       "\xA3\xF3"
       "d\xBC \xC8"
       "e\xB9ka",
       "Lodz Ceska"},
      {"latin9", "\xA4 \xBC\xBD", "EUR OEoe"},
      {"cp1252", "\x93q\x94 \x85 \x80 \x96 \x99 100\x89", "\"q\" ... EUR - (TM) 100o/oo"},
      {"cp437", "\xC9\xCD\xBB\n\xBA\xB0\xBA\n\xC0\xC4\xD9", "+=+\n|#|\n+-+"},
      {"cp850", "\x9D\x9B \x90", "Oo E"},
      {"macroman", "\xC7\xD2\xD3\xC8 \xAE\xCF \xC9", "<<\"\">> AEoe ..."},
      {"ascii", "a&b%c\\d", "a&b%c\\d"},
  };
  for (const Case &c : cases) {
    InData<CSubstitute> pipeline;
    CConvert toAscii;
    pipeline.head.Add(&toAscii);
    ASSERT_TRUE(pipeline.stage.Open("translit", c.set)) << pipeline.stage.m_errText;
    ASSERT_TRUE(toAscii.Open(c.set, "ascii")) << toAscii.m_errText;
    EXPECT_EQ(pipeline.Run(c.text), c.ascii) << c.set;
  }
}

}  // namespace
