/*
 * The one wait of the registry operations: until a written entry shows, or a
 * deleted one is gone, on the connection that will read it next (a
 * read-only replica catches up with its provider some time after a write
 * was referred there). C++ only; not part of the plain-function interface.
 */
#ifndef CV_REGISTRY_WAIT_H
#define CV_REGISTRY_WAIT_H

#include <functional>

// The time a wait may take in all: what five tests five seconds apart took.
const int kRegistryWaitBudgetMs = 25000;
// The first pause after a failed test; each next one is twice as long (the
// last one cut to what is left of the budget).
const int kRegistryWaitFirstPauseMs = 50;

// Tests at once, then after each pause, until seen() holds (true) or the
// budget is spent and a last test failed (false). A directory that shows the
// change at once costs no pause; one that catches up in milliseconds costs
// milliseconds.
bool cvWaitUntil(const std::function<bool()>& seen);

#endif
