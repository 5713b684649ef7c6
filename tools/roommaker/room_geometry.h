// The room's triangles, as world.txt lists them.
#pragma once
#include <string>

// The whole world.txt text: header, comments naming each part, texture lines
// and one "x y z u v" line per vertex.
std::string MakeWorldText();
