#pragma once

// Makes sure the image library has its format plugins registered. Debian's
// shared library does that while it is loaded; this covers a build that does
// not (a static one). Safe to call from any thread, any number of times.
void EnsureFreeImageInitialised();
