#pragma once
// Writing a picture to a file, all or nothing: the bitmap goes to a temporary
// file beside the target, which replaces the target only once it is complete,
// so a full disk or a failing device never leaves part of a picture behind.
// A target that is a device or a pipe is written to directly.

#include <QImage>
#include <QString>

namespace tervalo {

// Writes image as a Windows bitmap file. Returns an empty string on success,
// otherwise "<path>: <reason>" with the system's reason, e.g.
// "/media/usb/run.bmp: No space left on device".
QString writeBitmapFile(const QImage &image, const QString &path);

} // namespace tervalo
