#pragma once
// Long blocking work started from the main thread (a send, a connection
// test) without freezing the program: the work runs on a worker thread while
// the main thread keeps handling events, the worker's synchronised calls
// included, until it is done.
#include <functional>

// Returns when work has returned; an exception it throws is thrown again
// here. The caller keeps the user from starting the same work again
// meanwhile (the windows stay live). On any other thread than the main one,
// or before the application object exists, work runs on the calling thread.
void RunOnWorker(const std::function<void()>& work);
