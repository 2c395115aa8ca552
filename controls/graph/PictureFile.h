#pragma once
// Writing a picture to a file, all or nothing (fileio/AtomicFile): a full
// disk or a failing device never leaves part of a picture behind, and an
// older picture of that name stays as it was. A target that is a device or a
// pipe is written to directly.

#include "fileio/FileError.h"

#include <QImage>
#include <QString>

namespace tervalo {

// Writes image as a Windows bitmap file; on failure the path and the system's
// reason, e.g. "/media/usb/run.bmp: No space left on device".
FileError writeBitmapFile(const QImage &image, const QString &path);

} // namespace tervalo
