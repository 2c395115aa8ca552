#include "fileio/FileError.h"

#include <cstring>

namespace tervalo {

FileError FileError::system(const QString &path, int error)
{
    return {path, QString::fromLocal8Bit(std::strerror(error))};
}

} // namespace tervalo
