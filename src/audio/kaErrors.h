#pragma once

// The audio engine's exception classes. Each carries only its message.
//
//   rtl::Exception
//     EACMError                      subjects, observers, formats, conversion
//       EACMCodecError               codec registry
//       EACMConversionError          format conversion
//       EACMControlError             control source, oscilloscope
//         EOscilloscopeError
//       EACMAudioIOError             wave devices
//         EACMAudioInError
//         EACMAudioOutError
//       EACMAudioStreamError         WAVE files
//         EACMAudioReadError
//     ESubStreamError                sub-streams (not an EACMError)

#include "rtl/Exception.h"

class EACMError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

class EACMCodecError : public EACMError {
public:
    using EACMError::EACMError;
};

class EACMConversionError : public EACMError {
public:
    using EACMError::EACMError;
};

class EACMControlError : public EACMError {
public:
    using EACMError::EACMError;
};

class EOscilloscopeError : public EACMControlError {
public:
    using EACMControlError::EACMControlError;
};

class EACMAudioIOError : public EACMError {
public:
    using EACMError::EACMError;
};

class EACMAudioInError : public EACMAudioIOError {
public:
    using EACMAudioIOError::EACMAudioIOError;
};

class EACMAudioOutError : public EACMAudioIOError {
public:
    using EACMAudioIOError::EACMAudioIOError;
};

class EACMAudioStreamError : public EACMError {
public:
    using EACMError::EACMError;
};

class EACMAudioReadError : public EACMAudioStreamError {
public:
    using EACMAudioStreamError::EACMAudioStreamError;
};

class ESubStreamError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};
