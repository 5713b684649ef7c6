// The frames the window shows, told on stderr once a second for the benchmarks (a test seam).
#pragma once

// Called for each frame shown. With QIVRA_FRAME_STDERR=1 in the environment, the first frame of
// each second prints "[frames] N", N counting every frame shown since the program started.
void ReportShownFrame();
