#include "tools/textpatch/textpatch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "data/glyph2_table.h"
#include "platform/write_file.h"
#include "tools/cli/command_line.h"
#include "tools/textpatch/web_page.h"

namespace textpatch {
namespace {

using data::kTextLineChars;
using data::kTextLinesPerPage;
using data::kTextPages;
using data::kTextSlotBytes;
using data::kTextSlots;

// The markers as the block stores them, NUL included.
constexpr std::string_view kHeaderMarker{data::kHeaderMarkerText, data::kHeaderMarkerBytes};
constexpr std::string_view kLineMarker{data::kLineMarkerText, data::kLineMarkerBytes};

std::vector<std::size_t> FindAll(std::span<const std::uint8_t> file, std::string_view marker) {
    std::vector<std::size_t> at;
    auto it = file.begin();
    while ((it = std::search(it, file.end(), marker.begin(), marker.end())) != file.end()) {
        at.push_back(static_cast<std::size_t>(it - file.begin()));
        ++it;
    }
    return at;
}

std::string Printable(std::string_view marker) { return std::string(marker.substr(0, marker.size() - 1)); }

bool FindOnce(std::span<const std::uint8_t> file, std::string_view marker, std::size_t& at, std::string& error) {
    const auto found = FindAll(file, marker);
    if (found.empty()) {
        error = "marker \"" + Printable(marker) + "\" not found: not a Quandrix executable, or its text block is damaged";
        return false;
    }
    if (found.size() > 1) {
        error = "marker \"" + Printable(marker) + "\" found " + std::to_string(found.size()) +
                " times (at byte offsets";
        for (std::size_t f : found) error += " " + std::to_string(f);
        error += "): cannot tell which one is the text block";
        return false;
    }
    at = found[0];
    return true;
}

bool HasGlyph(char c) {
    return c == ' ' || std::any_of(std::begin(data::glyph2Rows), std::end(data::glyph2Rows),
                                   [c](const data::Glyph2Row& r) { return r.ch == c; });
}

std::string Blank() { return std::string(static_cast<std::size_t>(kTextLineChars), ' '); }

std::string Where(std::string_view name, int line) { return std::string(name) + ":" + std::to_string(line) + ": "; }

// The whole file. Plain C reads: they report a failure (a folder, an I/O
// error) by a value, where a stream's buffer would throw.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error, bool& folder) {
    // A folder is named as one: Windows' C library opens none and says only
    // "permission denied", and Linux opens it and fails the first read.
    std::error_code ignored;
    folder = std::filesystem::is_directory(path, ignored);
    std::FILE* file = folder ? nullptr : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": cannot open: " + std::strerror(folder ? EISDIR : errno);
        return false;
    }
    bytes.clear();
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    const int reason = errno;
    std::fclose(file);
    if (failed) error = path + ": read failed: " + std::strerror(reason);
    return !failed;
}

// Exit status for a file that could not be read: naming a folder is a
// refusal, as in the other tools; anything else a failure.
int ReadFailure(bool folder) { return folder ? 2 : 1; }

std::uint32_t ReadU32(std::span<const std::uint8_t> file, std::size_t at) {
    return static_cast<std::uint32_t>(file[at]) | static_cast<std::uint32_t>(file[at + 1]) << 8 |
           static_cast<std::uint32_t>(file[at + 2]) << 16 | static_cast<std::uint32_t>(file[at + 3]) << 24;
}

}  // namespace

bool LocateBlock(std::span<const std::uint8_t> file, BlockPlace& place, std::string& error) {
    std::size_t headerMarker = 0, lineMarker = 0;
    if (!FindOnce(file, kHeaderMarker, headerMarker, error) || !FindOnce(file, kLineMarker, lineMarker, error)) {
        return false;
    }
    // Both records as data/text_block.h lays them out, reached from their
    // markers; the slots through the header's offset table, as the intro
    // reads them.
    constexpr std::size_t kBeforeMarker = offsetof(data::TextBlockHeader, marker);
    if (headerMarker < kBeforeMarker) {
        error = "marker \"" + Printable(kHeaderMarker) + "\" lies " + std::to_string(headerMarker) +
                " bytes into the file: there is no page-count byte before it";
        return false;
    }
    const std::size_t header = headerMarker - kBeforeMarker;
    const std::size_t area = lineMarker - offsetof(data::TextLineArea, marker);
    if (file.size() - header < sizeof(data::TextBlockHeader)) {
        error = "the offset table after \"" + Printable(kHeaderMarker) + "\" is cut off by the end of the file";
        return false;
    }
    if (file.size() - area < sizeof(data::TextLineArea)) {
        error = "the line area after \"" + Printable(kLineMarker) + "\" is cut off by the end of the file";
        return false;
    }
    place.countAt = header + offsetof(data::TextBlockHeader, pageCount);
    for (std::size_t k = 0; k < place.slotAt.size(); ++k) {
        const std::uint32_t offset = ReadU32(file, header + offsetof(data::TextBlockHeader, lineOffsets) + 4 * k);
        if (!data::SlotOffsetFits(offset)) {
            error = "the offset table sends page " + std::to_string(k / kTextLinesPerPage + 1) + " line " +
                    std::to_string(k % kTextLinesPerPage + 1) + " to " + std::to_string(offset) +
                    ", outside the line area: the text block is damaged";
            return false;
        }
        place.slotAt[k] = area + offset;
    }
    return true;
}

bool ParsePages(std::string_view text, std::string_view name, std::vector<Page>& pages, std::string& error) {
    pages.clear();
    bool inPage = false;
    int given = 0;
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == ';') continue;
        if (line.empty()) {
            inPage = false;
            continue;
        }
        if (!inPage) {
            if (pages.size() == static_cast<std::size_t>(kTextPages)) {
                error = Where(name, number) + "an eleventh page: the block holds 10 pages";
                return false;
            }
            pages.emplace_back();
            pages.back().fill(Blank());
            inPage = true;
            given = 0;
        }
        if (given == kTextLinesPerPage) {
            error = Where(name, number) + "a fifteenth line on page " + std::to_string(pages.size()) +
                    ": a page holds 14 lines (end the page with an empty line)";
            return false;
        }
        for (std::size_t i = 0; i < line.size(); ++i) {
            char& c = line[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (!HasGlyph(c)) {
                const auto byte = static_cast<unsigned char>(c);
                char shown[32];
                if (byte >= 0x21 && byte < 0x7f) {
                    std::snprintf(shown, sizeof shown, "'%c'", c);
                } else {
                    std::snprintf(shown, sizeof shown, "byte 0x%02X", byte);
                }
                error = std::string(name) + ":" + std::to_string(number) + ":" + std::to_string(i + 1) +
                        ": character " + shown + " has no glyph in the page font";
                return false;
            }
        }
        const std::size_t used = line.find_last_not_of(' ') + 1;  // 0 for a blank line
        if (used > static_cast<std::size_t>(kTextLineChars)) {
            error = Where(name, number) + "line is " + std::to_string(used) +
                    " characters long: a page line holds 31";
            return false;
        }
        line.resize(static_cast<std::size_t>(kTextLineChars), ' ');
        pages.back()[static_cast<std::size_t>(given++)] = line;
    }
    return true;
}

std::string ShowBlock(std::span<const std::uint8_t> file, const BlockPlace& place) {
    const int stored = static_cast<signed char>(file[place.countAt]);
    const int shown = data::ClampPageCount(stored);
    std::string out = "; page count " + std::to_string(stored);
    if (shown != stored) out += " (the intro shows " + std::to_string(shown) + ")";
    out += "\n";
    for (int page = 0; page < kTextPages; ++page) {
        if (page > 0) out += "\n";
        out += "; page " + std::to_string(page + 1) + (page < shown ? "" : " (not shown)") + "\n";
        for (int line = 0; line < kTextLinesPerPage; ++line) {
            const std::size_t slot = place.slotAt[static_cast<std::size_t>(page * kTextLinesPerPage + line)];
            std::string text;
            for (int i = 0; i < kTextLineChars && file[slot + static_cast<std::size_t>(i)] != 0; ++i) {
                const auto c = static_cast<char>(file[slot + static_cast<std::size_t>(i)]);
                text += (c >= 0x20 && c < 0x7f) ? c : '?';
            }
            // Trailing spaces never draw; a line with nothing to draw is
            // written as one space, so that it stays a page line.
            const std::size_t used = text.find_last_not_of(' ');
            text = used == std::string::npos ? " " : text.substr(0, used + 1);
            out += text + "\n";
        }
    }
    return out;
}

bool ApplyPages(std::vector<std::uint8_t>& file, const BlockPlace& place, const std::vector<Page>& pages,
                std::optional<int> pageCount, std::string& error) {
    // Nothing is written unless all of it fits: the caller's parser is not
    // the only way in.
    if (pages.size() > static_cast<std::size_t>(kTextPages)) {
        error = std::to_string(pages.size()) + " pages: the block holds 10";
        return false;
    }
    if (pageCount && (*pageCount < 1 || *pageCount > kTextPages)) {
        error = "page count " + std::to_string(*pageCount) + ": the page count must be a number from 1 to 10";
        return false;
    }
    for (std::size_t page = 0; page < pages.size(); ++page) {
        for (const std::string& text : pages[page]) {
            if (text.size() > static_cast<std::size_t>(kTextLineChars)) {
                error = "a line of " + std::to_string(text.size()) + " characters on page " +
                        std::to_string(page + 1) + ": a page line holds 31";
                return false;
            }
        }
    }
    const bool inside = place.countAt < file.size() &&
                        std::all_of(place.slotAt.begin(), place.slotAt.end(), [&file](std::size_t slot) {
                            return slot <= file.size() && file.size() - slot >= kTextSlotBytes;
                        });
    if (!inside) {
        error = "the text block lies outside the file";
        return false;
    }

    if (pageCount) file[place.countAt] = static_cast<std::uint8_t>(static_cast<std::int8_t>(*pageCount));
    for (std::size_t page = 0; page < pages.size(); ++page) {
        for (std::size_t line = 0; line < static_cast<std::size_t>(kTextLinesPerPage); ++line) {
            const std::size_t slot = place.slotAt[page * kTextLinesPerPage + line];
            std::string text = pages[page][line];
            text.resize(static_cast<std::size_t>(kTextLineChars), ' ');
            std::copy(text.begin(), text.end(), file.begin() + static_cast<std::ptrdiff_t>(slot));
            file[slot + kTextLineChars] = 0;
        }
    }
    return true;
}

namespace {

// The bytes the block lives in: the file itself, or the module that a web
// page carries inside it.
struct Program {
    std::vector<std::uint8_t> file;    // as read
    bool page = false;                 // the file is a page with the module embedded
    EmbeddedModule where;              // the module's base64 text in the page
    std::vector<std::uint8_t> module;  // the decoded module, when page

    std::vector<std::uint8_t>& Bytes() { return page ? module : file; }

    // What to write back: the page with the module encoded in its place.
    std::vector<std::uint8_t> Written() const {
        if (!page) return file;
        const std::string text = EncodeBase64(module);
        std::vector<std::uint8_t> out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(where.begin));
        out.insert(out.end(), text.begin(), text.end());
        out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(where.end), file.end());
        return out;
    }
};

// Reads the program; returns 0, or the exit code with err set.
int OpenProgram(const std::string& path, Program& program, std::string& err) {
    std::string error;
    bool folder = false;
    if (!ReadFile(path, program.file, error, folder)) {
        err = "quandrix-textpatch: " + error + "\n";
        return ReadFailure(folder);
    }
    switch (FindEmbeddedModule(program.file, program.where, error)) {
    case PageSearch::NotAPage:
        return 0;
    case PageSearch::Refused:
        err = "quandrix-textpatch: " + path + ": " + error + "\n";
        return 2;
    case PageSearch::Found:
        break;
    }
    const std::string_view text(reinterpret_cast<const char*>(program.file.data()) + program.where.begin,
                                program.where.end - program.where.begin);
    if (!DecodeBase64(text, program.module)) {
        err = "quandrix-textpatch: " + path + ": the page's module is not valid base64\n";
        return 2;
    }
    program.page = true;
    return 0;
}

}  // namespace

int Main(std::span<const std::string_view> args, std::string& out, std::string& err) {
    std::optional<int> count;
    std::string command, exe, textPath;
    cli::Tool tool{
        "quandrix-textpatch",
        "show EXE\nset EXE FILE [--pages N]",
        "Shows and rewrites the text pages of a built intro without rebuilding it. EXE is\n"
        "the intro's executable (Linux or Windows) or the web build's quandrix.html.\n"
        "  show  prints the page count and the ten pages in the text file format\n"
        "  set   writes the pages of FILE into EXE, through a temporary file in its folder\n"
        "        renamed over it with the old mode, so EXE is never half patched\n"
        "FILE: one page line per text line (up to 31 characters), an empty line ends a\n"
        "page, a line starting with ';' is a comment; show's output can be set back.",
        {{"--pages", "N", "with set: the number of pages the intro shows, 1 to 10",
          [&count](std::string_view value, std::string& error) {
              std::int64_t n = 0;
              if (!cli::ReadWhole(value, n) || n < 1 || n > kTextPages) {
                  error = "--pages " + std::string(value) + ": the page count must be a number from 1 to 10";
                  return false;
              }
              count = static_cast<int>(n);
              return true;
          }}},
        [&](std::span<const std::string> operands, const cli::Given&, std::string& error) {
            // The command and the files it takes.
            const std::size_t wanted = operands.empty() ? 0 : operands[0] == "show" ? 2 : operands[0] == "set" ? 3 : 0;
            if (wanted == 0) {
                error = operands.empty() ? "a command is needed: show or set"
                                         : "unknown command \"" + operands[0] + "\": show or set";
                return false;
            }
            if (operands.size() != wanted) {
                error = operands[0] + (wanted == 2 ? " takes EXE" : " takes EXE and FILE");
                return false;
            }
            if (count && wanted == 2) {
                error = "--pages goes with set";
                return false;
            }
            command = operands[0];
            exe = operands[1];
            if (wanted == 3) textPath = operands[2];
            return true;
        },
        "Exit status: 0 done; 1 a file could not be read or written; 2 refused: a bad\n"
        "option, a folder named as a file, a block not found or damaged, bad text."};
    const cli::Reading reading = cli::Read(tool, args);
    switch (reading.outcome) {
    case cli::Outcome::Run:
        break;
    case cli::Outcome::Help:
        out = cli::Help(tool);
        return 0;
    case cli::Outcome::Version:
        out = cli::Version(tool.name);
        return 0;
    case cli::Outcome::Refused:
        err = cli::Refusal(tool, reading.error);
        return cli::kExitUsage;
    }
    if (command == "show") {
        Program program;
        if (const int code = OpenProgram(exe, program, err); code != 0) return code;
        BlockPlace place;
        std::string error;
        if (!LocateBlock(program.Bytes(), place, error)) {
            err = "quandrix-textpatch: " + exe + ": " + error + "\n";
            return 2;
        }
        out = ShowBlock(program.Bytes(), place);
        return 0;
    }
    Program program;
    if (const int code = OpenProgram(exe, program, err); code != 0) return code;
    std::vector<std::uint8_t>& file = program.Bytes();
    std::vector<std::uint8_t> text;
    std::string error;
    bool folder = false;
    if (!ReadFile(textPath, text, error, folder)) {
        err = "quandrix-textpatch: " + error + "\n";
        return ReadFailure(folder);
    }
    BlockPlace place;
    if (!LocateBlock(file, place, error)) {
        err = "quandrix-textpatch: " + exe + ": " + error + "\n";
        return 2;
    }
    std::vector<Page> pages;
    if (!ParsePages(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), textPath, pages,
                    error)) {
        err = "quandrix-textpatch: " + error + "\n";
        return 2;
    }
    if (pages.empty() && !count) {
        err = "quandrix-textpatch: " + textPath + ": no page in the file, and no --pages: nothing to write\n";
        return 2;
    }
    if (!ApplyPages(file, place, pages, count, error)) {
        err = "quandrix-textpatch: " + exe + ": " + error + "\n";
        return 2;
    }
    if (!platform::WriteFileAtomically(exe, program.Written(), error, platform::WriteMode::KeepExisting)) {
        err = "quandrix-textpatch: " + error + "\n";
        return 1;
    }
    const int shown = static_cast<signed char>(file[place.countAt]);
    out = exe + ": wrote " + std::to_string(pages.size()) + " page" + (pages.size() == 1 ? "" : "s") +
          "; page count " + std::to_string(shown) + "\n";
    if (static_cast<int>(pages.size()) > shown) {
        out += "note: the intro shows " + std::to_string(shown) + " page" + (shown == 1 ? "" : "s") +
               "; give --pages " + std::to_string(pages.size()) + " to show all that were written\n";
    }
    return 0;
}

}  // namespace textpatch
