#include "audio/kaAudioConsts.h"

const char SCannotObserveSelf[] = "Component cannot observe itself.";
const char SNotAnAudioSubject[] = "The selected component is not an audio subject.";
const char SWaveFormatBufferTooSmall[] = "The wave format buffer is too small.";
const char SConversionNotPossible[] = "Conversion not possible.";
const char SActive[] = "Cannot perform this action while active.";
const char SNotActive[] = "Cannot perform this action while not active.";
const char SAudioTooLarge[] = "Audio is too large to fit into conversion buffer";

const char SDriverDetailsError[] = "Error retrieving driver details.";
const char SDriverPriorityError[] = "Error retrieving driver priority.";
const char SDriverOpenError[] = "Error opening driver.";
const char SFormatSizeError[] = "Error while requesting size of Wave format.";
const char SFormatEnumError[] = "Error while enumerating formats.";
const char SDriverCloseError[] = "Error while closing driver.";

const char SOpenInputError[] = "Error opening audio device for input.";
const char SOpenOutputError[] = "Error opening audio device for output.";
const char SPrepareInputHeaderError[] = "Error preparing input header.";
const char SUnprepareInputHeaderError[] = "Error unpreparing input header.";
const char SAddInputBufferError[] = "Error adding input buffer.";
const char SCloseInputError[] = "Error closing input device.";
const char SPrepareOutputHeaderError[] = "Error preparing output header.";
const char SUnprepareOutputHeaderError[] = "Error unpreparing output header.";
const char SPlayBufferError[] = "Error playing buffer.";
const char SCloseOutputError[] = "Error closing output device.";
const char SGlobalAllocError[] = "Cannot allocate global memory.";
const char SInvalidInputBufferSize[] = "Invalid input buffer size.";
const char SPauseOutputError[] = "An error occurred whilst trying to pause an output device";
const char SRestartOutputError[] = "An error occurred whilst trying to restart an output device";

const char SInvalidFileFormat[] = "Invalid file format.";
const char SInvalidNumberOfPoints[] = "Invalid number of points.";
const char SWritePastEndOfSubStream[] = "Write past end of sub stream.";

const char SMMBadDeviceId[] = "%sBad device ID.";
const char SMMNotEnabled[] = "%sDriver not enabled.";
const char SMMAllocated[] = "%sDevice already allocated.";
const char SMMInvalidHandle[] = "%sThe specified handle is invalid.";
const char SMMNoDriver[] = "%sA suitable driver is not available to provide valid format selections.";
const char SMMNoMem[] = "%sThe system is unable to allocate resources.";
const char SMMNotSupported[] = "%sFunction not supported.";
const char SMMInvalidFlag[] = "%sAt least one flag is invalid.";
const char SMMInvalidParam[] = "%sAt least one parameter is invalid.";
const char SMMHandleBusy[] = "%sDevice handle in use.";
const char SMMBadFormat[] = "%sThe selected audio format is not supported on this machine.";
const char SMMStillPlaying[] = "%sAudio device is still playing.";
const char SMMUnprepared[] = "%sCannot perform this action on a header that has not been prepared.";
const char SMMSync[] = "%sDevice is synchronous.";
const char SMMNotPossible[] = "%sThe requested operation cannot be performed.";
const char SMMBusy[] = "%sThe conversion stream is already in use.";
const char SMMStreamUnprepared[] = "%sCannot perform this action on a header that has not been prepared.";
const char SMMUnexpected[] = "%sAn unexpected error has occurred (code #%d).";
