#include "app/page_moment.h"

#include <cmath>
#include <cstdlib>

namespace app {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits and, with `fraction`, a '.' and more digits (one digit at least in
// all) from the front of `text`, which loses them; nothing (and `text` as it
// was) when there are none.
std::optional<double> TakeNumber(std::string_view& text, bool fraction) {
    std::size_t end = 0;
    std::size_t digits = 0;
    for (; end < text.size() && IsDigit(text[end]); ++end) ++digits;
    if (fraction && end < text.size() && text[end] == '.') {
        for (++end; end < text.size() && IsDigit(text[end]); ++end) ++digits;
    }
    if (digits == 0) return std::nullopt;
    const std::string number(text.substr(0, end));
    text.remove_prefix(end);
    return std::strtod(number.c_str(), nullptr);  // a long run of digits gives inf, clamped later
}

// The time a value names (page_moment.h's forms), or nothing.
std::optional<double> ReadTime(std::string_view text) {
    double sign = 1.0;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        if (text.front() == '-') sign = -1.0;
        text.remove_prefix(1);
    }
    std::string_view plain = text;
    const std::optional<double> seconds = TakeNumber(plain, true);
    if (seconds && plain.empty()) return sign * *seconds;

    struct Part {
        char letter;
        double seconds;
        bool fraction;
    };
    constexpr Part kParts[] = {{'h', 3600.0, false}, {'m', 60.0, false}, {'s', 1.0, true}};
    double total = 0.0;
    bool any = false;
    for (const Part& part : kParts) {
        std::string_view rest = text;
        const std::optional<double> value = TakeNumber(rest, part.fraction);
        if (!value || rest.empty() || rest.front() != part.letter) continue;
        total += *value * part.seconds;
        text = rest.substr(1);
        any = true;
    }
    if (!any || !text.empty()) return std::nullopt;
    return sign * total;
}

// One value in seconds with the fallbacks of page_moment.h; nothing when it
// names no time.
std::optional<double> Seconds(std::string_view name, std::string_view text, std::string& warnings) {
    const std::string value(text);
    const std::optional<double> time = ReadTime(text);
    if (!time) {
        warnings += std::string(name) + "=" + value + " is not a time such as 14.5, 90s or 1m30s: ignored\n";
        return std::nullopt;
    }
    const double seconds = *time;
    if (seconds < 0.0) {
        warnings += std::string(name) + "=" + value + " is before the start: 0 s instead\n";
        return 0.0;
    }
    if (seconds > kMaxMomentSeconds) {
        warnings += std::string(name) + "=" + value + " is past the latest moment: " +
                    std::to_string(static_cast<int>(kMaxMomentSeconds)) + " s instead\n";
        return kMaxMomentSeconds;
    }
    return seconds;
}

}  // namespace

std::optional<PageMoment> ParsePageMoment(std::string_view fragment, std::string& warnings) {
    std::optional<double> moment;
    std::optional<double> exitAt;
    while (!fragment.empty()) {
        const std::size_t amp = fragment.find('&');
        const std::string_view pair = fragment.substr(0, amp);
        fragment = amp == std::string_view::npos ? std::string_view() : fragment.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        const std::string_view name = pair.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        if (name == "t") moment = Seconds(name, value, warnings);
        if (name == "exit") exitAt = Seconds(name, value, warnings);
    }
    if (!moment) return std::nullopt;
    return PageMoment{*moment, exitAt.value_or(-1.0)};
}

std::int64_t MomentFrame(double seconds) {
    const double frames = std::ceil(seconds * kMomentFps - 1e-6);
    return frames <= 1.0 ? 0 : static_cast<std::int64_t>(frames) - 1;
}

}  // namespace app
