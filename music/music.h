// The background tune, looped by a worker thread for as long as the run
// keeps the flag set.
#pragma once

#include <atomic>

// The worker's body: plays until it sees playing false, then stops the tune
// and cleans up after it.
void bgmloop(std::atomic<bool>& playing);
