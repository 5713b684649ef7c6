// The command line: --help and --version answer and succeed, anything else is refused with 2.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/shell.h"

namespace {

struct Outcome {
  int code;
  std::string out, err;
};

Outcome Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "qivra");
  std::vector<char*> argv;
  for (const char* a : args) argv.push_back(const_cast<char*>(a));
  char *outText = nullptr, *errText = nullptr;
  size_t outSize = 0, errSize = 0;
  FILE* out = open_memstream(&outText, &outSize);
  FILE* err = open_memstream(&errText, &errSize);
  Outcome o;
  o.code = HandleCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  std::fclose(out);
  std::fclose(err);
  o.out = outText;
  o.err = errText;
  std::free(outText);
  std::free(errText);
  return o;
}

TEST(CommandLine, VersionAndHelpPrintAndSucceed) {
  Outcome version = Parse({"--version"});
  EXPECT_EQ(0, version.code);
  EXPECT_EQ(std::string("qivra ") + QIVRA_TEST_VERSION + "\n", version.out);
  EXPECT_EQ(version.out, Parse({"-V"}).out);

  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  Outcome help = Parse({"--help"});
  Outcome both = Parse({"--version", "-h"});
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(0, help.code);
  EXPECT_EQ("", help.err);
  for (const char* text : {"Usage: qivra", "./config.txt", "/cfg/qivra/config.txt", "/cfg/qivra/last-connection.txt",
                           "XDG_CONFIG_HOME", "DISPLAY", "QIVRA_LOCK_DIR"})
    EXPECT_NE(std::string::npos, help.out.find(text)) << "no \"" << text << "\" in:\n" << help.out;
  EXPECT_EQ(help.out, both.out) << "help wins";
}

TEST(CommandLine, NothingStartsAndAnythingElseIsRefused) {
  EXPECT_EQ(-1, Parse({}).code);
  Outcome unknown = Parse({"--fullscreen"});
  EXPECT_EQ(2, unknown.code);
  EXPECT_EQ("", unknown.out);
  EXPECT_EQ("qivra: unknown option '--fullscreen'\nTry 'qivra --help'.\n", unknown.err);
  Outcome extra = Parse({"--version", "irc.test"});
  EXPECT_EQ(2, extra.code) << "a refused argument wins over --version";
  EXPECT_EQ("", extra.out);
  EXPECT_NE(std::string::npos, extra.err.find("unexpected argument 'irc.test'"));
}

}  // namespace
