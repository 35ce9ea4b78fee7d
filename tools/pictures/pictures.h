#pragma once
// The show's pictures, one function each.

#include <string>

#include "canvas.h"

namespace pictures {

struct Fonts {
    Font script;  // hand lettering
    Font thin;    // text cards
    Font serif;   // printed captions
    Font serifItalic;
    Font label;   // contact sheet
};

constexpr int kCardW = 1900, kCardH = 1200;

// Cards: white on black.
Canvas makersCard(Fonts& f);                 // 143
Canvas titleCard(Fonts& f);                  // 136
Canvas wordCard(Fonts& f);                   // 147
Canvas openingCard(Fonts& f);                // 131
Canvas topicCard(Fonts& f, int id);          // 130, 132, 141, 142, 137, 145, 149, 150, 133
Canvas questionCard(Fonts& f);               // 139
Canvas creditsCard(Fonts& f);                // 134
Canvas greetingsCard(Fonts& f);              // 138
Canvas quotationCard(Fonts& f);              // 152

// Worlds and photographs.
Canvas planetMap();                          // 135, 600 x 300
Canvas moonMap();                            // 144, 2048 x 1024 (grey)
Canvas cloudTops();                          // 151, 3027 x 2010
Canvas harbourEvening();                     // 148, 640 x 480

// Prints and drawings.
Canvas astronomicalPrint(Fonts& f);          // 140
Canvas printInPerspective(const Canvas& print);  // 146
Canvas wingedFigure();                       // 129, 1600 x 900

}  // namespace pictures
