#pragma once

#include <QByteArray>

// Writes all of data to the file descriptor fd, going on after interrupted
// and partial writes; 0, or the errno of the write that failed.
int writeAll(int fd, const QByteArray &data);
