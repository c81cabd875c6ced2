#include "tools/cli/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/cli/version.h"

namespace cli {
namespace {

// The options every tool has, in --help after its own.
const Option kHelpOption{"--help", "", "print this help and exit", nullptr};
const Option kVersionOption{"--version", "", "print the version and exit", nullptr};

const Option* FindOption(const Tool& tool, std::string_view name) {
    for (const Option& option : tool.options) {
        if (!option.name.empty() && option.name == name) return &option;
    }
    return nullptr;
}

Reading Refuse(std::string error) { return {Outcome::Refused, std::move(error)}; }

// "--seconds S", and "-h, --help" for the one option with a short form.
std::string Label(const Option& option) {
    std::string label = option.name == "--help" ? "-h, --help" : std::string(option.name);
    if (!option.value.empty()) label.append(" ").append(option.value);
    return label;
}

void AppendOption(std::string& text, const Option& option, std::size_t column) {
    if (option.name.empty()) {
        text.append(option.help).append("\n");
        return;
    }
    std::string line = "  " + Label(option);
    line.resize(std::max(column, line.size() + 2), ' ');
    std::string_view help = option.help;
    for (bool first = true;; first = false) {
        const std::size_t end = help.find('\n');
        if (!first) line.assign(column, ' ');
        text.append(line).append(help.substr(0, end)).append("\n");
        if (end == std::string_view::npos) break;
        help.remove_prefix(end + 1);
    }
}

}  // namespace

bool Given::Has(std::string_view name) const { return std::find(names.begin(), names.end(), name) != names.end(); }

Reading Read(const Tool& tool, std::span<const std::string_view> args) {
    std::vector<std::string> operands;
    Given given;
    bool optionsEnded = false;
    std::string error;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name == "-h" || name == "--help" || name == "--version") {
            if (value) return Refuse(std::string(name) + " takes no value");
            return {name == "--version" ? Outcome::Version : Outcome::Help, {}};
        }
        const Option* option = FindOption(tool, name);
        if (!option) return Refuse("unknown option " + std::string(name));
        if (option->value.empty()) {
            if (value) return Refuse(std::string(name) + " takes no value");
            value = std::string_view();
        } else if (!value) {
            if (i + 1 >= args.size()) return Refuse(std::string(name) + " needs a value");
            value = args[++i];
        }
        if (!option->take(*value, error)) return Refuse(std::move(error));
        given.names.push_back(option->name);
    }
    if (!tool.operands) {
        if (!operands.empty()) return Refuse("unexpected argument \"" + operands.front() + "\"");
    } else if (!tool.operands(operands, given, error)) {
        return Refuse(std::move(error));
    }
    return {};
}

std::string Usage(const Tool& tool) {
    std::string text;
    std::string_view forms = tool.synopsis;
    for (bool first = true;; first = false) {
        const std::size_t end = forms.find('\n');
        std::string_view form = forms.substr(0, end);
        if (form.starts_with(' ')) {
            form.remove_prefix(std::min(form.find_first_not_of(' '), form.size()));
            text.append(std::string(tool.name.size() + 8, ' '));
        } else {
            text.append(first ? "usage: " : "       ").append(tool.name).append(" ");
        }
        text.append(form).append("\n");
        if (end == std::string_view::npos) break;
        forms.remove_prefix(end + 1);
    }
    return text;
}

std::string Help(const Tool& tool) {
    std::string text = Usage(tool);
    text.append("\n").append(tool.about).append("\n\n");
    std::size_t column = 0;
    for (const Option* option : {&kHelpOption, &kVersionOption}) column = std::max(column, Label(*option).size());
    for (const Option& option : tool.options) {
        if (!option.name.empty()) column = std::max(column, Label(option).size());
    }
    column += 4;  // two spaces of indent, two between the label and its text
    // A tool that groups its options under headings gets one more for these two.
    const bool grouped = !tool.options.empty() && tool.options.front().name.empty();
    if (!grouped) text.append("Options:\n");
    for (const Option& option : tool.options) AppendOption(text, option, column);
    if (grouped) text.append("Other options:\n");
    AppendOption(text, kHelpOption, column);
    AppendOption(text, kVersionOption, column);
    if (!tool.notes.empty()) text.append("\n").append(tool.notes).append("\n");
    return text;
}

std::string Version(std::string_view program) {
    std::string text = std::string(program) + " (Quandrix 2oo5) " + kProjectVersion + "\n";
    if (*kSourceCommit == '\0') {
        text += "built from a source tree without git history: commit unknown\n";
    } else {
        text += std::string("commit ") + kSourceCommit + (kSourceModified ? ", with uncommitted changes" : "") + "\n";
    }
    text += "Free software under the MIT licence (the file LICENSE); there is NO WARRANTY.\n";
    return text;
}

std::string Refusal(const Tool& tool, std::string_view reason) {
    std::string text = std::string(tool.name) + ": " + std::string(reason) + "\n" + Usage(tool);
    text.append("Try '").append(tool.name).append(" --help' for more information.\n");
    return text;
}

std::optional<int> ReadCommandLine(const Tool& tool, int argc, const char* const* argv, std::FILE* out,
                                   std::FILE* err) {
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    const Reading reading = Read(tool, args);
    std::string text;
    switch (reading.outcome) {
    case Outcome::Run:
        return std::nullopt;
    case Outcome::Help:
        text = Help(tool);
        break;
    case Outcome::Version:
        text = Version(tool.name);
        break;
    case Outcome::Refused:
        text = Refusal(tool, reading.error);
        std::fwrite(text.data(), 1, text.size(), err);
        return kExitUsage;
    }
    std::fwrite(text.data(), 1, text.size(), out);
    // Help that did not arrive (a full disk, a closed pipe with SIGPIPE
    // ignored) is a failure, not a success.
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "%.*s: cannot write to standard output: %s\n", static_cast<int>(tool.name.size()),
                     tool.name.data(), std::strerror(errno));
        return 1;
    }
    return 0;
}

TakeValue SetFlag(bool& flag) {
    return [&flag](std::string_view, std::string&) {
        flag = true;
        return true;
    };
}

TakeOperands TakeOne(std::string& operand, std::string_view what) {
    return [&operand, what](std::span<const std::string> operands, const Given&, std::string& error) {
        if (operands.size() != 1) {
            const std::string_view noun = what.substr(what.find(' ') + 1);  // "a folder" -> "folder"
            error = operands.empty() ? std::string(what) + " is needed" : "one " + std::string(noun) + " at a time";
            return false;
        }
        operand = operands[0];
        return true;
    };
}

bool ReadNumber(std::string_view text, double& value) {
    const std::string copy(text);  // strtod needs the terminating NUL
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool ReadWhole(std::string_view text, std::int64_t& value) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(copy.c_str(), &end, 10);
    if (copy.empty() || *end != '\0' || errno == ERANGE) return false;
    value = parsed;
    return true;
}

}  // namespace cli
