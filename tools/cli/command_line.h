#pragma once
// The command line of every quandrix tool, read one way, as GNU tools read
// theirs:
// - "--name VALUE" or "--name=VALUE" for an option that takes a value (the
//   next word is its value even when it starts with "-", so "--seconds -1"
//   is a bad number, not a missing one); "--name" for a flag;
// - "-h" and "--help" print the help on standard output, "--version" the
//   program's version, and the tool exits with 0 without doing anything else;
// - "--" ends the options: every word after it is an operand, even one that
//   starts with "-"; a lone "-" is an operand too;
// - any other word that starts with "-" is an option, never a file or folder:
//   an unknown one is refused.
// A refusal prints "NAME: REASON", the usage and a hint on standard error
// and exits with kExitUsage.
//
// A tool describes itself once, and the reader, the usage and --help all
// come from that description. Adding an option is one entry:
//
//   xmrender::Options options;
//   cli::Tool tool{"quandrix-xmrender", "IN.xm OUT.wav [--seconds S]", "Renders an XM song."};
//   tool.options = {
//       {"--seconds", "S", "seconds of sound (default 60)",
//        [&](std::string_view v, std::string& e) { return ReadSeconds(v, options.seconds, e); }},
//       {"--quiet", "", "no line about what the engine leaves out", cli::SetFlag(options.quiet)},
//   };
//   tool.operands = [&](std::span<const std::string> files, const cli::Given& given, std::string& e) { ... };
//   if (const std::optional<int> status = cli::ReadCommandLine(tool, argc, argv)) return *status;
//   ... run with `options` ...

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

inline constexpr int kExitUsage = 2;  // a bad option or operand, for every tool

// Receives an option's value ("" for a flag); false with the reason, one
// line without the program's name, in `error`.
using TakeValue = std::function<bool(std::string_view value, std::string& error)>;
// The options a command line gave, for the checks across options.
struct Given {
    std::vector<std::string_view> names;  // in the order given, repeats kept
    bool Has(std::string_view name) const;
};
// Receives the operands once every option is read, to check them and the
// options together; false with the reason in `error`.
using TakeOperands =
    std::function<bool(std::span<const std::string> operands, const Given& given, std::string& error)>;

struct Option {
    std::string_view name;   // "--seconds"; empty: `help` is a heading in --help's list
    std::string_view value;  // the value's name in the help ("S"); empty: a flag without a value
    std::string_view help;   // what --help says of it; each "\n" starts a line under the first
    TakeValue take;          // not called for a heading
};

struct Tool {
    std::string_view name;      // the program, "quandrix-xmrender"
    std::string_view synopsis;  // its forms, one a line, each without the program's name; a line
                                // that starts with a space continues the form above
    std::string_view about;     // --help's description, after the usage
    std::vector<Option> options;
    TakeOperands operands;      // null: the tool takes no operands
    std::string_view notes;     // --help's last part: exit status, environment
};

enum class Outcome {
    Run,      // the options were taken and the operands accepted
    Help,     // -h or --help
    Version,  // --version
    Refused,  // see Reading::error
};

struct Reading {
    Outcome outcome = Outcome::Run;
    std::string error;  // Refused: why, one line without the program's name
};

// Reads `args` (the words after the program's name) from the first to the
// last, giving each option's value to its `take`; stops at the first
// refusal, -h, --help or --version.
Reading Read(const Tool& tool, std::span<const std::string_view> args);

// "usage: NAME FORM" and one indented line for each further form.
std::string Usage(const Tool& tool);
// The usage, the description, every option (with -h, --help and --version)
// and the notes.
std::string Help(const Tool& tool);
// "NAME (Quandrix 2oo5) VERSION", the source's commit, and the licence.
std::string Version(std::string_view program);
// "NAME: REASON", the usage and "Try 'NAME --help' for more information."
std::string Refusal(const Tool& tool, std::string_view reason);

// Reads the command line of main(); for -h, --help and --version prints
// their text to `out` and returns 0, for a refusal prints it to `err` and
// returns kExitUsage; nothing when the tool should run.
std::optional<int> ReadCommandLine(const Tool& tool, int argc, const char* const* argv, std::FILE* out = stdout,
                                   std::FILE* err = stderr);

// A TakeValue for a flag: sets `flag`.
TakeValue SetFlag(bool& flag);

// A TakeOperands for a tool that takes exactly one operand, `what` ("a
// folder"): stores it in `operand`; none is "a folder is needed", more are
// "one folder at a time".
TakeOperands TakeOne(std::string& operand, std::string_view what);

// Strict number readers for option values: the whole text must be the
// number; false for an empty text, trailing characters, a value out of the
// type's range, and (for ReadNumber) infinities and NaN.
bool ReadNumber(std::string_view text, double& value);
bool ReadWhole(std::string_view text, std::int64_t& value);

}  // namespace cli
