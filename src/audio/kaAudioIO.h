#pragma once

// kaAudioIO: the wave output and input device components.
//
// Playback: set Format, Open, push BufferCount + 1 blocks (PlayData or through AudioSource);
// feed the next block from OnAudioPlayed and close when nothing is left and QueuedBuffers is 0.
// A clip with fewer blocks than the pre-buffer is started with Flush after its last block.
// Recording: set Format and BufferSize, Open; OnAudioRecorded hands over each filled buffer.
//
// Completions run inside the Qt event loop of the thread that created the component; an
// exception from an observer or handler there leaves WaveNotifyWindow::event, so the
// application's QApplication::notify is where it is shown.

#include "audio/kaAudioIOBase.h"
#include "audio/kaAudioIn.h"
#include "audio/kaAudioOut.h"
#include "audio/kaErrors.h"
