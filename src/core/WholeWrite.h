#pragma once

#include <QByteArrayView>

class QIODevice;

// Writes all of bytes to device, going on after a short write: a file
// system that runs out of room mid-way takes what fits and reports nothing,
// and only the next write fails with the system's reason (no space left,
// file too large). Returns false when the device refuses; its errorString()
// then gives that reason. A file meant for this is opened unbuffered, so
// that the reason reaches the device instead of being lost in its buffer.
bool writeWhole(QIODevice &device, QByteArrayView bytes);
