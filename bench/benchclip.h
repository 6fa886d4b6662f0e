#pragma once

#include <QString>

// The benchmarks' clip: 60 s of 1080p H.264 at 25 fps with one key frame
// every 10 s, the frame number drawn in each picture. Made with the ffmpeg
// tool on first use; an empty string when that fails.
QString benchClip();

// Wall-clock milliseconds a command takes; -1 when it fails to run or fails.
double timeCommand(const QString &program, const QStringList &arguments);

// A clip of the moving test picture (testsrc2) of the given size and length
// in seconds, H.264 at 25 fps with three B-frames and a key frame every
// keyInterval frames, made with the ffmpeg tool in the clip folder (its
// subfolder folder, when given) on first use; empty when that fails.
QString generatedClip(const QString &name, const QString &size, int seconds, int keyInterval,
                      const QString &folder = QString());
