// The scripted run behind the golden frame (golden/scripted_run.png), shared by
// the in-process golden test and the program runs on both backends. A fixed
// calendar time seeds the maze; the player walks right along the top row, down
// and right again, and Escape ends the game while both figures are under way,
// the player half-way between pixels.
#pragma once

inline constexpr const char* kGoldenScript =
    "time=1700000000,Right:1-30,Down:58-62,Right:90-95,Escape:103";
