#pragma once

// Everything the installer keeps for the whole process, in one place: what
// the main dialog's procedure, which Windows calls, must find again between
// calls. One thread only; zero at start. Everything else is handed down as
// parameters. (The one other piece is the banner line, descrambled once per
// process: app/picture/banner.h keeps it, since it is portable and tested
// without Windows.)
struct AppState {
  // True while the install sequence runs: close requests are ignored then,
  // also when the procedure is entered again from the messages the
  // installation dispatches.
  bool busy;
};

extern AppState appState;
