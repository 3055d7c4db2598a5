#pragma once
// Start-up and shut-down of the drawing layer.
//
// Start-ups are counted: every successful GdiplusStartup hands out a token of
// its own and the layer runs until each token has been shut down. Any thread
// may start and stop it at any time (the image add-on does so around every
// call it gets from a foreign program). Objects made while it ran stay usable;
// only the calls that make new objects refuse to work while it is stopped.
#include "platform/gdiplus/GdiPlusTypes.h"

// Version 1 only. With SuppressBackgroundThread the caller must pass `output`
// to receive the notification hooks it is then expected to call.
GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);

// Ends the start-up behind `token`; unknown or already ended tokens are ignored.
void GdiplusShutdown(ULONG_PTR token);

// True while at least one start-up is live.
bool GdiplusIsRunning();
