// The installer takes the transparent index from its palette set-up; here a
// test sets it directly.
#include "tests/app_logic/transparent_index_stub.h"

uint8_t testTransparentIndex = 0;

uint8_t PanelTransparentIndex() { return testTransparentIndex; }
