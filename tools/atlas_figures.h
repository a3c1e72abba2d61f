// The pixel art of the atlas's two figures: heads and bodies as rows of
// letters, one letter per pixel, each letter standing for a colour of the
// figure's palette ('.' leaves the pixel empty).
#pragma once

#include <cstdint>

// A picture of letters: rows top to bottom, all of one width.
struct Pattern {
    const char* const* rows;
    int height;
};

// The three body poses of a view: standing, then the two walking steps.
struct BodyPoses {
    Pattern poses[3];
};

// One figure: its head seen from the front, the back and the right, its
// bodies for those views, what shows behind the body from the back and the
// right (may be empty), and its colours by letter.
struct Figure {
    Pattern headFront;
    Pattern headBack;
    Pattern headRight;
    BodyPoses bodyFront;
    BodyPoses bodyBack;
    BodyPoses bodyRight;
    Pattern behindBack;
    Pattern behindRight;
    // Colour of each letter as 0xRRGGBB; letters not listed are an error.
    struct Ink {
        char letter;
        std::uint32_t rgb;
    };
    const Ink* inks;
    int inkCount;
};

const Figure& PlayerFigure();
const Figure& EnemyFigure();
