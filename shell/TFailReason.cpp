#include "shell/TFailReason.h"

#include <cerrno>

TFailReason FailReasonForSystemError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return TFailReason::DiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
    case ETXTBSY:
        return TFailReason::ReadOnly;
    case ENOENT:
        return TFailReason::ArchiveMissing;
    default:
        return TFailReason::Other;
    }
}

TFailReason FailReasonForWriteError(int error)
{
    const TFailReason r = FailReasonForSystemError(error);
    return r == TFailReason::ArchiveMissing ? TFailReason::Other : r;
}
