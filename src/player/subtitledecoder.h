#pragma once

#include <cstdint>

struct PlayerState;
struct SubtitlePicture;

// The subtitle thread of one open subtitle stream: decodes bitmap subtitles
// into the four-entry subpicture queue, their colour tables turned to the
// Y'CbCr form of the decoded pictures.
void subtitleThread(PlayerState *is);

void freeSubpicture(SubtitlePicture *sp);

// One colour-table entry, A<<24|R<<16|G<<8|B, to A<<24|Y<<16|U<<8|V
// (BT.601 studio range).
uint32_t subtitleColourToYuv(uint32_t argb);
