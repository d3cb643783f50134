#pragma once

// The audio engine's message texts. Every error the engine raises carries one of these,
// unchanged; the result-code templates (starting "%s") are filled in by CheckMMResult.

// Subjects, observers, formats, conversion.
extern const char SCannotObserveSelf[]; // "Component cannot observe itself."
extern const char SNotAnAudioSubject[]; // "The selected component is not an audio subject."
extern const char SWaveFormatBufferTooSmall[];
extern const char SConversionNotPossible[];
extern const char SActive[];    // "Cannot perform this action while active."
extern const char SNotActive[]; // "Cannot perform this action while not active."
extern const char SAudioTooLarge[];

// Codec registry contexts.
extern const char SDriverDetailsError[];
extern const char SDriverPriorityError[];
extern const char SDriverOpenError[];
extern const char SFormatSizeError[];
extern const char SFormatEnumError[];
extern const char SDriverCloseError[];

// Wave devices.
extern const char SOpenInputError[];
extern const char SOpenOutputError[];
extern const char SPrepareInputHeaderError[];
extern const char SUnprepareInputHeaderError[];
extern const char SAddInputBufferError[];
extern const char SCloseInputError[];
extern const char SPrepareOutputHeaderError[];
extern const char SUnprepareOutputHeaderError[];
extern const char SPlayBufferError[];
extern const char SCloseOutputError[];
extern const char SGlobalAllocError[];
extern const char SInvalidInputBufferSize[];
extern const char SPauseOutputError[];
extern const char SRestartOutputError[];

// WAVE files, sub-streams, oscilloscope.
extern const char SInvalidFileFormat[];
extern const char SInvalidNumberOfPoints[];
extern const char SWritePastEndOfSubStream[];

// Result-code templates: "%s" is the caller's context (plus CR LF) or nothing.
extern const char SMMBadDeviceId[];
extern const char SMMNotEnabled[];
extern const char SMMAllocated[];
extern const char SMMInvalidHandle[];
extern const char SMMNoDriver[];
extern const char SMMNoMem[];
extern const char SMMNotSupported[];
extern const char SMMInvalidFlag[];
extern const char SMMInvalidParam[];
extern const char SMMHandleBusy[];
extern const char SMMBadFormat[];
extern const char SMMStillPlaying[];
extern const char SMMUnprepared[];
extern const char SMMSync[];
extern const char SMMNotPossible[];
extern const char SMMBusy[];
extern const char SMMStreamUnprepared[];
extern const char SMMUnexpected[]; // also "%d": the result code
