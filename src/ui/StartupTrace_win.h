// Marks of the program's start for bench/window/run.sh: when the environment variable
// OMBRIX_STARTUP_TRACE names a file, each phase's first mark appends "phase ms" to it, ms
// on the Unix clock so that the bench can set it against the time it launched the process.
// Without the variable a mark costs one look-up of the environment, at the first mark.
// Called on the user-interface thread only.
#pragma once

enum class StartupPhase { kEntry, kWindowCreated, kFirstPaint, kCount };

void MarkStartup(StartupPhase phase);
