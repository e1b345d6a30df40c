// Checks of loaded sets and tables, written from their documented invariants rather than from the
// loaders, so that a loader that breaks one is caught whatever input led it there.
#include "fuzz/invariants.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "engine/charset/read_line.h"
#include "engine/subst/entry_dump.h"
#include "fuzz/support.h"

namespace {

// name with every capital A to Z made small, as the case pairing folds it.
std::string Folded(const char *name) {
  std::string folded(name);
  for (char &c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool Defined(const CCharSet &set, int value) {
  return value >= 0 && value <= 255 && set.chars[value].value == value;
}

void CheckPartner(const CCharSet &set, int value) {
  const int partner = set.othercase[value];
  if (partner == -1) return;
  Check(Defined(set, value) && Defined(set, partner) && partner != value, "value %d paired with %d", value,
        partner);
  const char *name = set.chars[value].name;
  const char *partnerName = set.chars[partner].name;
  const unsigned int subsets = set.chars[value].subsets;
  const bool upper = Folded(name) == partnerName;
  Check(upper != (Folded(partnerName) == name), "%d \"%s\" and %d \"%s\" are no case pair", value, name,
        partner, partnerName);
  if (!upper) {
    Check(set.othercase[partner] == value && set.chsval(name) == value && (subsets & 0xCu) == 0xCu,
          "lower-case side %d of %d: partner's partner %d, subsets %#x", value, partner,
          set.othercase[partner], subsets);
    return;
  }
  // The lower-case side may have gone to a later upper-case name that folds alike.
  const int winner = set.othercase[partner];
  Check((subsets & 0x14u) == 0x14u && name[0] >= 'A' && name[0] <= 'Z', "upper-case side %d: subsets %#x",
        value, subsets);
  Check(winner == value ||
            (Defined(set, winner) && winner > value && Folded(set.chars[winner].name) == partnerName),
        "upper-case %d pairs with %d, whose partner is %d", value, partner, winner);
}

}  // namespace

void CheckLoadedSet(const CCharSet &set) {
  Check(set.chars != nullptr && set.othercase != nullptr && set.filename != nullptr,
        "loaded set lacks tables");
  for (int value = 0; value < 256; ++value) {
    const chs_entry &c = set.chars[value];
    if (c.value == -1) {
      Check(c.name == nullptr && c.subsets == 0 && set.othercase[value] == -1,
            "undefined value %d has a name, subsets or a partner", value);
      continue;
    }
    Check(c.value == value && c.name != nullptr, "record %d holds value %d", value, c.value);
    Check(std::strlen(c.name) <= static_cast<size_t>(kCharNameMax), "name of %d is too long", value);
    Check((c.subsets & 1u) == 0, "value %d is in subset 0", value);
    const int first = set.chsval(c.name);
    Check(first >= 0 && first <= value && std::strcmp(set.chars[first].name, c.name) == 0,
          "chsval(\"%s\") of value %d gives %d", c.name, value, first);
    CheckPartner(set, value);
  }
  for (int role : {set.begin_entity, set.end_entity, set.numeric_entity})
    Check(role == -1 || Defined(set, role), "reference character %d is not defined", role);
  Check((set.begin_entity == -1) == (set.end_entity == -1), "begin %d without end %d or the reverse",
        set.begin_entity, set.end_entity);
}

namespace {

// The units of a compiled string: a byte, or the escape code and its letter (an escape code that ends
// the string is a byte). In a replacement the variable code and its letter are one unit too.
struct Units {
  int count = 0;        // units
  int wildcards = 0;    // escapes whose letter is a wildcard's
  int wildcardAt = -1;  // index of the last wildcard
  int captures = 0;     // pattern: one-character parameters; replacement: captures asked for after the
                        // last "\<", skips included
};

Units Scan(const CSubstTbl &t, const char *text, bool pattern, const char *subs) {
  const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
  Units u;
  for (int k = 0; s[k] != '\0'; ++u.count) {
    const bool escape = s[k] == t.c_esc && s[k + 1] != '\0';
    if (!escape) {
      k += !pattern && s[k] == t.c_pct && s[k + 1] != '\0' ? 2 : 1;
      continue;
    }
    const unsigned char letter = s[k + 1];
    if (pattern) Check(subs[k] >= 0 && subs[k] <= kSubsetMax, "subset %d at pattern index %d", subs[k], k);
    if (letter == t.c_star || letter == t.c_plus || letter == t.c_minus) {
      ++u.wildcards;
      u.wildcardAt = k;
    } else if (letter == t.c_query || letter == t.c_bang || letter == t.c_dot ||
               (!pattern && letter == t.c_gt)) {
      ++u.captures;
    } else if (!pattern && letter == t.c_lt) {
      u.captures = 0;
    }
    k += 2;
  }
  return u;
}

}  // namespace

void CheckLoadedTable(const CSubstTbl &t) {
  Check(t.count >= 0 && t.count <= kMaxEntries, "%d entries", t.count);
  Check(t.aliases == nullptr && t.strbuf == nullptr, "aliases or string buffer kept after the load");
  Check(t.dropunmatched == 0 || t.dropunmatched == 1, "dropunmatched %d", t.dropunmatched);
  Check(t.concat != nullptr && strnlen(t.concat, kConcatSize) < static_cast<size_t>(kConcatSize),
        "separator unterminated");
  for (int index = 0; index < t.count; ++index) {
    const sub_struct &e = t.entries[index];
    Check(e.from != nullptr && e.to != nullptr && e.subs != nullptr, "entry %d lacks a string", index);
    const int length = static_cast<int>(std::strlen(e.from));
    Check(length < kMaxPattern && std::strlen(e.to) < static_cast<size_t>(kMaxPattern),
          "entry %d: strings of %d and %zu bytes", index, length, std::strlen(e.to));
    Check(e.start == 0 && e.pi == 0 && e.wc == 0, "entry %d: matcher fields not cleared", index);
    Check(e.group == 0 || (e.group & (e.group - 1)) == 0, "entry %d: group mask %#x", index, e.group);
    Check((e.group == 0) == (e.after == 0) && e.after >= 0 && e.after <= 2 && e.state == (e.group ? 2 : 0),
          "entry %d: group %#x, after %d, state %d", index, e.group, e.after, e.state);
    Check(e.back >= 0 && (e.stop == 0 || e.stop == 1), "entry %d: back %d, stop %d", index, e.back, e.stop);
    Check(e.wsubset >= 0 && e.wsubset <= kSubsetMax && e.to_subset >= 0 && e.to_subset <= kSubsetMax,
          "entry %d: wildcard subsets %d and %d", index, e.wsubset, e.to_subset);
    Check(e.term >= -kSubsetMax && e.term <= 255, "entry %d: terminator %d", index, e.term);

    const Units from = Scan(t, e.from, true, e.subs);
    Check(from.wildcards <= 1, "entry %d: %d wildcards in \"%s\"", index, from.wildcards,
          DumpEntry(t, e).c_str());
    Check(from.wildcardAt != 0 && !(length > 2 && from.wildcardAt == length - 2),
          "entry %d: wildcard first or last in %s", index, DumpEntry(t, e).c_str());
    Check(e.var == 0 || from.wildcards == 1, "entry %d: variable %c without a wildcard in %s", index, e.var,
          DumpEntry(t, e).c_str());
    // Without a wildcard a match is shorter than kMaxPattern, which every window holds anyway.
    const long long longest = std::min<long long>(from.count - 1 + static_cast<long long>(e.wmax), INT_MAX);
    Check(from.wildcards == 0 || t.maxmatch >= longest, "entry %d may match %lld bytes, maxmatch %d", index,
          longest, t.maxmatch);

    const Units to = Scan(t, e.to, false, nullptr);
    Check(to.wildcards <= (from.wildcards != 0 ? 1 : 0), "entry %d: replacement wildcards in %s", index,
          DumpEntry(t, e).c_str());
    Check(to.captures <= from.captures, "entry %d: replacement asks for %d of %d captures in %s", index,
          to.captures, from.captures, DumpEntry(t, e).c_str());
  }
}

namespace {

// The file's lines, each without its line feed (a last line without one included).
std::vector<std::string> Lines(const std::string &file) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; start < file.size(); start = end + 1) {
    end = file.find('\n', start);
    if (end == std::string::npos) end = file.size();
    lines.push_back(file.substr(start, end - start));
  }
  return lines;
}

}  // namespace

bool HasLongLine(const std::string &file) {
  const std::vector<std::string> lines = Lines(file);
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string &line = lines[n];
    const bool lineEndHasReturn =
        !line.empty() && line.back() == '\r' && (n + 1 < lines.size() || file.back() == '\n');
    const size_t length = line.size() - (lineEndHasReturn ? 1 : 0);
    if (length > static_cast<size_t>(kLineMax) && line[0] != '!') return true;
  }
  return false;
}

std::string WithShortComments(const std::string &file) {
  std::string shortened;
  const std::vector<std::string> lines = Lines(file);
  for (size_t n = 0; n < lines.size(); ++n) {
    shortened += !lines[n].empty() && lines[n][0] == '!' ? "!" : lines[n];
    if (n + 1 < lines.size() || file.back() == '\n') shortened += '\n';
  }
  return shortened;
}

std::string SetDigest(const CCharSet &set) {
  std::string digest = std::to_string(set.begin_entity) + "," + std::to_string(set.end_entity) + "," +
                       std::to_string(set.numeric_entity) + "\n";
  for (int value = 0; value < 256; ++value) {
    const chs_entry &c = set.chars[value];
    if (c.value == -1) continue;
    digest += std::to_string(value) + " " + std::to_string(c.subsets) + " " +
              std::to_string(set.othercase[value]) + " " + c.name + "\n";
  }
  return digest;
}

std::string TableDigest(const CSubstTbl &table) {
  std::string digest = std::to_string(table.count) + " " + std::to_string(table.maxmatch) + " " +
                       std::to_string(table.dropunmatched) + " " + table.concat + "\n";
  for (int index = 0; index < table.count; ++index) digest += DumpEntry(table, table.entries[index]) + "\n";
  return digest;
}
