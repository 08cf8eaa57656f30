#include "player/playervalues.h"

extern "C" {
#include <libswscale/swscale.h>
}

std::atomic<PlayerState *> currentPlayerState{nullptr};
std::atomic<PlayerState *> interruptPlayerState{nullptr};
std::atomic<double> playPosition{0.0};
std::atomic<int> playEndFlag{0};
std::atomic<int> playStopFlag{0};
std::atomic<int> repaintArmed{0};
std::atomic<int> playVolume{128};
std::atomic<int> seekLatch{0};
std::atomic<int> wasPausedLatch{-1};
std::atomic<int> scalerFlags{SWS_BICUBIC};
