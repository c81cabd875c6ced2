#pragma once
// Every slot of the texture table, described once: its name, where it lives
// in TextureTable, what fills it, where it comes when the table is emptied
// and how texdump shows it. The loader, the deleter, texdump and the tests
// all read this table, so a slot added or renamed here is added or renamed
// everywhere. Rows are in creation order: the five generated textures in
// their script run order, the white texture, then the image resources in
// load order. No GL here.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "data/texture_scripts.h"
#include "gfx/alpha_rules.h"
#include "gfx/texture_table.h"

namespace gfx {

// A slot, numbered in creation order (the row of textureSlots).
enum class SlotId : std::uint8_t {
    GenUnusedGreen,
    GenSpotsRGB,
    GenFire,
    GenSpot,
    GenWarpGrey,
    White,
    Logo,
    Credits,
    Font,
    Font2,
    Rock,
    Caustics0,
    Caustics1,
    Caustics2,
    Caustics3,
};

inline constexpr std::size_t slotCount = 15;

// What fills a slot at start-up.
enum class SlotSource : std::uint8_t {
    Script,     // painted by the texture generator from `script`
    White,      // the built-in 16 x 16 white image
    Image,      // an image resource; a failure is remembered and the next one tried
    Animation,  // a caustics frame; the frames stop at the first that fails,
                // since a partial animation is of no use
};

struct TextureSlotInfo {
    SlotId id;                              // the row
    const char* name;                       // the table's name, e.g. "texLogo"; texdump's file name
    TextureSlot& (*field)(TextureTable&);   // where the slot lives in the table
    SlotSource source;                      // what fills it
    std::span<const std::uint8_t> script;   // Script: the whole script, count byte first
    const char* resourceName;               // Image, Animation: resource of type MYBITMAP
    AlphaRule rule;                         // Image, Animation: how the texels get their alpha
    int width;                              // pixels, the size the shipped data yields
    int height;                             // pixels
    int deletionRank;                       // 0..14: its turn in DeleteTextures
    int sheetRank;                          // 0..14: its place on texdump's contact sheet
    int sheetScale;                         // 1, 2 or 4: magnification on the contact sheet
};

// A captureless lambda as a plain function pointer to one member.
#define QUANDRIX_SLOT_FIELD(expr) +[](TextureTable& t) -> TextureSlot& { return t.expr; }

// Deletion goes generated textures first (the three RGB ones, then the two
// that no effect draws), then the images from the largest; the contact
// sheet puts the big ones first, then the square ones by size, so that its
// rows pack tightly.
inline constexpr std::array<TextureSlotInfo, slotCount> textureSlots = {{
    {SlotId::GenUnusedGreen, "texGenUnusedGreen", QUANDRIX_SLOT_FIELD(texGenUnusedGreen), SlotSource::Script,
     data::greenWaveScript, nullptr, AlphaRule::Clear, 256, 256, 3, 9, 1},
    {SlotId::GenSpotsRGB, "texGenSpotsRGB", QUANDRIX_SLOT_FIELD(texGenSpotsRGB), SlotSource::Script,
     data::threeSpotScript, nullptr, AlphaRule::Clear, 256, 256, 0, 5, 1},
    {SlotId::GenFire, "texGenFire", QUANDRIX_SLOT_FIELD(texGenFire), SlotSource::Script, data::fireScript, nullptr,
     AlphaRule::Clear, 256, 256, 1, 6, 1},
    {SlotId::GenSpot, "texGenSpot", QUANDRIX_SLOT_FIELD(texGenSpot), SlotSource::Script, data::spotScript, nullptr,
     AlphaRule::Clear, 256, 256, 2, 7, 1},
    {SlotId::GenWarpGrey, "texGenWarpGrey", QUANDRIX_SLOT_FIELD(texGenWarpGrey), SlotSource::Script,
     data::greyWaveScript, nullptr, AlphaRule::Clear, 256, 256, 4, 8, 1},
    {SlotId::White, "texWhite", QUANDRIX_SLOT_FIELD(texWhite), SlotSource::White, {}, nullptr, AlphaRule::Clear, 16,
     16, 8, 14, 4},
    {SlotId::Logo, "texLogo", QUANDRIX_SLOT_FIELD(texLogo), SlotSource::Image, {}, "IDB_LOGO", AlphaRule::Logo, 1024,
     256, 5, 0, 1},
    {SlotId::Credits, "texCredits", QUANDRIX_SLOT_FIELD(texCredits), SlotSource::Image, {}, "IDB_CREDITS",
     AlphaRule::Clear, 256, 256, 10, 3, 1},
    {SlotId::Font, "texFont", QUANDRIX_SLOT_FIELD(texFont), SlotSource::Image, {}, "IDB_FONT", AlphaRule::Font, 512, 8,
     7, 2, 2},
    {SlotId::Font2, "texFont2", QUANDRIX_SLOT_FIELD(texFont2), SlotSource::Image, {}, "IDB_FONT2", AlphaRule::Font,
     1024, 128, 6, 1, 1},
    {SlotId::Rock, "texRock", QUANDRIX_SLOT_FIELD(texRock), SlotSource::Image, {}, "IDB_ROCK", AlphaRule::Rock, 256, 256,
     9, 4, 1},
    {SlotId::Caustics0, "texCaustics0", QUANDRIX_SLOT_FIELD(texCaustics[0]), SlotSource::Animation, {}, "IDB_CAUST0",
     AlphaRule::Clear, 128, 128, 11, 10, 1},
    {SlotId::Caustics1, "texCaustics1", QUANDRIX_SLOT_FIELD(texCaustics[1]), SlotSource::Animation, {}, "IDB_CAUST1",
     AlphaRule::Clear, 128, 128, 12, 11, 1},
    {SlotId::Caustics2, "texCaustics2", QUANDRIX_SLOT_FIELD(texCaustics[2]), SlotSource::Animation, {}, "IDB_CAUST2",
     AlphaRule::Clear, 128, 128, 13, 12, 1},
    {SlotId::Caustics3, "texCaustics3", QUANDRIX_SLOT_FIELD(texCaustics[3]), SlotSource::Animation, {}, "IDB_CAUST3",
     AlphaRule::Clear, 128, 128, 14, 13, 1},
}};

#undef QUANDRIX_SLOT_FIELD

// The row of a slot.
constexpr const TextureSlotInfo& Slot(SlotId id) { return textureSlots[static_cast<std::size_t>(id)]; }

// The slot of the texture table that the row describes.
inline TextureSlot& SlotOf(TextureTable& table, SlotId id) { return Slot(id).field(table); }

// The rows in the order of one of their ranks.
constexpr std::array<SlotId, slotCount> OrderBy(int TextureSlotInfo::*rank) {
    std::array<SlotId, slotCount> order{};
    for (const TextureSlotInfo& slot : textureSlots) {
        order[static_cast<std::size_t>(slot.*rank)] = slot.id;
    }
    return order;
}

inline constexpr std::array<SlotId, slotCount> deletionOrder = OrderBy(&TextureSlotInfo::deletionRank);
inline constexpr std::array<SlotId, slotCount> sheetOrder = OrderBy(&TextureSlotInfo::sheetRank);

// The generated textures (rows 0..4, in run order) and the image resources
// (the rows after the white texture, in load order).
inline constexpr std::span<const TextureSlotInfo> generatedSlots{textureSlots.data(), 5};
inline constexpr std::span<const TextureSlotInfo> imageSlots{textureSlots.data() + 6, slotCount - 6};

namespace slot_checks {
constexpr bool RowsInOrder() {
    for (std::size_t i = 0; i < slotCount; ++i) {
        if (static_cast<std::size_t>(textureSlots[i].id) != i) return false;
    }
    return true;
}
constexpr bool IsPermutation(int TextureSlotInfo::*rank) {
    std::array<bool, slotCount> seen{};
    for (const TextureSlotInfo& slot : textureSlots) {
        const int r = slot.*rank;
        if (r < 0 || r >= static_cast<int>(slotCount) || seen[static_cast<std::size_t>(r)]) return false;
        seen[static_cast<std::size_t>(r)] = true;
    }
    return true;
}
constexpr bool SpansHold() {
    for (const TextureSlotInfo& slot : generatedSlots) {
        if (slot.source != SlotSource::Script) return false;
    }
    if (Slot(SlotId::White).source != SlotSource::White) return false;
    for (const TextureSlotInfo& slot : imageSlots) {
        if (slot.source != SlotSource::Image && slot.source != SlotSource::Animation) return false;
    }
    // The animation frames come last, so stopping at a failed frame skips
    // only frames.
    return std::is_sorted(imageSlots.begin(), imageSlots.end(), [](const auto& a, const auto& b) {
        return a.source == SlotSource::Image && b.source == SlotSource::Animation;
    });
}
static_assert(RowsInOrder(), "textureSlots rows must follow SlotId");
static_assert(IsPermutation(&TextureSlotInfo::deletionRank), "every slot needs its own deletion turn");
static_assert(IsPermutation(&TextureSlotInfo::sheetRank), "every slot needs its own place on the sheet");
static_assert(SpansHold(), "generated rows first, then white, then images, frames last");
}  // namespace slot_checks

}  // namespace gfx
