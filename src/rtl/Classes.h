#pragma once

// Error classes of the runtime's streams, filers and persistent objects.

#include "rtl/Exception.h"

namespace rtl {

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace rtl
