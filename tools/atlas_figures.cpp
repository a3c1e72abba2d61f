#include "atlas_figures.h"

#include <cstddef>
#include <iterator>

namespace {

template <std::size_t N>
constexpr Pattern Rows(const char* const (&rows)[N]) {
    return {rows, static_cast<int>(N)};
}

// clang-format off

// The player: a small adventurer with brown hair, a blue tunic and boots.

constexpr const char* kPlayerHeadFront[] = {
    "......hhhh......",
    "....hhHJJHhh....",
    "...hHJJHHHHHh...",
    "..hHJHHHHHHHHh..",
    ".hHJHHHHHHHHHHh.",
    ".hHHHHHHHHHHHHh.",
    ".hHHHKHHHHKHHHh.",
    ".hHHKKKHHKKKHHh.",
    ".hHKKKKKKKKKKHh.",
    ".hHKKEKKKKEKKHh.",
    ".hhKKEKKKKEKKhh.",
    "..hKLKKKKKKLKh..",
    "...hkKKMMKKkh...",
    ".....kkkkkk.....",
};

constexpr const char* kPlayerHeadBack[] = {
    "......hhhh......",
    "....hhHJJHhh....",
    "...hHJJHHHHHh...",
    "..hHJHHHHHHHHh..",
    ".hHJHHHHHHHHHHh.",
    ".hHHHHHHHHHHHHh.",
    ".hHHHHHHHHHHHHh.",
    ".hHHHHHHHHHHHHh.",
    ".hHHHHHHHHHHHHh.",
    ".KhHHHHHHHHHHhK.",
    ".khHHHHHHHHHHhk.",
    "..hhHHHHHHHHhh..",
    "...hhhhhhhhhh...",
    ".....kkkkkk.....",
};

constexpr const char* kPlayerHeadRight[] = {
    ".....hhhhh......",
    "...hhHJJJHh.....",
    "..hHJJHHHHHh....",
    ".hHJHHHHHHHHh...",
    ".hHHHHHHHHHHHh..",
    ".hHHHHHHHHHHHHh.",
    ".hHHHHHHHKHHKHh.",
    ".hHHHHHHKKKKKKh.",
    ".hHHHKKHKKKKKKK.",
    ".hHHKkKHKKKKEKK.",
    ".hhHHkKHKKKKEKKK",
    "..hhHHHKKKKKLKK.",
    "...hhhkKKKKKKk..",
    ".....kkkkkkk....",
};

// The bodies both figures wear, each in its own colours: a tunic or robe
// with a belt, the hands at the sides, legs and boots; the step poses swing
// one arm and one leg forward.

constexpr const char* kBodyFront0[] = {
    ".....tTTTTt.....",
    "...UUTTTTTTtt...",
    "..UUoTTTTTTott..",
    "..UUoTTTTTTott..",
    "..UToTTTTTTott..",
    "..KKBBBBbBBBkk..",
    "..kKTTTTTTTTkk..",
    "....TTTTTTTT....",
    "....tTTttTTt....",
    ".....PP..PP.....",
    ".....PP..PP.....",
    "....FFF..FFF....",
    "....FFF..FFF....",
};

constexpr const char* kBodyFront1[] = {
    ".....tTTTTt.....",
    "...UUTTTTTTtt...",
    "..UUoTTTTTTott..",
    "..UUoTTTTTTott..",
    "..KKoTTTTTTott..",
    "..kKBBBBbBBBtt..",
    "....TTTTTTTTKk..",
    "....TTTTTTTTkk..",
    "....tTTttTTt....",
    ".....PP..PP.....",
    ".....PP..FFF....",
    ".....PP..FFF....",
    "....FFF.........",
    "....FFF.........",
};

constexpr const char* kBodyFront2[] = {
    ".....tTTTTt.....",
    "...UUTTTTTTtt...",
    "..UUoTTTTTTott..",
    "..UUoTTTTTTott..",
    "..UToTTTTTToKk..",
    "..UTBBBBbBBBkk..",
    "..KKTTTTTTTT....",
    "..kKTTTTTTTT....",
    "....tTTttTTt....",
    ".....PP..PP.....",
    "....FFF..PP.....",
    "....FFF..PP.....",
    ".........FFF....",
    ".........FFF....",
};

constexpr const char* kBodyBack0[] = {
    ".....tTTTTt.....",
    "...UUTTTTTTtt...",
    "..UUoTTTTTTott..",
    "..UUoTTTTTTott..",
    "..UToTTTTTTott..",
    "..KKBBBBBBBBkk..",
    "..kKTTTTTTTTkk..",
    "....TTTTTTTT....",
    "....tTTttTTt....",
    ".....PP..PP.....",
    ".....PP..PP.....",
    "....FFF..FFF....",
    "....FFF..FFF....",
};

constexpr const char* kBodyBack1[] = {
    ".....tTTTTt.....",
    "...UUTTTTTTtt...",
    "..UUoTTTTTTott..",
    "..UUoTTTTTTott..",
    "..KKoTTTTTTott..",
    "..kKBBBBBBBBtt..",
    "....TTTTTTTTKk..",
    "....TTTTTTTTkk..",
    "....tTTttTTt....",
    ".....PP..PP.....",
    ".....PP..FFF....",
    ".....PP..FFF....",
    "....FFF.........",
    "....FFF.........",
};

constexpr const char* kBodyBack2[] = {
    ".....tTTTTt.....",
    "...UUTTTTTTtt...",
    "..UUoTTTTTTott..",
    "..UUoTTTTTTott..",
    "..UToTTTTTToKk..",
    "..UTBBBBBBBBkk..",
    "..KKTTTTTTTT....",
    "..kKTTTTTTTT....",
    "....tTTttTTt....",
    ".....PP..PP.....",
    "....FFF..PP.....",
    "....FFF..PP.....",
    ".........FFF....",
    ".........FFF....",
};

constexpr const char* kBodyRight0[] = {
    "......tTTt......",
    ".....tTTTTt.....",
    "....tTUUTTTt....",
    "....tTUUTTTt....",
    "....tTUUTTTt....",
    "....BBKKBBBB....",
    "....tTkKTTTt....",
    "....tTTTTTTt....",
    ".....tTTTTt.....",
    "......PPPP......",
    "......PPPP......",
    "......FFFFF.....",
    "......FFFFFF....",
};

constexpr const char* kBodyRight1[] = {
    "......tTTt......",
    ".....tTTTTt.....",
    "....tUUTTTTt....",
    "...tUUTTTTTt....",
    "..KUUTTTTTTt....",
    "..KkBBBBBBBB....",
    "....tTTTTTTt....",
    "....tTTTTTTt....",
    "....tTTTTTTTt...",
    "....pp....PP....",
    "...pp......PP...",
    "..ff.......FFF..",
    ".ff........FFF..",
};

constexpr const char* kBodyRight2[] = {
    "......tTTt......",
    ".....tTTTTt.....",
    "....tTTTTUUt....",
    "....tTTTTTUUt...",
    "....tTTTTTTUUK..",
    "....BBBBBBBBkK..",
    "....tTTTTTTt....",
    "....tTTTTTTt....",
    "....tTTTTTTTt...",
    "....PP....pp....",
    "...PP......pp...",
    "..FF.......fff..",
    ".FF........fff..",
};

constexpr Figure::Ink kPlayerInks[] = {
    {'o', 0x1C2440}, {'h', 0x5A2E14}, {'H', 0x8C4A1E}, {'J', 0xC07A36}, {'K', 0xF5C9A0},
    {'k', 0xD39A72}, {'L', 0xF09A90}, {'E', 0x1E1A2A}, {'M', 0xA8483C}, {'T', 0x2F6ED0},
    {'t', 0x1E4590}, {'U', 0x62A0F0}, {'B', 0x6A3F1E}, {'b', 0xF2C440}, {'P', 0x3B3652},
    {'p', 0x26223A}, {'F', 0x74401C}, {'f', 0x4E2A12},
};

// The enemy: a horned red imp in a purple robe with a golden sash.

constexpr const char* kEnemyHeadFront[] = {
    "..R..........R..",
    ".RR..........RR.",
    ".Rr..kkkkkk..rR.",
    "..RrKKKKKKKKrR..",
    "...KKLLKKKKKKk..",
    "..KKLKKKKKKKKKk.",
    "kKKKKKKKKKKKKKKk",
    ".kKooKKKKKKooKk.",
    ".KKKYoKKKKoYKKk.",
    ".KKKYYKKKKYYKKk.",
    ".kKKKKKKKKKKKKk.",
    "..kKMMMMMMMMKk..",
    "...kMWMWMWMMk...",
    "....kkkkkkkk....",
};

constexpr const char* kEnemyHeadBack[] = {
    "..R..........R..",
    ".RR..........RR.",
    ".Rr..kkkkkk..rR.",
    "..RrKKLLKKKKrR..",
    "...KLLKKKKKKKk..",
    "..KLLKKKKKKKKKk.",
    "kKKLKKKKKKKKKKKk",
    ".kKKKKKKKKKKKKk.",
    ".KKKKKKKKKKKKkk.",
    ".KKKKKKKKKKKKkk.",
    ".kKKKKKKKKKKkkk.",
    "..kkKKKKKKKkkk..",
    "...kkkkkkkkkk...",
    "....kkkkkkkk....",
};

constexpr const char* kEnemyHeadRight[] = {
    ".....r....R.....",
    "....rr...RR.....",
    "....rr..RRr.....",
    ".....rkkRrKKK...",
    "...kKKKKKLLKKK..",
    "..kKKKKKLKKKKKK.",
    ".kKKKKKKKKKKKKK.",
    "kKkKKKKKKKoooKK.",
    ".KkKKKKKKKKYoKKK",
    ".kKKKKKKKKKYYKKK",
    ".kKKKKKKKKKKKKK.",
    "..kKKKKKKKMMMM..",
    "...kkKKKKKMWMW..",
    ".....kkkkkkkk...",
};

constexpr const char* kEnemyTailBack[] = {
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "..............K.",
    ".............KKK",
    "...........k..k.",
    "............kk..",
};

constexpr const char* kEnemyTailRight[] = {
    "................",
    "................",
    ".K..............",
    "KKK.............",
    ".k..............",
    ".k..............",
    ".k..............",
    "..kk............",
    "....k...........",
};

constexpr Figure::Ink kEnemyInks[] = {
    {'o', 0x2A0E14}, {'R', 0xEDE2C4}, {'r', 0xB0A082}, {'K', 0xD0463A}, {'k', 0x8E2A2A},
    {'L', 0xF07A60}, {'Y', 0xFFE24A}, {'M', 0x3A0E14}, {'W', 0xF2EEE0}, {'T', 0x5A2F82},
    {'t', 0x3A1C58}, {'U', 0x8450B0}, {'B', 0xE0A830}, {'b', 0xFFE070}, {'P', 0x3A2438},
    {'p', 0x24142A}, {'F', 0x2C1A26}, {'f', 0x1A0E18},
};

const Figure kPlayer = {
    Rows(kPlayerHeadFront),
    Rows(kPlayerHeadBack),
    Rows(kPlayerHeadRight),
    {{Rows(kBodyFront0), Rows(kBodyFront1), Rows(kBodyFront2)}},
    {{Rows(kBodyBack0), Rows(kBodyBack1), Rows(kBodyBack2)}},
    {{Rows(kBodyRight0), Rows(kBodyRight1), Rows(kBodyRight2)}},
    {nullptr, 0},
    {nullptr, 0},
    kPlayerInks,
    static_cast<int>(std::size(kPlayerInks)),
};

const Figure kEnemy = {
    Rows(kEnemyHeadFront),
    Rows(kEnemyHeadBack),
    Rows(kEnemyHeadRight),
    {{Rows(kBodyFront0), Rows(kBodyFront1), Rows(kBodyFront2)}},
    {{Rows(kBodyBack0), Rows(kBodyBack1), Rows(kBodyBack2)}},
    {{Rows(kBodyRight0), Rows(kBodyRight1), Rows(kBodyRight2)}},
    Rows(kEnemyTailBack),
    Rows(kEnemyTailRight),
    kEnemyInks,
    static_cast<int>(std::size(kEnemyInks)),
};

// clang-format on

}  // namespace

const Figure& PlayerFigure() {
    return kPlayer;
}

const Figure& EnemyFigure() {
    return kEnemy;
}
