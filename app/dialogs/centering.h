#pragma once

// Left (or top) edge that centres an extent of `size` on a screen extent of
// `screen`: screen/2 - size/2, each half truncated towards zero as signed
// integer division does, so a window larger than the screen gets a negative
// edge and both sides overhang evenly.
constexpr int CentredEdge(int screen, int size) { return screen / 2 - size / 2; }
