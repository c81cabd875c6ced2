#include "app/page_moment.h"

#include <cmath>
#include <cstdlib>

namespace app {

namespace {

// One value in seconds with the fallbacks of page_moment.h; nothing when it
// is not a number.
std::optional<double> Seconds(std::string_view name, std::string_view text, std::string& warnings) {
    const std::string value(text);
    char* end = nullptr;
    const double seconds = value.empty() ? NAN : std::strtod(value.c_str(), &end);
    if (std::isnan(seconds) || end != value.c_str() + value.size()) {
        warnings += std::string(name) + "=" + value + " is not a number of seconds: ignored\n";
        return std::nullopt;
    }
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
