// Small embedded images for the icons a desktop theme may lack.
#pragma once

namespace ui {

inline const char* const kStopXpm[] = {
    "16 16 4 1",
    ". c None",
    "k c #7a1010",
    "r c #d42020",
    "w c #ffffff",
    ".....kkkkkk.....",
    "....krrrrrrk....",
    "...krrrrrrrrk...",
    "..krrrrrrrrrrk..",
    ".krrrrrrrrrrrrk.",
    "krrrrrrrrrrrrrrk",
    "krrrrrrrrrrrrrrk",
    "krrwwwwwwwwwwrrk",
    "krrwwwwwwwwwwrrk",
    "krrrrrrrrrrrrrrk",
    "krrrrrrrrrrrrrrk",
    ".krrrrrrrrrrrrk.",
    "..krrrrrrrrrrk..",
    "...krrrrrrrrk...",
    "....krrrrrrk....",
    ".....kkkkkk....."
};

inline const char* const kUploadXpm[] = {
    "16 16 4 1",
    ". c None",
    "y c #e8c050",
    "o c #8a6a20",
    "b c #2060c0",
    "................",
    ".......bb.......",
    "......bbbb......",
    ".....bbbbbb.....",
    "....bbbbbbbb....",
    "...bbbbbbbbbb...",
    ".......bb.......",
    ".oooooobb.......",
    ".oyyyyybbyyyyyo.",
    ".oyyyyybbyyyyyo.",
    ".oyyyyybbyyyyyo.",
    ".oyyyyybbyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oyyyyyyyyyyyyo.",
    ".oooooooooooooo.",
    "................"
};

}  // namespace ui
