#pragma once
// The subsystems' shut-down, shared by the live demo and dev mode: audio, asset manager,
// synchronisation, utility object, fonts, renderer, task pool and last the log, each step
// announced by a DEBUG line first. The caller destroys its window afterwards.

void LM1_DestroySubsystems();
