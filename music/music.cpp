#include "music/music.h"

#include "platform/platform.h"

void bgmloop(std::atomic<bool>& playing) {
    while (playing) platform::sleepms(100);
}
