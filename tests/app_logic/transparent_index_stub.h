#pragma once

#include <cstdint>

// What PanelTransparentIndex() returns in the portable tests.
extern uint8_t testTransparentIndex;
