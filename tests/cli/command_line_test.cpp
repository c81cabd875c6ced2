// The tools' shared command-line reader: GNU's rules for options, operands
// and "--", the refusals, and the help made from the option table.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/cli/command_line.h"

namespace {

struct Seen {
    std::string seconds = "unset";
    bool quiet = false;
    std::vector<std::string> operands;
};

cli::Tool MakeTool(Seen& seen) {
    cli::Tool tool{"tool", "[--seconds S] [--quiet] FILE...\n [--more]", "Does things.", {}, nullptr, "Exit status: 0."};
    tool.options = {
        {"--seconds", "S", "how long\nin seconds",
         [&seen](std::string_view value, std::string& error) {
             seen.seconds = value;
             error = "--seconds refused " + std::string(value);
             return value != "bad";
         }},
        {"--quiet", "", "say less", cli::SetFlag(seen.quiet)},
    };
    tool.operands = [&seen](std::span<const std::string> operands, const cli::Given& given, std::string& error) {
        seen.operands.assign(operands.begin(), operands.end());
        error = "no file";
        return !operands.empty() || given.Has("--quiet");
    };
    return tool;
}

cli::Reading Read(Seen& seen, std::vector<std::string_view> args) { return cli::Read(MakeTool(seen), args); }

TEST(CommandLine, OptionsOperandsAndTheDoubleDash) {
    Seen seen;
    ASSERT_EQ(Read(seen, {"a", "--seconds", "2", "--quiet", "b"}).outcome, cli::Outcome::Run);
    EXPECT_EQ(seen.seconds, "2");
    EXPECT_TRUE(seen.quiet);
    EXPECT_EQ(seen.operands, (std::vector<std::string>{"a", "b"}));
    // A value is the next word even when it starts with a dash; a lone dash is an operand.
    ASSERT_EQ(Read(seen = {}, {"--seconds", "-1", "-"}).outcome, cli::Outcome::Run);
    EXPECT_EQ(seen.seconds, "-1");
    EXPECT_EQ(seen.operands, (std::vector<std::string>{"-"}));
    ASSERT_EQ(Read(seen = {}, {"--seconds=", "--", "--quiet", "-odd", "--help"}).outcome, cli::Outcome::Run);
    EXPECT_EQ(seen.seconds, "");
    EXPECT_FALSE(seen.quiet);
    EXPECT_EQ(seen.operands, (std::vector<std::string>{"--quiet", "-odd", "--help"}));
    // Help and version end the reading where they stand.
    EXPECT_EQ(Read(seen = {}, {"-h", "--bogus"}).outcome, cli::Outcome::Help);
    EXPECT_EQ(Read(seen = {}, {"x", "--version", "--seconds"}).outcome, cli::Outcome::Version);
    EXPECT_TRUE(seen.operands.empty());  // the operands were never checked
}

TEST(CommandLine, RefusalsNameTheProblem) {
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
        {{"a", "--bogus", "--help"}, "unknown option --bogus"},
        {{"a", "-x"}, "unknown option -x"},
        {{"a", "--quiet=yes"}, "--quiet takes no value"},
        {{"a", "--version=2"}, "--version takes no value"},
        {{"a", "--seconds"}, "--seconds needs a value"},
        {{"--seconds=bad", "a"}, "--seconds refused bad"},
        {{}, "no file"},
    };
    for (const auto& [args, error] : cases) {
        Seen seen;
        const cli::Reading reading = Read(seen, args);
        EXPECT_EQ(reading.outcome, cli::Outcome::Refused) << error;
        EXPECT_EQ(reading.error, error);
    }
    Seen seen;
    cli::Tool bare = MakeTool(seen);
    bare.operands = nullptr;
    const std::string_view stray[] = {"--quiet", "stray"};
    EXPECT_EQ(cli::Read(bare, stray).error, "unexpected argument \"stray\"");
    EXPECT_EQ(cli::Refusal(bare, "why"), "tool: why\n" + cli::Usage(bare) + "Try 'tool --help' for more information.\n");
}

TEST(CommandLine, HelpListsEveryOptionInOneColumn) {
    Seen seen;
    EXPECT_EQ(cli::Help(MakeTool(seen)),
              "usage: tool [--seconds S] [--quiet] FILE...\n"
              "            [--more]\n"
              "\n"
              "Does things.\n"
              "\n"
              "Options:\n"
              "  --seconds S  how long\n"
              "               in seconds\n"
              "  --quiet      say less\n"
              "  -h, --help   print this help and exit\n"
              "  --version    print the version and exit\n"
              "\n"
              "Exit status: 0.\n");
}

TEST(CommandLine, NumbersAreReadWhole) {
    double number = 0.0;
    EXPECT_TRUE(cli::ReadNumber("2.5", number));
    EXPECT_EQ(number, 2.5);
    for (const char* bad : {"", "2.5s", "nan", "inf", "1e999", "0x"}) EXPECT_FALSE(cli::ReadNumber(bad, number)) << bad;
    std::int64_t whole = 0;
    EXPECT_TRUE(cli::ReadWhole("-12", whole));
    EXPECT_EQ(whole, -12);
    for (const char* bad : {"", "1.5", "12 ", "99999999999999999999"}) EXPECT_FALSE(cli::ReadWhole(bad, whole)) << bad;
    EXPECT_EQ(number, 2.5);  // a refused text leaves the value as it was
    EXPECT_EQ(whole, -12);
}

}  // namespace
