// The runeflow command's arguments: option forms, stage order and defaults, and the usage errors.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The parsed command in one line: stages, then "<" inputs, ">" output, "+" data dirs and flags.
std::string Summary(const std::vector<std::string> &arguments) {
  CommandLine command;
  if (!command.Parse(arguments)) return "error: " + command.error();
  std::ostringstream text;
  for (const StageRequest &stage : command.stages)
    text << (stage.kind == StageRequest::kConvert ? "c(" : "t(") << stage.first << "|" << stage.second
         << ") ";
  for (const std::string &input : command.inputs) text << "<" << input << " ";
  if (!command.output.empty()) text << ">" << command.output << " ";
  for (const std::string &dir : command.dataDirs) text << "+" << dir << " ";
  text << (command.list ? "l" : "") << (command.variables ? "v" : "") << (command.help ? "h" : "")
       << (command.version ? "V" : "") << (command.inPlace ? "i" : "");
  if (command.jobs != 1) text << "j" << command.jobs;
  return text.str();
}

TEST(CommandLine, Parses) {
  const struct {
    const char *proves;
    std::vector<std::string> arguments;
    std::string summary;
  } cases[] = {
      {"nothing: standard input to standard output", {}, ""},
      {"stages keep their order", {"-t", "a:x", "-c", "x:y", "-t", "b"}, "t(a|x) c(x|y) t(b|) "},
      {"a conversion into its own set", {"-c", "latin1"}, "c(latin1|latin1) "},
      {"attached and long forms",
       {"-clatin1:ascii", "--table=t:s", "--convert", "a:b"},
       "c(latin1|ascii) t(t|s) c(a|b) "},
      {"files, standard input and -- before a dash name", {"a", "-", "--", "-c", "b"}, "<a <- <-c <b "},
      {"output and data directories", {"-o", "out", "-d", "one", "--data-dir=two"}, ">out +one +two "},
      {"grouped flags, and a value ending a group", {"-lvh", "-vo", "f"}, ">f lvh"},
      {"version", {"--version"}, "V"},
      {"unknown short option", {"-x"}, "error: unknown option -x"},
      {"unknown long option", {"--convert-all"}, "error: unknown option --convert-all"},
      {"missing value", {"-t"}, "error: option -t needs a value"},
      {"value given to a flag", {"--list=yes"}, "error: option --list takes no value"},
      {"long options shortened to what only they begin with",
       {"--conv", "a", "--tab=t:s", "--he", "--li", "--va", "--d", "x"},
       "c(a|a) t(t|s) +x lvh"},
      {"a shortened option is named in full in messages",
       {"--li=yes"},
       "error: option --list takes no value"},
      {"a beginning that only one option has, though another shares part of it", {"--ver"}, "V"},
      {"a beginning that several options share",
       {"--v"},
       "error: option --v is ambiguous (--variables, --version)"},
      {"no name at all", {"--=x"}, "error: unknown option --"},
      {"empty set after the colon", {"-c", "latin1:"}, "error: -c latin1:: the name after \":\" is missing"},
      {"empty first name", {"-t", ":latin1"}, "error: -t :latin1: a name is missing"},
      {"two outputs", {"-o", "a", "-o", "b"}, "error: only one output file can be given"},
      {"files in place, at once", {"-c", "a:b", "--in-place", "-j4", "x", "y"}, "c(a|b) <x <y ij4"},
      {"in place, short and shortened", {"-ij", "2", "x", "--jobs=256", "--in"}, "<x ij256"},
      {"in place without files", {"-i"}, "error: --in-place needs the files to convert"},
      {"standard input cannot be replaced",
       {"-i", "x", "-"},
       "error: --in-place cannot replace standard input (-)"},
      {"in place and an output",
       {"-i", "x", "-o", "y"},
       "error: --in-place writes each file itself, without -o"},
      {"in place and the variables",
       {"-iv", "x"},
       "error: --in-place converts each file with the variables it started with, without -v"},
      {"jobs without in place", {"-j", "2", "x"}, "error: -j converts files at once only with --in-place"},
      {"one job needs nothing", {"-j1", "x"}, "<x "},
      {"jobs must be a number in range",
       {"-i", "x", "-j", "0"},
       "error: option -j needs a number of files from 1 to 256"},
      {"more jobs than allowed",
       {"-i", "x", "--jobs=257"},
       "error: option --jobs needs a number of files from 1 to 256"},
      {"jobs that are no number",
       {"-i", "x", "-j", "2x"},
       "error: option -j needs a number of files from 1 to 256"},
      {"help goes before what would be wrong", {"-i", "-h"}, "hi"},
  };
  for (const auto &c : cases) EXPECT_EQ(Summary(c.arguments), c.summary) << c.proves;
}

TEST(CommandLine, SplitsPairsAtTheirColon) {
  std::string first, second;
  EXPECT_FALSE(SplitPair("latin1", &first, &second));
  ASSERT_TRUE(SplitPair("a:b:c", &first, &second));
  EXPECT_EQ(first + "|" + second, "a|b:c");
#ifdef _WIN32
  ASSERT_TRUE(SplitPair("C:\\sets\\a:D:\\b", &first, &second));  // drive letters are kept
  EXPECT_EQ(first + "|" + second, "C:\\sets\\a|D:\\b");
  EXPECT_FALSE(SplitPair("C:\\sets\\a", &first, &second));
#else
  ASSERT_TRUE(SplitPair("c:/sets/a", &first, &second));  // POSIX names have no drive letters
  EXPECT_EQ(first + "|" + second, "c|/sets/a");
#endif
}

}  // namespace
