#include "data/scroll_text.h"

#include <array>
#include <string_view>

namespace data {
namespace {

// What runs along the bottom edge, between the spaces.
constexpr std::string_view kScrollBody =
    "WELCOME TO QUANDRIX 2OO5 BY THE QUIET RASTER SOCIETY. TWO TUBES, A CLOUD OF POINTS, "
    "PAGES OF TEXT AND THIS HUMBLE SCROLLER, ALL IN ONE LEAN EXECUTABLE WITH ITS OWN TRACKER "
    "REPLAY. NO FILE IS READ, NO SETTINGS ARE KEPT, JUST PRESS SPACE OR ESCAPE WHEN YOU HAVE "
    "SEEN ENOUGH. GREETINGS FLY OUT TO: PAPER LANTERN GUILD - OCTAL MOTH - THE LATE SHIFT - "
    "KOBALT FERRET - SUBPIXEL ORCHARD - NINE VOLT CHOIR - HALFTONE HARBOUR - CRT PRESERVATION "
    "LEAGUE (#1 IN OUR HEARTS) - AND EVERYONE WHO STILL WRITES THEIR OWN MIXER. TECH TALK: "
    "44100 HZ, 16 BITS, 64 VOICES, TEXTURES PAINTED BY A TINY BYTECODE MACHINE AT START-UP, "
    "AND A TEXT BLOCK YOU CAN RE-TEXT WITHOUT A COMPILER. CODE: GRUMBLEFISH / TEXTURES: "
    "OXALIS / MUSIC: TINPAN / FONTS: MOTHWING. THAT IS ALL FOR NOW... WRAPPING AROUND IN 3, "
    "2, 1!";

constexpr std::array<char, kScrollTextLength + 1> MakeScrollText() {
    std::array<char, kScrollTextLength + 1> text{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kScrollLeadingSpaces; ++i) text[n++] = ' ';
    for (char c : kScrollBody) text[n++] = c;
    while (n < kScrollTextLength) text[n++] = ' ';
    text[n] = '\0';
    return text;
}

constexpr bool InScrollFont(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::string_view(" !#(),-./:").find(c) != std::string_view::npos;
}

constexpr bool AllInScrollFont(std::string_view s) {
    for (char c : s) {
        if (!InScrollFont(c)) return false;
    }
    return true;
}

static_assert(kScrollBody.size() == kScrollTextLength - kScrollLeadingSpaces - kScrollTrailingSpaces,
              "the body fills the line between the spaces exactly");
static_assert(kScrollBody.front() != ' ' && kScrollBody.back() != ' ', "the spaces around the body are counted exactly");
static_assert(AllInScrollFont(kScrollBody));

}  // namespace

constinit const std::array<char, kScrollTextLength + 1> ScrollText = MakeScrollText();

}  // namespace data
